#pragma once
// The remote interface's TCP server. It runs on the UI thread beside the window: no thread of
// its own, and every command reaches the instrument from the event loop. Each client gets a
// session of its own. What a client can make the program hold is bounded: at most 8 clients,
// lines of at most 64 KiB of text, and at most 1 MiB of answers it has not read.
//
// Idle clients leave room: a connection that has sent nothing for the idle limit is closed
// with a line saying why, and when every place is taken the longest idle holder, once it has
// been quiet for 10 s, gives its place to a newcomer. A client that waits for an answer (a
// *OPC? through a long sweep) is not idle. A listener beyond loopback may take an allow-list;
// any other address is closed at once and counted.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "remote/instrument_status.h"

namespace brevane::remote {

class remote_instrument;

class scpi_server : public QObject {
  Q_OBJECT

 public:
  static constexpr int max_clients = 8;
  static constexpr qint64 max_pending_output = qint64{1024} * 1024;
  static constexpr int default_idle_seconds = 300;
  // A holder quiet this long gives its place to a newcomer when every place is taken.
  static constexpr int yield_after_ms = 10'000;

  // An address with the count of its leading bits that must match (32 or 128: that address).
  using subnet = std::pair<QHostAddress, int>;

  explicit scpi_server(remote_instrument& instrument, QObject* parent = nullptr);
  ~scpi_server() override;

  // Starts listening (port 0: one the system chooses). An empty text when it does, else one
  // line naming the address and the system's reason, such as a port in use.
  QString listen(const QHostAddress& address, quint16 port);
  // "ADDR:PORT" as listened on.
  QString where() const;
  quint16 port() const { return server_.serverPort(); }
  int client_count() const { return clients_; }
  // Clients closed at once for an address the allow-list does not hold.
  int refused_count() const { return refused_; }
  void set_idle_limit(int seconds);
  // Empty: every address is taken.
  void set_allowed(std::vector<subnet> allowed) { allowed_ = std::move(allowed); }
  // Closes the clients idle past the limit; a timer calls it.
  void close_idle();
  // Milliseconds on a steady clock; tests give their own.
  void set_clock(std::function<qint64()> now_ms) { now_ms_ = std::move(now_ms); }
  // The error queue and status registers every client shares.
  instrument_status& status() { return status_; }

 signals:
  void clients_changed(int count);
  // Said once, by listen(), when the address is reachable from other machines.
  void reachable_from_network(const QString& where);

 private:
  struct connection;

  void accept_clients();
  bool allowed(const QHostAddress& peer) const;
  // Closes the longest idle holder quiet for yield_after_ms; false when none is.
  bool make_room();
  qint64 quiet_ms(const connection& c) const;
  void schedule(quint64 id);
  void serve(quint64 id);
  void read_input(connection& c, bool everything);
  bool send(quint64 id, std::string_view bytes);
  // Ends a connection the server no longer wants; why, when given, is told to the client.
  void close(connection& c, const char* why);
  void lost(quint64 id);
  void forget_if_done(quint64 id);

  remote_instrument& instrument_;
  instrument_status status_;
  QTcpServer server_;
  std::map<quint64, std::unique_ptr<connection>> connections_;
  quint64 next_id_ = 1;
  int clients_ = 0;
  int refused_ = 0;
  std::vector<subnet> allowed_;
  qint64 idle_limit_ms_ = qint64{default_idle_seconds} * 1000;
  QTimer idle_check_;
  std::function<qint64()> now_ms_;
};

}  // namespace brevane::remote
