// The real program as a remote instrument without a window: driven by pyvisa (a client nobody
// here wrote, run as tests/remote/pyvisa_session.py), ended by signals as a service is, and
// refused at start when it cannot listen.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <iostream>

namespace {

constexpr const char* python = "/usr/bin/python3";
constexpr int skipped = 77;  // the script's code for a missing pyvisa

// Starts the program as a service on a port the system chooses; the port it says it listens
// on, or 0 when it did not.
quint16 start_service(QProcess& program, const QStringList& arguments) {
  program.start(QStringLiteral(BREVANE_PROGRAM),
                QStringList{"--no-window", "--listen", "127.0.0.1:0"} + arguments);
  if (!program.waitForStarted()) return 0;
  QByteArray out;
  while (!out.contains('\n') && program.waitForReadyRead(20000))
    out += program.readAllStandardOutput();
  const QByteArray prefix = "Listening on 127.0.0.1:";
  if (!out.startsWith(prefix)) return 0;
  return static_cast<quint16>(out.mid(prefix.size()).trimmed().toUInt());
}

// Sends SIGTERM or SIGINT and returns the exit status; -1 when it did not end normally.
int end_with(QProcess& program, int signal_number) {
  ::kill(static_cast<pid_t>(program.processId()), signal_number);
  if (!program.waitForFinished(20000) || program.exitStatus() != QProcess::NormalExit) return -1;
  return program.exitCode();
}

// One line asked, its answer without the line end; empty when none came.
QByteArray ask(QTcpSocket& client, const QByteArray& line) {
  client.write(line + '\n');
  QByteArray answer;
  while (!answer.endsWith('\n') && client.waitForReadyRead(20000)) answer += client.readAll();
  return answer.trimmed();
}

QList<QByteArray> file_lines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().trimmed().split('\n');
}

TEST(RemoteProgram, PyvisaIdentifiesMeasuresPlansSweepsAndReadsEveryReadingBack) {
  if (!QFileInfo::exists(QLatin1String(python))) GTEST_SKIP() << "no /usr/bin/python3";
  QTemporaryDir folder;
  QProcess program;
  const quint16 port =
      start_service(program, {"--simulate", "--data-folder", folder.filePath("data")});
  ASSERT_NE(port, 0) << program.readAllStandardError().toStdString();

  QProcess script;
  const QString rows = folder.filePath("rows.csv");
  script.start(QLatin1String(python),
               {QStringLiteral(BREVANE_SOURCE_DIR "/tests/remote/pyvisa_session.py"),
                QString::number(port), rows});
  ASSERT_TRUE(script.waitForFinished(120000));
  std::cout << script.readAllStandardOutput().toStdString()
            << script.readAllStandardError().toStdString();
  if (script.exitCode() == skipped) GTEST_SKIP() << "pyvisa is missing";
  EXPECT_EQ(script.exitCode(), 0);
  EXPECT_EQ(end_with(program, SIGTERM), 143);

  // The rows are the CSV export's, byte for byte, without its header.
  const QStringList records = QDir(folder.filePath("data/scans")).entryList(QDir::Files);
  ASSERT_EQ(records.size(), 1);
  QProcess exporter;
  exporter.start(QStringLiteral(BREVANE_PROGRAM),
                 {"--open", folder.filePath("data/scans/" + records.front()), "--export-csv",
                  folder.filePath("export.csv")});
  ASSERT_TRUE(exporter.waitForFinished(20000));
  ASSERT_EQ(exporter.exitCode(), 0) << exporter.readAllStandardError().toStdString();
  QList<QByteArray> exported = file_lines(folder.filePath("export.csv"));
  ASSERT_FALSE(exported.isEmpty());
  exported.removeFirst();
  EXPECT_EQ(file_lines(rows), exported);
}

// The conventions of a bench instrument, as pyvisa and lxi-tools' lxi (one connection per
// command) see them: tests/remote/bench_instrument_session.py.
TEST(RemoteProgram, PyvisaAndLxiFindTheConventionsOfABenchInstrument) {
  if (!QFileInfo::exists(QLatin1String(python))) GTEST_SKIP() << "no /usr/bin/python3";
  QTemporaryDir folder;
  QProcess program;
  const quint16 port = start_service(
      program, {"--simulate", "--listen-idle", "2", "--data-folder", folder.filePath("data")});
  ASSERT_NE(port, 0) << program.readAllStandardError().toStdString();
  QProcess script;
  script.start(QLatin1String(python),
               {QStringLiteral(BREVANE_SOURCE_DIR "/tests/remote/bench_instrument_session.py"),
                QString::number(port)});
  ASSERT_TRUE(script.waitForFinished(120000));
  std::cout << script.readAllStandardOutput().toStdString()
            << script.readAllStandardError().toStdString();
  EXPECT_EQ(end_with(program, SIGTERM), 143);
  if (script.exitCode() == skipped) GTEST_SKIP() << "pyvisa or lxi is missing";
  EXPECT_EQ(script.exitCode(), 0);
}

// A service's sweep started by a client ends on a signal after the exchange in progress, with
// its record closed, and the client that started it may have left long before.
TEST(RemoteProgram, ASignalEndsARemoteSweepWithItsRecordClosed) {
  const struct {
    int number;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    QTemporaryDir folder;
    QProcess program;
    const quint16 port =
        start_service(program, {"--simulate=latency=5", "--data-folder", folder.filePath("data")});
    ASSERT_NE(port, 0) << program.readAllStandardError().toStdString();
    {
      QTcpSocket client;
      client.connectToHost(QStringLiteral("127.0.0.1"), port);
      ASSERT_TRUE(client.waitForConnected(20000));
      // A sweep without end, until the signal ends it.
      EXPECT_EQ(ask(client, "SWE:REP ON;CYCL INF;STAR;:SYST:ERR?"), "0,\"No error\"");
      for (int k = 0; k < 400 && ask(client, "DATA:COUN?").toInt() < 20; ++k) QThread::msleep(10);
      EXPECT_GE(ask(client, "DATA:COUN?").toInt(), 20);
    }
    QTcpSocket watcher;
    watcher.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(watcher.waitForConnected(20000));
    EXPECT_TRUE(ask(watcher, "SWE:STAT?").startsWith("RUNNING")) << "the first client left";
    EXPECT_EQ(end_with(program, c.number), c.status);

    const QStringList records = QDir(folder.filePath("data/scans")).entryList(QDir::Files);
    ASSERT_EQ(records.size(), 1);
    const QList<QByteArray> lines = file_lines(folder.filePath("data/scans/" + records.front()));
    ASSERT_FALSE(lines.isEmpty());
    const QJsonObject end = QJsonDocument::fromJson(lines.back()).object();
    EXPECT_EQ(end.value("type").toString(), "end");
    EXPECT_EQ(end.value("how").toString(), "stopped by signal");
  }
}

TEST(RemoteProgram, RefusedAtStartWithOneLineWhenItCannotListen) {
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
  const QString taken = QStringLiteral("127.0.0.1:%1").arg(holder.serverPort());
  QTemporaryDir folder;
  const struct {
    QStringList arguments;
    const char* said;
  } cases[] = {
      {{"--no-window", "--listen", taken}, "brevane: cannot listen on 127.0.0.1:"},
      {{"--listen", taken}, "brevane: cannot listen on 127.0.0.1:"},
      {{"--no-window"}, "brevane: --no-window needs --listen [ADDR:]PORT"},
      {{"--listen", "--sweep"}, "cannot be combined with --sweep"},
      {{"--listen", "::1:5025"}, "an IPv6 address goes in brackets"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    QProcess program;
    program.start(
        QStringLiteral(BREVANE_PROGRAM),
        c.arguments + QStringList{"--simulate", "--data-folder", folder.filePath("data")});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 2);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains(c.said)) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
  }
}

// Without a display, --listen alone runs as a service.
TEST(RemoteProgram, AnAddressBeyondLoopbackIsSaidOnceAsReachableFromTheNetwork) {
  QTemporaryDir folder;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(BREVANE_PROGRAM),
                {"--simulate", "--listen", "0.0.0.0:0", "--data-folder", folder.filePath("data")});
  ASSERT_TRUE(program.waitForStarted());
  QByteArray out;
  while (!out.contains('\n') && program.waitForReadyRead(20000))
    out += program.readAllStandardOutput();
  ASSERT_TRUE(out.startsWith("Listening on 0.0.0.0:")) << out.toStdString();
  EXPECT_EQ(end_with(program, SIGTERM), 143);
  const QByteArray err = program.readAllStandardError();
  EXPECT_EQ(err.count("reachable from the network"), 1) << err.toStdString();
  EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}

}  // namespace
