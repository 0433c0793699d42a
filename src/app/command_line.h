#pragma once
// The program's command line. Without arguments it opens the window on the USB head.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "device/device_constants.h"
#include "device/simulated_head.h"

namespace brevane {

struct command_line {
  std::optional<device::simulated_head_options> simulate;  // set: use the simulated head
  QString trace_file;
  int echo_timeout_ms = device::default_echo_timeout_ms;
  bool sweep = false;
  int cycles = 1;
  bool log_data = false;
  bool log_images = false;
  QString upload_list;
  QString export_png;  // with --sweep: the Maps window's picture of the last cycle
  bool help = false;
  bool version = false;

  // True when the program runs a job and exits rather than waiting for the operator.
  bool headless_job() const { return sweep || !upload_list.isEmpty(); }
};

// Parses arguments (without the program name). nullopt with error set on bad input.
std::optional<command_line> parse_command_line(const QStringList& arguments, std::string* error);

std::string command_line_help();

}  // namespace brevane
