#pragma once
// The remote interface's TCP server. It runs on the UI thread beside the window: no thread of
// its own, and every command reaches the instrument from the event loop. Each client gets a
// session of its own. What a client can make the program hold is bounded: at most 8 clients,
// lines of at most 64 KiB of text, and at most 1 MiB of answers it has not read.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <map>
#include <memory>
#include <string_view>

#include "remote/instrument_status.h"

namespace brevane::remote {

class remote_instrument;

class scpi_server : public QObject {
  Q_OBJECT

 public:
  static constexpr int max_clients = 8;
  static constexpr qint64 max_pending_output = qint64{1024} * 1024;

  explicit scpi_server(remote_instrument& instrument, QObject* parent = nullptr);
  ~scpi_server() override;

  // Starts listening (port 0: one the system chooses). An empty text when it does, else one
  // line naming the address and the system's reason, such as a port in use.
  QString listen(const QHostAddress& address, quint16 port);
  // "ADDR:PORT" as listened on.
  QString where() const;
  quint16 port() const { return server_.serverPort(); }
  int client_count() const { return clients_; }
  // The error queue and status registers every client shares.
  instrument_status& status() { return status_; }

 signals:
  void clients_changed(int count);
  // Said once, by listen(), when the address is reachable from other machines.
  void reachable_from_network(const QString& where);

 private:
  struct connection;

  void accept_clients();
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
};

}  // namespace brevane::remote
