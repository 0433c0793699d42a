#include "remote/scpi_server.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "remote/line_buffer.h"
#include "remote/remote_session.h"

namespace brevane::remote {

namespace {

// Bytes Qt reads ahead of the session and the kernel holds unsent, per client.
constexpr qint64 read_ahead_bytes = qint64{64} * 1024;
constexpr int send_buffer_bytes = 256 * 1024;

}  // namespace

struct scpi_server::connection {
  QTcpSocket* socket = nullptr;  // none once the connection has ended
  qint64 heard_ms = 0;           // when the client last sent a byte
  line_buffer lines;
  std::unique_ptr<remote_session> session;
  bool scheduled = false;
};

scpi_server::scpi_server(remote_instrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument) {
  connect(&server_, &QTcpServer::newConnection, this, &scpi_server::accept_clients);
  connect(&idle_check_, &QTimer::timeout, this, &scpi_server::close_idle);
  auto steady = std::make_shared<QElapsedTimer>();
  steady->start();
  now_ms_ = [steady] { return steady->elapsed(); };
  set_idle_limit(default_idle_seconds);
}

void scpi_server::set_idle_limit(int seconds) {
  idle_limit_ms_ = qint64{seconds} * 1000;
  // Looked at often enough that a client is closed within a tenth of the limit past it.
  idle_check_.start(std::clamp(seconds * 100, 100, 5000));
}

bool scpi_server::allowed(const QHostAddress& peer) const {
  if (allowed_.empty()) return true;
  // A client over IPv4 to a listener on both protocols comes as ::ffff:a.b.c.d.
  QHostAddress address = peer;
  bool v4 = false;
  const quint32 ipv4 = peer.toIPv4Address(&v4);
  if (v4) address = QHostAddress(ipv4);
  for (const auto& [network, bits] : allowed_)
    if (address.isInSubnet(network, bits)) return true;
  return false;
}

qint64 scpi_server::quiet_ms(const connection& c) const {
  // A client whose session still works for it, or holds an answer for it, is not idle.
  if (!c.session->idle()) return 0;
  return now_ms_() - c.heard_ms;
}

bool scpi_server::make_room() {
  std::optional<quint64> longest;
  qint64 longest_ms = yield_after_ms;
  for (auto& [id, c] : connections_) {
    if (!c->socket) continue;
    const qint64 ms = quiet_ms(*c);
    if (ms >= longest_ms) {
      longest = id;
      longest_ms = ms;
    }
  }
  if (!longest) return false;
  const std::string why = "Brevane: idle for " + std::to_string(longest_ms / 1000) +
                          " s while another client waited for a place; connection closed\n";
  close(*connections_.at(*longest), why.c_str());
  schedule(*longest);  // its entry goes once its session is done
  return true;
}

void scpi_server::close_idle() {
  std::vector<quint64> idle;
  for (auto& [id, c] : connections_)
    if (c->socket && quiet_ms(*c) >= idle_limit_ms_) idle.push_back(id);
  const std::string why = "Brevane: idle for more than " + std::to_string(idle_limit_ms_ / 1000) +
                          " s; connection closed\n";
  for (const quint64 id : idle) {
    close(*connections_.at(id), why.c_str());
    schedule(id);
  }
}

scpi_server::~scpi_server() {
  for (auto& [id, c] : connections_)
    if (c->socket) disconnect(c->socket, nullptr, this, nullptr);
  connections_.clear();
}

QString scpi_server::listen(const QHostAddress& address, quint16 port) {
  if (!server_.listen(address, port)) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? "[" + address.toString() + "]"
                             : address.toString();
    return QStringLiteral("%1:%2: %3").arg(host).arg(port).arg(server_.errorString());
  }
  if (!address.isLoopback()) emit reachable_from_network(where());
  return {};
}

QString scpi_server::where() const {
  const QHostAddress address = server_.serverAddress();
  const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                           ? "[" + address.toString() + "]"
                           : address.toString();
  return host + ":" + QString::number(server_.serverPort());
}

void scpi_server::accept_clients() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (!allowed(socket->peerAddress())) {
      // Told nothing: an address that is not listed learns nothing of the instrument.
      socket->abort();
      socket->deleteLater();
      ++refused_;
      emit clients_changed(clients_);
      continue;
    }
    if (clients_ >= max_clients && !make_room()) {
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      socket->write("Brevane: too many clients, at most 8 at once; connection closed\n");
      socket->disconnectFromHost();
      continue;
    }
    const quint64 id = next_id_++;
    auto c = std::make_unique<connection>();
    c->socket = socket;
    c->heard_ms = now_ms_();
    socket->setReadBufferSize(read_ahead_bytes);
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, send_buffer_bytes);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    c->session = std::make_unique<remote_session>(
        instrument_, status_, [this, id](std::string_view bytes) { return send(id, bytes); },
        [this, id] { schedule(id); });
    connections_[id] = std::move(c);
    // Lines are served from a queued call, never inside the socket's own signal: a command
    // runs nested event loops, in which this socket may signal again or go away.
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { schedule(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { lost(id); });
    ++clients_;
    emit clients_changed(clients_);
    schedule(id);
  }
}

void scpi_server::schedule(quint64 id) {
  const auto it = connections_.find(id);
  if (it == connections_.end() || it->second->scheduled) return;
  it->second->scheduled = true;
  QMetaObject::invokeMethod(
      this, [this, id] { serve(id); }, Qt::QueuedConnection);
}

void scpi_server::serve(quint64 id) {
  const auto it = connections_.find(id);
  if (it == connections_.end()) return;
  connection& c = *it->second;
  c.scheduled = false;
  read_input(c, false);
  // An entry stays in the map while its session runs, so c outlives this call.
  c.session->run();
  // The answers go out now rather than from the next turn of the event loop: a script waits
  // for each one.
  if (c.socket && c.socket->bytesToWrite() > 0) c.socket->flush();
  if (c.socket && !c.session->waiting() && !c.session->running() && c.socket->bytesAvailable() > 0)
    schedule(id);
  forget_if_done(id);
}

void scpi_server::read_input(connection& c, bool everything) {
  char buffer[16 * 1024];
  while (c.socket && c.socket->bytesAvailable() > 0 &&
         (everything || c.session->queued_bytes() < max_line_bytes)) {
    const qint64 n = c.socket->read(buffer, sizeof buffer);
    if (n <= 0) return;
    c.heard_ms = now_ms_();
    const auto result =
        c.lines.feed(std::string_view(buffer, static_cast<std::size_t>(n)),
                     [&c](std::string&& line) { c.session->push(std::move(line)); });
    if (result == line_buffer::status::too_long)
      close(c, "Brevane: a line longer than 65536 bytes; connection closed\n");
    else if (result == line_buffer::status::not_text)
      close(c, "Brevane: bytes that are not text; connection closed\n");
  }
}

bool scpi_server::send(quint64 id, std::string_view bytes) {
  const auto it = connections_.find(id);
  if (it == connections_.end() || !it->second->socket) return false;
  QTcpSocket* socket = it->second->socket;
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (socket->bytesToWrite() > max_pending_output) {
    socket->flush();
    // A client that does not read its answers is not worth more memory than this.
    if (socket->bytesToWrite() > max_pending_output) {
      close(*it->second, nullptr);
      return false;
    }
  }
  return true;
}

void scpi_server::close(connection& c, const char* why) {
  QTcpSocket* socket = c.socket;
  if (!socket) return;
  c.socket = nullptr;
  c.session->discard();
  disconnect(socket, nullptr, this, nullptr);
  if (why) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(why);
    socket->disconnectFromHost();
  } else {
    socket->abort();
    socket->deleteLater();
  }
  --clients_;
  emit clients_changed(clients_);
}

void scpi_server::lost(quint64 id) {
  const auto it = connections_.find(id);
  if (it == connections_.end() || !it->second->socket) return;
  connection& c = *it->second;
  // What the client sent before it left still runs; only its answers are dropped.
  read_input(c, true);
  if (c.socket) {
    c.socket->deleteLater();
    c.socket = nullptr;
    c.session->detach();
    --clients_;
    emit clients_changed(clients_);
  }
  schedule(id);
}

void scpi_server::forget_if_done(quint64 id) {
  const auto it = connections_.find(id);
  if (it == connections_.end()) return;
  const connection& c = *it->second;
  if (!c.socket && c.session->idle() && !c.scheduled) connections_.erase(it);
}

}  // namespace brevane::remote
