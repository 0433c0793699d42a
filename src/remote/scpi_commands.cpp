// The command table. A new command is one row here and one case in the session.
#include "model/control_ranges.h"
#include "remote/scpi_parser.h"
#include "scan/sweep_alarm.h"

namespace brevane::remote {

namespace {

using enum argument;

constexpr argument a_whole_number[] = {integer};
constexpr argument a_flag[] = {boolean};
constexpr argument two_whole_numbers[] = {integer, integer};
constexpr argument a_plan[] = {json};
constexpr argument a_threshold[] = {threshold};
constexpr argument a_count[] = {count};

constexpr command_form none{true, {}};
constexpr command_form absent{};

// The most cycles a count asks for; INFinity repeats without end.
constexpr double max_cycles = 1'000'000;
// A register's value: SCPI's registers are 16 bits, the sign bit unused.
constexpr numeric_range register_range{0, 32767, 0};
constexpr numeric_range byte_range{0, 255, 0};

numeric_range range_of(const control_range& r) {
  return {double(r.low), double(r.high), double(r.start)};
}

command_row flag_setting(std::string_view header, std::string_view key, bool inverted = false) {
  return {command::sweep_setting, header, {true, a_flag}, none, key, inverted};
}

command_row number_setting(std::string_view header, std::string_view key, numeric_range range) {
  return {command::sweep_setting, header, {true, a_whole_number}, none, key, false, range};
}

command_row whole_number(command id, std::string_view header, numeric_range range,
                         std::string_view key = {}) {
  return {id, header, {true, a_whole_number}, none, key, false, range};
}

}  // namespace

const std::vector<command_row>& command_table() {
  static const std::vector<command_row> table = {
      {command::identify, "*IDN", absent, none},
      {command::clear_status, "*CLS", none, absent},
      {command::operation_complete, "*OPC", none, none},
      {command::wait, "*WAI", none, absent},
      {command::event_status, "*ESR", absent, none},
      whole_number(command::event_status_enable, "*ESE", byte_range),
      whole_number(command::service_request_enable, "*SRE", byte_range),
      {command::status_byte, "*STB", absent, none},
      {command::self_test, "*TST", absent, none},
      {command::options, "*OPT", absent, none},
      {command::reset, "*RST", none, absent},
      {command::measure_temperature, "MEASure:TEMPerature", absent, none},
      {command::measure_distance, "MEASure:DISTance", absent, none},
      {command::position,
       "POSition",
       {true, two_whole_numbers},
       none,
       {},
       false,
       numeric_range{0, 255, std::nullopt}},
      {command::home, "HOME", none, absent},
      number_setting("SWEep:XMIN", "xmin", range_of(xmin_range)),
      number_setting("SWEep:XMAX", "xmax", range_of(xmax_range)),
      number_setting("SWEep:ZMIN", "zmin", range_of(zmin_range)),
      number_setting("SWEep:ZMAX", "zmax", range_of(zmax_range)),
      number_setting("SWEep:STEP", "step",
                     {double(step_choices.front()), double(step_choices.back()),
                      double(step_choices[start_step_index])}),
      number_setting("SWEep:GAIN", "gain", range_of(gain_range)),
      flag_setting("SWEep:REPeat", "repeat"),
      flag_setting("SWEep:SONic", "sonic_off", true),
      flag_setting("SWEep:TEMPerature", "temp_off", true),
      {command::sweep_cycles,
       "SWEep:CYCLes",
       {true, a_count},
       none,
       {},
       false,
       numeric_range{1, max_cycles, 1}},
      {command::sweep_alarm,
       "SWEep:ALARm:TEMPerature",
       {true, a_threshold},
       none,
       "temperature_f",
       false,
       numeric_range{0, max_alarm_temperature_f, std::nullopt}},
      {command::sweep_alarm,
       "SWEep:ALARm:DISTance",
       {true, a_threshold},
       none,
       "distance_in",
       false,
       numeric_range{0, max_alarm_distance_in, std::nullopt}},
      {command::plan, "SWEep:PLAN", {true, a_plan}, none},
      {command::sweep_start, "SWEep:STARt", none, absent},
      {command::sweep_pause, "SWEep:PAUSe", none, absent},
      {command::sweep_resume, "SWEep:RESume", none, absent},
      // The record's path, quoted, is the rest of the line.
      {command::sweep_resume_record, "SWEep:RESume:RECord", {true, a_plan}, absent},
      {command::abort, "ABORt", none, absent},
      {command::sweep_state, "SWEep:STATe", absent, none},
      {command::data_count, "DATA:COUNt", absent, none},
      {command::data_read, "DATA:READ", absent, {true, two_whole_numbers}},
      {command::data_record, "DATA:RECord", absent, none},
      {command::system_error, "SYSTem:ERRor", absent, none},
      {command::system_error, "SYSTem:ERRor:NEXT", absent, none},
      {command::error_count, "SYSTem:ERRor:COUNt", absent, none},
      {command::error_all, "SYSTem:ERRor:ALL", absent, none},
      {command::system_version, "SYSTem:VERSion", absent, none},
      {command::status_event, "STATus:OPERation", absent, none, "operation"},
      {command::status_event, "STATus:OPERation:EVENt", absent, none, "operation"},
      {command::status_condition, "STATus:OPERation:CONDition", absent, none, "operation"},
      whole_number(command::status_enable, "STATus:OPERation:ENABle", register_range, "operation"),
      whole_number(command::status_positive, "STATus:OPERation:PTRansition", {0, 32767, 32767},
                   "operation"),
      whole_number(command::status_negative, "STATus:OPERation:NTRansition", register_range,
                   "operation"),
      {command::status_event, "STATus:QUEStionable", absent, none, "questionable"},
      {command::status_event, "STATus:QUEStionable:EVENt", absent, none, "questionable"},
      {command::status_condition, "STATus:QUEStionable:CONDition", absent, none, "questionable"},
      whole_number(command::status_enable, "STATus:QUEStionable:ENABle", register_range,
                   "questionable"),
      whole_number(command::status_positive, "STATus:QUEStionable:PTRansition", {0, 32767, 32767},
                   "questionable"),
      whole_number(command::status_negative, "STATus:QUEStionable:NTRansition", register_range,
                   "questionable"),
      {command::status_preset, "STATus:PRESet", none, absent},
  };
  return table;
}

}  // namespace brevane::remote
