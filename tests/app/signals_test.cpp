// A headless job that gets SIGINT or SIGTERM ends after the exchange in progress and says so
// in its exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <functional>

namespace {

// True once the program has its SIGINT handler: earlier, the signal would simply kill it.
bool catches_sigint(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:")) return line.mid(7).trimmed().toULongLong(nullptr, 16) & 2;
  return false;
}

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

// Whatever the program waits for, a signal ends the wait: a head that never comes, at start
// or for a list, and an answer that never comes. The echo timeout is a minute; the program
// must end long before it.
TEST(Signals, EndEveryWaitWithoutWaitingForItsTimeout) {
  const struct {
    const char* name;
    QStringList arguments;
    bool sweep_started;  // wait for the record, so the signal comes during an echo wait
  } cases[] = {
      {"no head at start", {"--device", "nosuch", "--sweep"}, false},
      {"no head for a list", {"--device", "nosuch", "--upload-list", "list.txt"}, false},
      {"a head that never answers", {"--simulate=silent-after=0", "--sweep"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir folder;
    const QString data = folder.filePath("data");
    QProcess program;
    program.setWorkingDirectory(folder.path());
    program.start(QStringLiteral(BREVANE_PROGRAM),
                  c.arguments + QStringList{"--echo-timeout", "60000", "--data-folder", data});
    ASSERT_TRUE(program.waitForStarted());
    const std::function<bool()> ready = [&] {
      if (!catches_sigint(program.processId())) return false;
      return !c.sweep_started || !QDir(data + "/scans").isEmpty(QDir::Files);
    };
    for (int k = 0; k < 1000 && !ready(); ++k) program.waitForFinished(10);
    ASSERT_TRUE(ready());
    ::kill(static_cast<pid_t>(program.processId()), SIGINT);
    // Far below the echo timeout: nothing waits for it.
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 130) << program.readAllStandardError().toStdString();
  }
}

}  // namespace
