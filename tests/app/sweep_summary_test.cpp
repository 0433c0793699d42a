// What a headless sweep says at its end: the summary names the data folder in full, however
// long its path, and a sweep whose logs could not be written says so and exits 1.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <vector>

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
  EXPECT_TRUE(
      out.contains(" image files to " + QDir::toNativeSeparators(folder).toLocal8Bit() + "\n"))
      << out.toStdString();
}

// The number after `before` in text; -1 when there is none.
long number_after(const QByteArray& text, const QByteArray& before) {
  const qsizetype at = text.indexOf(before);
  if (at < 0) return -1;
  bool ok = false;
  const long n = text.mid(at + before.size()).split(' ').front().toLong(&ok);
  return ok ? n : -1;
}

// A data folder deleted during the sweep, or a file size limit: each log says once why it
// cannot be written, the sweep goes on, and the exit status does not claim it was all kept.
// What was written before the folder went is lost with it and counted so.
TEST(SweepSummary, LogsThatCannotBeWrittenAreSaidOnceAndTheStatusIs1) {
  long lines_in_a_sweep = 0, pictures_in_a_sweep = 0;
  {
    QTemporaryDir dir;
    QProcess whole;
    whole.start(QStringLiteral(BREVANE_PROGRAM), {"--simulate", "--sweep", "--log-data",
                                                  "--log-images", "--data-folder", dir.path()});
    ASSERT_TRUE(whole.waitForFinished(60000));
    const QByteArray out = whole.readAllStandardOutput();
    lines_in_a_sweep = number_after(out, "; wrote ");
    pictures_in_a_sweep = number_after(out, " and ");
    ASSERT_GT(lines_in_a_sweep, 0) << out.toStdString();
    ASSERT_GT(pictures_in_a_sweep, 0) << out.toStdString();
  }
  const struct {
    const char* name;
    const char* simulate;
    rlim_t size_limit;  // 0: none; the data folder is deleted instead
    const char* log_reason;
    const char* record_reason;
  } cases[] = {
      {"folder deleted", "--simulate=latency=5", 0, "No such file or directory", "was deleted"},
      {"size limit", "--simulate", 8192, "File too large", "File too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    QProcess program;
    program.setWorkingDirectory(dir.path());
    const rlim_t limit = c.size_limit;
    if (limit > 0)
      program.setChildProcessModifier([limit] {
        const rlimit l{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &l);
      });
    program.start(QStringLiteral(BREVANE_PROGRAM),
                  {c.simulate, "--sweep", "--log-data", "--log-images", "--data-folder", folder});
    ASSERT_TRUE(program.waitForStarted());
    if (limit == 0) {
      // Some lines into the sweep.
      QFile log(folder + "/datalog.csv");
      for (int k = 0; k < 1000 && log.size() < 1000; ++k) program.waitForFinished(10);
      ASSERT_EQ(program.state(), QProcess::Running);
      ASSERT_TRUE(QDir(folder).removeRecursively());
    }
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "not ended by SIGXFSZ";
    EXPECT_EQ(program.exitCode(), 1);
    const QByteArray out = program.readAllStandardOutput();
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(out.startsWith("Swept 224 points")) << "the sweep went on: " << out.toStdString();
    EXPECT_FALSE(out.contains("\nScan record: ")) << out.toStdString();
    const struct {
      const char* starts;
      const char* holds;
    } lines[] = {{"brevane: a data log line could not be written", c.log_reason},
                 {"brevane: the scan record", c.record_reason},
                 {"brevane: not everything was kept: ", "the data log lost"}};
    for (const auto& l : lines) {
      std::vector<QByteArray> found;
      for (const QByteArray& line : err.split('\n'))
        if (line.startsWith(l.starts)) found.push_back(line);
      ASSERT_EQ(found.size(), 1u) << l.starts << " once in\n" << err.toStdString();
      EXPECT_TRUE(found[0].contains(l.holds)) << found[0].toStdString();
    }
    EXPECT_FALSE(err.contains("lock file")) << err.toStdString();
    if (limit == 0) {
      EXPECT_TRUE(out.contains("; wrote 0 data log lines")) << out.toStdString();
      EXPECT_EQ(number_after(err, "the data log lost "), lines_in_a_sweep) << err.toStdString();
      EXPECT_EQ(number_after(err, "the image log lost "), pictures_in_a_sweep) << err.toStdString();
    }
  }
}

}  // namespace
