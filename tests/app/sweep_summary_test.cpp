// The line a headless sweep ends with names the data folder in full, however long its path.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

TEST(SweepSummary, NamesALongDataFolderInFull) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // Longer than any fixed line buffer a summary might be written into.
  const QString level(200, QLatin1Char('d'));
  const QString folder = dir.path() + '/' + level + '/' + level + '/' + level;
  QProcess program;
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(BREVANE_PROGRAM),
                {"--simulate", "--sweep", "--cycles", "1", "--data-folder", folder});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  const QByteArray out = program.readAllStandardOutput();
  EXPECT_TRUE(out.startsWith("Swept ")) << out.toStdString();
  EXPECT_TRUE(out.contains(" image files to " + QDir::toNativeSeparators(folder).toLocal8Bit() +
                           "\n"))
      << out.toStdString();
}

}  // namespace
