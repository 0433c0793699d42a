#pragma once
// The program's command line. Without arguments it opens the window on the USB head.

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/device_constants.h"
#include "device/simulated_head.h"
#include "display/maps_scale.h"
#include "export/export_formats.h"
#include "scan/sweep_alarm.h"

namespace brevane {

// Where --listen takes remote clients.
struct listen_address {
  QHostAddress address{QHostAddress::LocalHost};
  quint16 port = 5025;  // 0: one the system chooses, said on stdout
};

struct command_line {
  std::optional<device::simulated_head_options> simulate;  // set: use the simulated head
  QString trace_file;
  int echo_timeout_ms = device::default_echo_timeout_ms;
  bool sweep = false;
  int cycles = 1;
  bool log_data = false;
  bool log_images = false;
  QString upload_list;
  QString data_folder;  // empty: "data" beside the program
  QString open_record;  // --open: a scan record
  std::optional<int> cycle;
  // --export-NAME FILE, in the order of export_kinds; empty where not asked for.
  std::array<QString, export_kind_count> exports;
  palette_kind palette = palette_kind::colour;  // --palette: the --export-png picture's colours
  bool palette_given = false;
  bool help = false;
  bool version = false;
  bool list_devices = false;
  QString device;           // --device: the serial number or device path of the head to use
  int resume_within_s = 0;  // --sweep: how long a sweep waits for a head that went away
  QString resume_record;    // --resume: the record of a sweep cut short, to go on with
  bool resume_on_any_head = false;
  QString plan_file;        // --plan: a plan or a scan record
  QStringList settings;     // --set KEY=VALUE, in their order, each already checked
  QString save_plan;        // --save-plan: write the resulting plan and exit
  bool dry_run = false;     // --sweep --dry-run: what the sweep would do, without a head
  std::optional<double> dry_run_ms;      // --dry-run=MS: the time per answered exchange
  bool progress = false;                 // --sweep --progress: parseable progress lines on stderr
  alarm_settings alarms;                 // --alarm: readings that end the sweep
  std::optional<listen_address> listen;  // --listen: the remote interface
  bool no_window = false;                // --no-window: run as a service until a signal
  int listen_idle_s = 300;               // --listen-idle: a client quiet this long is closed
  // --listen-allow: the addresses, each with its count of leading bits, a listener beyond
  // loopback takes; empty: any
  std::vector<std::pair<QHostAddress, int>> listen_allow;

  bool plan_given() const { return !plan_file.isEmpty() || !settings.isEmpty(); }
  const QString& export_file(export_format format) const;
  bool any_export() const;

  // True when the program runs a job and exits rather than waiting for the operator.
  bool headless_job() const {
    return sweep || !upload_list.isEmpty() || !save_plan.isEmpty() ||
           (!open_record.isEmpty() && any_export());
  }
};

// "[ADDR:]PORT" of --listen: an IPv4 address, an IPv6 address in brackets or localhost, and a
// port; nullopt with why otherwise.
std::optional<listen_address> parse_listen_address(const QString& text, std::string* why);

// Parses arguments (without the program name). nullopt with error set on bad input.
std::optional<command_line> parse_command_line(const QStringList& arguments, std::string* error);

std::string command_line_help();

}  // namespace brevane
