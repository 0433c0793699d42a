// A job or a service builds no window at all: the program runs under gdb with a breakpoint on
// QMainWindow's constructor and one on QApplication::exec. The window's own start is the
// control: it must stop at the first.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>


namespace brevane {
namespace {

TEST(NoWindow, JobsAndTheServiceBuildNoMainWindow) {
  const QString gdb = QStandardPaths::findExecutable(QStringLiteral("gdb"));
  if (gdb.isEmpty()) GTEST_SKIP() << "gdb is not installed (scripts/setup installs it)";
  QTemporaryDir dir;
  // A record to open: one sweep's.
  QProcess sweep;
  sweep.start(QStringLiteral(BREVANE_PROGRAM),
              {"--simulate", "--sweep", "--set=step=20", "--data-folder", dir.filePath("d")});
  ASSERT_TRUE(sweep.waitForFinished(60000));
  ASSERT_EQ(sweep.exitCode(), 0) << sweep.readAllStandardError().toStdString();
  const QStringList records = QDir(dir.filePath("d/scans")).entryList({"*.jsonl"});
  ASSERT_EQ(records.size(), 1);
  const QString record = dir.filePath("d/scans/" + records[0]);

  const struct {
    QStringList arguments;
    bool window;
  } runs[] = {
      {{"--simulate", "--sweep", "--log-images", "--data-folder", dir.filePath("e")}, false},
      {{"--open", record, "--export-csv", dir.filePath("r.csv")}, false},
      {{"--open", record, "--export-png", dir.filePath("r.png")}, false},
      {{"--simulate", "--no-window", "--listen", "127.0.0.1:0", "--data-folder", dir.filePath("f")},
       false},
      {{"--simulate", "--data-folder", dir.filePath("g")}, true},
  };
  for (const auto& run : runs) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // LeakSanitizer cannot run under a debugger; the sanitized build's other checks still do.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(gdb, QStringList{"-batch", "-nx", "-ex", "set breakpoint pending on", "-ex",
                                   "break QMainWindow::QMainWindow", "-ex",
                                   "break QApplication::exec", "-ex", "run", "--args",
                                   QStringLiteral(BREVANE_PROGRAM)} +
                           run.arguments);
    ASSERT_TRUE(program.waitForFinished(120000)) << run.arguments.join(' ').toStdString();
    const std::string out = program.readAll().toStdString();
    const std::string at = run.arguments.join(' ').toStdString();
    // "Breakpoint 1, …" or "Breakpoint 1.1, …" when it stops; "Breakpoint 1 at …" when set.
    const auto stopped_at = [&out](char n) {
      for (const char* after : {", ", "."})
        if (out.find(std::string("\nBreakpoint ") + n + after) != std::string::npos) return true;
      return false;
    };
    EXPECT_EQ(stopped_at('1'), run.window) << at << "\n" << out;
    if (!run.window) {
      EXPECT_TRUE(stopped_at('2') || out.find("exited normally") != std::string::npos)
          << at << "\n" << out;
    }
  }
}

}  // namespace
}  // namespace brevane
