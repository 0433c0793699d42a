#pragma once
// The remote interface in the program: the instrument over the window's procedures, the TCP
// server in front of it, and what the window and stderr say about it.

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/app_instrument.h"
#include "app/command_line.h"
#include "remote/scpi_server.h"

namespace brevane {

struct instrument;
class panel;
class scan_record_writer;

// *IDN?'s head and serial: the simulated head says SIM; a USB head its serial number when
// --device named one.
remote::identity remote_identity(const command_line& options, const std::string& version);

class remote_front_end {
 public:
  // Made after wire_window(): the instrument hears of each operation's end after the window.
  // show_where: where the window shows the listener and its clients; none without a window.
  remote_front_end(panel& window, instrument& inst, scan_record_writer& record,
                   remote::identity identity, int start_echo_timeout_ms,
                   std::function<void(const QString&)> show_where = {});
  ~remote_front_end();
  remote_front_end(const remote_front_end&) = delete;
  remote_front_end& operator=(const remote_front_end&) = delete;

  // Starts the server; empty when it listens, else one line saying why not. The status bar
  // then shows where and how many clients; an address reachable from the network is said
  // once in the status bar and on stderr.
  QString listen(const listen_address& where);

  app_instrument& instrument() { return instrument_; }
  remote::scpi_server& server() { return server_; }

 private:
  panel& window_;
  brevane::instrument& inst_;
  std::function<void(const QString&)> show_where_;
  app_instrument instrument_;
  remote::scpi_server server_;
  // The status registers hear every change of the instrument, so no event is missed between
  // two queries.
  int listening_ = 0;
};

// --listen: the front end listening, or nullptr with the one line of why in why.
std::unique_ptr<remote_front_end> start_remote(const command_line& options, panel& window,
                                               instrument& inst, scan_record_writer& record,
                                               const std::string& version, std::string* why,
                                               std::function<void(const QString&)> show_where = {});

// "Remote: 127.0.0.1:5025, 1 client", and ", 3 refused" once the allow-list closed any.
QString remote_status_text(const QString& where, int clients, int refused = 0);

}  // namespace brevane
