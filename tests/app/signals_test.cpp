// A headless job that gets SIGINT or SIGTERM ends after the exchange in progress and says so
// in its exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

TEST(Signals, AHeadlessSweepEndsAfterTheExchangeInProgressWith128PlusTheSignal) {
  const struct {
    int number;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    QTemporaryDir folder;
    QProcess program;
    program.setWorkingDirectory(folder.path());
    program.start(QStringLiteral(BREVANE_PROGRAM),
                  {"--simulate=latency=20", "--sweep", "--cycles", "50", "--trace", "t.txt",
                   "--data-folder", folder.filePath("data")});
    ASSERT_TRUE(program.waitForStarted());
    // Some time into the sweep; its length does not matter, only that the sweep has begun.
    QFile trace(folder.filePath("t.txt"));
    for (int k = 0; k < 200 && trace.size() < 2000; ++k) program.waitForFinished(20);
    ASSERT_EQ(program.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(program.processId()), c.number);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.status);
    // The last report sent was answered: the exchange in progress was let finish.
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = trace.readAll().trimmed().split('\n');
    ASSERT_GE(lines.size(), 2);
    const QByteArray last_out = *std::find_if(
        lines.rbegin(), lines.rend(), [](const QByteArray& l) { return l.startsWith("out"); });
    if (last_out.mid(7, 2) != "4c") {  // every command but L is answered
      EXPECT_TRUE(lines.back().startsWith("in")) << lines.back().toStdString();
      EXPECT_EQ(lines.back().mid(12, 2), last_out.mid(7, 2)) << "the echo of the last command";
    }
  }
}

}  // namespace
