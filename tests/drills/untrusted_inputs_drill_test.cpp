// The real program given files it must not trust: special files wherever a file is read, and a
// standard output that takes nothing. Each ends at once, with the reason and a failing status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct outcome {
  bool ended = false;
  int code = -1;
  QByteArray out, err;
};

// stdout_file: where standard output goes; empty for a pipe read here.
outcome run(const QTemporaryDir& dir, const QStringList& arguments,
            const QString& stdout_file = {}) {
  QProcess program;
  program.setWorkingDirectory(dir.path());
  if (!stdout_file.isEmpty()) program.setStandardOutputFile(stdout_file);
  program.start(QStringLiteral(BREVANE_PROGRAM), arguments);
  outcome o;
  o.ended = program.waitForFinished(30000);
  if (!o.ended) {
    program.kill();
    program.waitForFinished();
    return o;
  }
  o.code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
  o.out = program.readAllStandardOutput();
  o.err = program.readAllStandardError();
  return o;
}

TEST(DrillUntrustedInputs, SpecialFilesAreRefusedWithTheReasonBeforeAnythingBlocks) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString data = dir.filePath("data");
  const struct {
    QStringList arguments;
    int code;
    const char* reason;
  } cases[] = {
      {{"--simulate", "--upload-list", fifo}, 1, "it is a FIFO, not a file"},
      {{"--simulate", "--upload-list", "/dev/zero"}, 1, "it is a device, not a file"},
      {{"--simulate", "--upload-list", "/dev/urandom"}, 1, "it is a device, not a file"},
      {{"--plan", fifo, "--sweep", "--dry-run"}, 2, "it is a FIFO, not a file"},
      {{"--plan", "/dev/zero", "--sweep", "--dry-run"}, 2, "it is a device, not a file"},
      {{"--open", fifo, "--export-csv", dir.filePath("out.csv")}, 1, "it is a FIFO, not a file"},
      {{"--simulate=replay=" + fifo, "--sweep", "--data-folder", data},
       2,
       "it is a FIFO, not a file"},
      {{"--simulate", "--sweep", "--trace", fifo, "--data-folder", data},
       2,
       "it is a FIFO or a socket, not a file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const outcome o = run(dir, c.arguments);
    ASSERT_TRUE(o.ended) << "blocked";
    EXPECT_EQ(o.code, c.code) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(c.reason)) << o.err.toStdString();
  }
}

TEST(DrillUntrustedInputs, AStandardOutputThatTakesNothingEndsWithStatus1) {
  QTemporaryDir dir;
  const QString data = dir.filePath("data");
  const outcome sweep = run(dir, {"--simulate", "--sweep", "--data-folder", data});
  ASSERT_EQ(sweep.code, 0) << sweep.err.toStdString();
  const QStringList records = QDir(data + "/scans").entryList({"*.jsonl"});
  ASSERT_EQ(records.size(), 1);
  const QString record = data + "/scans/" + records.front();
  const QStringList cases[] = {
      {"--help"},
      {"--version"},
      {"--sweep", "--dry-run"},
      {"--save-plan", dir.filePath("plan.json")},
      {"--simulate", "--sweep", "--data-folder", data},
      {"--open", record, "--export-csv", dir.filePath("table.csv")},
      {"--open", record, "--export-nexus", dir.filePath("maps.nxs")},
  };
  for (const QStringList& arguments : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const outcome o = run(dir, arguments, QStringLiteral("/dev/full"));
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(o.err.contains("brevane: what was written to standard output was lost"))
        << o.err.toStdString();
  }
}

}  // namespace
