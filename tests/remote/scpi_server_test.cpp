// The server with real sockets on the loopback address against a fake instrument: answers,
// and the bounds that keep one client from costing the program more than it should.
#include "remote/scpi_server.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <memory>
#include <vector>

#include "remote/remote_session.h"
#include "support/fake_instrument.h"
#include "support/rig.h"

namespace brevane::remote {
namespace {

using testing::run_events_until;

struct server_rig {
  server_rig() { EXPECT_EQ(server.listen(QHostAddress::LocalHost, 0), ""); }

  std::unique_ptr<QTcpSocket> connect_client() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, server.port());
    EXPECT_TRUE(
        run_events_until([&] { return socket->state() == QAbstractSocket::ConnectedState; }));
    return socket;
  }
  // Sends a line and waits for one line back.
  QByteArray ask(QTcpSocket& socket, const QByteArray& line) {
    socket.write(line + "\n");
    run_events_until([&] { return socket.canReadLine(); });
    return socket.readLine();
  }
  bool closed(QTcpSocket& socket) {
    return run_events_until([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                            5000);
  }

  testing::fake_instrument fake;
  scpi_server server{fake};
};

TEST(ScpiServer, AnswersAQueryAndCountsItsClients) {
  server_rig r;
  std::vector<int> counts;
  QObject::connect(&r.server, &scpi_server::clients_changed, [&](int n) { counts.push_back(n); });
  EXPECT_EQ(r.server.where(), "127.0.0.1:" + QString::number(r.server.port()));
  auto client = r.connect_client();
  EXPECT_EQ(r.ask(*client, "*IDN?"), "Brevane,Brevane head,SIM,1.0.0\n");
  client->disconnectFromHost();
  ASSERT_TRUE(run_events_until([&] { return r.server.client_count() == 0; }));
  EXPECT_EQ(counts, (std::vector<int>{1, 0}));

  // The port is taken now: a second server says so in one line.
  scpi_server second(r.fake);
  const QString refused = second.listen(QHostAddress::LocalHost, r.server.port());
  EXPECT_TRUE(refused.startsWith("127.0.0.1:" + QString::number(r.server.port()) + ": "));
  EXPECT_FALSE(refused.contains('\n'));
}

TEST(ScpiServer, TheNinthClientIsToldWhyAndClosed) {
  server_rig r;
  std::vector<std::unique_ptr<QTcpSocket>> clients;
  for (int i = 0; i < scpi_server::max_clients; ++i) clients.push_back(r.connect_client());
  ASSERT_TRUE(run_events_until([&] { return r.server.client_count() == 8; }));
  QTcpSocket ninth;
  QByteArray told;
  QObject::connect(&ninth, &QTcpSocket::readyRead, [&] { told += ninth.readAll(); });
  ninth.connectToHost(QHostAddress::LocalHost, r.server.port());
  ASSERT_TRUE(run_events_until([&] { return told.endsWith('\n'); }));
  EXPECT_TRUE(r.closed(ninth));
  EXPECT_TRUE(told.contains("at most 8")) << told.toStdString();
  EXPECT_EQ(r.server.client_count(), 8);
  EXPECT_EQ(r.ask(*clients.back(), "SWE:STAT?"), "IDLE,0,0,0,0,0.0,-1,NONE\n");
}

TEST(ScpiServer, IdleClientsLeaveRoomAndTheAllowListClosesOthersAtOnce) {
  server_rig r;
  qint64 now = 0;
  r.server.set_clock([&] { return now; });
  r.server.set_idle_limit(60);
  std::vector<std::unique_ptr<QTcpSocket>> silent;
  for (int i = 0; i < scpi_server::max_clients; ++i) {
    silent.push_back(r.connect_client());
    ASSERT_TRUE(run_events_until([&] { return r.server.client_count() == i + 1; }));
    now += 1000;  // the first is the longest idle
  }
  // Quiet for 10 s, the longest idle holder gives its place and is told why.
  now = 10'500;
  QByteArray told;
  QObject::connect(silent.front().get(), &QTcpSocket::readyRead,
                   [&] { told += silent.front()->readAll(); });
  auto newcomer = r.connect_client();
  EXPECT_EQ(r.ask(*newcomer, "*IDN?"), "Brevane,Brevane head,SIM,1.0.0\n");
  EXPECT_TRUE(r.closed(*silent.front()));
  EXPECT_TRUE(told.contains("idle for 10 s while another client waited")) << told.toStdString();

  // Past the limit, the silent ones go; one waiting on *OPC? and one that spoke stay.
  r.fake.start_sweep();
  silent[1]->write("*OPC?\n");
  ASSERT_TRUE(run_events_until([&] { return r.fake.waiting.size() == 1; }));
  now = 69'000;
  EXPECT_EQ(r.ask(*newcomer, "SWE:STAT?"), "RUNNING,0,0,0,0,0.0,-1,NONE\n");
  now = 70'000;
  r.server.close_idle();
  EXPECT_TRUE(r.closed(*silent.back()));
  EXPECT_EQ(r.server.client_count(), 2);
  r.fake.end_operation();
  ASSERT_TRUE(run_events_until([&] { return silent[1]->canReadLine(); }));
  EXPECT_EQ(silent[1]->readLine(), "1\n");

  r.server.set_allowed({{QHostAddress(QStringLiteral("10.0.0.0")), 8}});
  QTcpSocket outsider;
  outsider.connectToHost(QHostAddress::LocalHost, r.server.port());
  ASSERT_TRUE(run_events_until([&] { return r.server.refused_count() == 1; }));
  EXPECT_TRUE(r.closed(outsider));
  r.server.set_allowed({{QHostAddress(QStringLiteral("127.0.0.0")), 8}});
  auto insider = r.connect_client();
  EXPECT_EQ(r.ask(*insider, "*IDN?"), "Brevane,Brevane head,SIM,1.0.0\n");
}

TEST(ScpiServer, ALongLineOrBytesThatAreNotTextCloseTheirConnectionOnly) {
  server_rig r;
  auto well_behaved = r.connect_client();
  auto long_line = r.connect_client();
  auto binary = r.connect_client();
  long_line->write(QByteArray(64 * 1024 + 2, 'A'));
  binary->write(QByteArray("*IDN?\x01\x02", 7));
  EXPECT_TRUE(r.closed(*long_line));
  EXPECT_TRUE(r.closed(*binary));
  EXPECT_EQ(r.server.client_count(), 1);
  EXPECT_EQ(r.ask(*well_behaved, "*IDN?"), "Brevane,Brevane head,SIM,1.0.0\n");
}

TEST(ScpiServer, AClientThatNeverReadsIsClosedPastItsBound) {
  server_rig r;
  r.fake.readings = max_readings_per_read;
  r.fake.row_padding = std::string(100, '7');  // some 600 KB an answer
  auto reader = r.connect_client();
  auto hoarder = r.connect_client();
  hoarder->setReadBufferSize(1024);
  for (int i = 0; i < 60; ++i) hoarder->write("DATA:READ? 0,5000\n");
  // The hoarder's full read buffer keeps it from noticing; the server's count tells.
  EXPECT_TRUE(run_events_until([&] { return r.server.client_count() == 1; }, 5000));
  EXPECT_EQ(r.ask(*reader, "DATA:COUN?"), "5000\n");
}

TEST(ScpiServer, AClientThatLeavesMidOperationLeavesItRunning) {
  server_rig r;
  auto watcher = r.connect_client();
  // A client whose reading is still waiting for the head when it leaves.
  auto leaving = r.connect_client();
  bool measured = false;
  r.fake.while_operating = [&] {
    leaving->abort();
    EXPECT_TRUE(run_events_until([&] { return r.server.client_count() == 1; }));
    measured = true;
  };
  leaving->write("MEAS:TEMP?\n");
  ASSERT_TRUE(run_events_until([&] { return measured; }));
  r.fake.while_operating = nullptr;

  // One whose *OPC? waits for a sweep when it leaves.
  ASSERT_EQ(r.ask(*watcher, "SWE:STAR;STAT?"), "RUNNING,0,0,0,0,0.0,-1,NONE\n");
  auto waiting = r.connect_client();
  waiting->write("*OPC?\n");
  ASSERT_TRUE(run_events_until([&] { return r.fake.waiting.size() == 1; }));
  waiting->abort();
  ASSERT_TRUE(run_events_until([&] { return r.server.client_count() == 1; }));
  EXPECT_EQ(r.ask(*watcher, "SWE:STAT?"), "RUNNING,0,0,0,0,0.0,-1,NONE\n");
  r.fake.end_operation();
  EXPECT_EQ(r.ask(*watcher, "*OPC?;SWE:STAT?"), "1;IDLE,0,0,0,0,0.0,-1,NONE\n");
}

}  // namespace
}  // namespace brevane::remote
