#include "app/remote_wiring.h"

#include <iostream>

#include "app/instrument.h"
#include "model/panel.h"

namespace brevane {

remote::identity remote_identity(const command_line& options, const std::string& version) {
  if (options.simulate) return {"Simulated Vexilor II", "SIM", version};
  // A device path names no serial number; IEEE 488.2 then asks for 0.
  const std::string device = options.device.toStdString();
  const bool path = device.find('/') != std::string::npos;
  return {"Vexilor II", path || device.empty() ? "0" : device, version};
}

QString remote_status_text(const QString& where, int clients, int refused) {
  QString text = QStringLiteral("Remote: %1, %2 %3")
                     .arg(where)
                     .arg(clients)
                     .arg(clients == 1 ? QStringLiteral("client") : QStringLiteral("clients"));
  if (refused > 0) text += QStringLiteral(", %1 refused").arg(refused);
  return text;
}

remote_front_end::remote_front_end(panel& window, brevane::instrument& inst,
                                   scan_record_writer& record, remote::identity identity,
                                   int start_echo_timeout_ms,
                                   std::function<void(const QString&)> show_where)
    : window_(window),
      inst_(inst),
      show_where_(std::move(show_where)),
      instrument_(window, inst, record, std::move(identity), start_echo_timeout_ms),
      server_(instrument_) {
  server_.status().update(instrument_.conditions());
  listening_ = inst.settings.listen([this] { server_.status().update(instrument_.conditions()); });
  QObject::connect(&server_, &remote::scpi_server::clients_changed, &server_, [this](int clients) {
    if (show_where_)
      show_where_(remote_status_text(server_.where(), clients, server_.refused_count()));
  });
  QObject::connect(&server_, &remote::scpi_server::reachable_from_network, &server_,
                   [this](const QString& where) {
                     const std::string said =
                         "remote control at " + where.toStdString() +
                         " is reachable from the network: whoever can reach this machine can "
                         "drive the head";
                     std::cerr << "brevane: " << said << "\n";
                     window_.show_status("Remote control at " + where.toStdString() +
                                         " is reachable from the network.");
                   });
}

remote_front_end::~remote_front_end() {
  inst_.settings.unlisten(listening_);
}

std::unique_ptr<remote_front_end> start_remote(const command_line& options, panel& window,
                                               instrument& inst, scan_record_writer& record,
                                               const std::string& version, std::string* why,
                                               std::function<void(const QString&)> show_where) {
  auto front_end =
      std::make_unique<remote_front_end>(window, inst, record, remote_identity(options, version),
                                         options.echo_timeout_ms, std::move(show_where));
  front_end->server().set_idle_limit(options.listen_idle_s);
  front_end->server().set_allowed(options.listen_allow);
  if (const QString refused = front_end->listen(*options.listen); !refused.isEmpty()) {
    if (why) *why = "cannot listen on " + refused.toStdString();
    return nullptr;
  }
  return front_end;
}

QString remote_front_end::listen(const listen_address& where) {
  QString why = server_.listen(where.address, where.port);
  if (why.isEmpty() && show_where_) show_where_(remote_status_text(server_.where(), 0));
  return why;
}

}  // namespace brevane
