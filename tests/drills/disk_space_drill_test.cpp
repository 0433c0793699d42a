// A service told to repeat without end, on a data folder of 2 MB (a tmpfs mounted for the drill,
// which needs root; skipped where it cannot mount): the sweep stops itself before the disk is
// full, its record ends with the reason, STATus:QUEStionable says so, and the disk keeps room.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace {

QByteArray ask(QTcpSocket& client, const QByteArray& line) {
  client.write(line + '\n');
  QByteArray answer;
  while (!answer.endsWith('\n') && client.waitForReadyRead(20000)) answer += client.readAll();
  return answer.trimmed();
}

// A tmpfs of the given size at a new folder, unmounted when it goes.
struct small_disk {
  explicit small_disk(const char* size) {
    if (geteuid() != 0 || !folder.isValid()) return;
    const std::string options = std::string("size=") + size;
    mounted =
        ::mount("tmpfs", folder.path().toLocal8Bit().constData(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~small_disk() {
    if (mounted) ::umount2(folder.path().toLocal8Bit().constData(), MNT_DETACH);
  }
  QTemporaryDir folder;
  bool mounted = false;
};

TEST(DrillDiskSpace, AnEndlessRemoteSweepStopsBeforeTheDiskIsFull) {
  small_disk disk("2m");
  if (!disk.mounted) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  const QString data = disk.folder.filePath("data");
  QProcess program;
  program.start(QStringLiteral(BREVANE_PROGRAM),
                {"--simulate", "--no-window", "--listen", "127.0.0.1:0", "--data-folder", data});
  ASSERT_TRUE(program.waitForReadyRead(20000));
  const QByteArray said = program.readAllStandardOutput().trimmed();
  const quint16 port = static_cast<quint16>(said.mid(said.lastIndexOf(':') + 1).toUInt());
  ASSERT_NE(port, 0) << said.toStdString();

  QTcpSocket client;
  client.connectToHost(QStringLiteral("127.0.0.1"), port);
  ASSERT_TRUE(client.waitForConnected(20000));
  EXPECT_EQ(ask(client, "SWE:REP ON;CYCL INF;STAR;:SYST:ERR?"), "0,\"No error\"");
  QByteArray state;
  for (int k = 0; k < 6000 && !(state = ask(client, "SWE:STAT?")).startsWith("IDLE"); ++k)
    QThread::msleep(20);
  EXPECT_TRUE(state.startsWith("IDLE,") && state.endsWith(",CANCELLED")) << state.toStdString();
  EXPECT_EQ(ask(client, "STAT:QUES:COND?").toInt() & 4096, 4096);
  EXPECT_EQ(ask(client, "STAT:QUES?").toInt() & 4096, 4096);
  EXPECT_GT(ask(client, "DATA:COUN?").toInt(), 1000) << "it stopped long before the disk was full";

  struct statvfs space {};
  ASSERT_EQ(::statvfs(data.toLocal8Bit().constData(), &space), 0);
  EXPECT_GT(static_cast<double>(space.f_bavail) * static_cast<double>(space.f_frsize), 512e3);

  const QStringList records = QDir(data + "/scans").entryList(QDir::Files);
  ASSERT_EQ(records.size(), 1);
  QFile record(data + "/scans/" + records.front());
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  const QJsonObject end =
      QJsonDocument::fromJson(record.readAll().trimmed().split('\n').back()).object();
  EXPECT_EQ(end.value("type").toString(), "end");
  EXPECT_TRUE(QJsonDocument(end).toJson().contains("the disk of the data folder has"))
      << QJsonDocument(end).toJson().toStdString();

  program.terminate();
  EXPECT_TRUE(program.waitForFinished(20000));
}

}  // namespace
