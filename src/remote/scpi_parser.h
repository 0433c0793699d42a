#pragma once
// The remote interface's language, parsed without doing anything: IEEE 488.2 program message
// lines of SCPI commands. One line (its LF and a CR before it already taken off) holds one or
// more commands separated by ';'. Headers are case-insensitive and each node may take its long
// or its short form (SWEep:STARt or SWE:STAR), with an optional leading ':'. After a ';' a
// header without a leading ':' is looked up first under the previous command's node, as SCPI
// says (SWE:XMIN 110;XMAX 200), and then from the root. Parameters follow whitespace and are
// separated by ','. SWEep:PLAN takes the rest of its line as JSON, so it is the last command
// on that line. A numeric setting also takes MINimum, MAXimum and DEFault (its reset value),
// and its query asks for them: SWE:GAIN? MAX.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/scpi_errors.h"

namespace brevane::remote {

enum class command {
  identify,
  clear_status,
  operation_complete,
  reset,
  measure_temperature,
  measure_distance,
  position,
  home,
  sweep_setting,
  sweep_alarm,
  plan,
  sweep_start,
  sweep_pause,
  sweep_resume,
  sweep_resume_record,
  abort,
  sweep_state,
  data_count,
  data_read,
  data_record,
  system_error,
  error_count,
  error_all,
  system_version,
  event_status,
  event_status_enable,
  service_request_enable,
  status_byte,
  wait,
  self_test,
  options,
  status_event,
  status_condition,
  status_enable,
  status_positive,
  status_negative,
  status_preset,
  sweep_cycles,
};

enum class argument {
  integer,    // a decimal number (exponent allowed) whose value is whole
  boolean,    // ON, OFF, 1 or 0
  json,       // the rest of the line
  threshold,  // a decimal number, or OFF (flag false)
  count,      // a whole number, or INFinity (an infinite number)
};

// The values a numeric argument takes, for MINimum, MAXimum and DEFault. A threshold's
// default is OFF (none).
struct numeric_range {
  double low = 0;
  double high = 0;
  std::optional<double> reset;
};

// A header's set or query form: whether it exists, and the arguments it takes.
struct command_form {
  bool allowed = false;
  std::span<const argument> arguments;
};

struct command_row {
  command id;
  // The long form; its upper-case letters and digits are the short form.
  std::string_view header;
  command_form set;
  command_form query;
  // For sweep_setting: the plan key, and whether ON means that key is false (Sonic Off). For
  // sweep_alarm: the reading the alarm watches.
  std::string_view key = {};
  bool inverted = false;
  std::optional<numeric_range> range = {};
};

// Every command the interface knows, one row each.
const std::vector<command_row>& command_table();

struct parameter {
  double number = 0.0;  // integer arguments
  bool flag = false;    // boolean arguments; a threshold that is on
  std::string text;     // json arguments
};

struct parsed_command {
  const command_row* row = nullptr;
  bool query = false;
  std::vector<parameter> parameters;
  std::string header;  // as written, for the details of errors
  // A query of MINimum, MAXimum or DEFault: the value asked for; NaN for a default of OFF.
  std::optional<double> asked;
};

struct parsed_line {
  // The commands before the first error, in order.
  std::vector<parsed_command> commands;
  // The first error; nothing after it on the line is read.
  std::optional<error_entry> error;
};

parsed_line parse_line(std::string_view line, const std::vector<command_row>& table);
inline parsed_line parse_line(std::string_view line) {
  return parse_line(line, command_table());
}

}  // namespace brevane::remote
