// The command table. A new command is one row here and one case in the session.
#include "remote/scpi_parser.h"

namespace brevane::remote {

namespace {

using enum argument;

constexpr argument a_whole_number[] = {integer};
constexpr argument a_flag[] = {boolean};
constexpr argument two_whole_numbers[] = {integer, integer};
constexpr argument a_plan[] = {json};
constexpr argument a_threshold[] = {threshold};

constexpr command_form none{true, {}};
constexpr command_form absent{};

command_row setting(std::string_view header, std::string_view key, argument kind,
                    bool inverted = false) {
  return {command::sweep_setting,
          header,
          {true, kind == boolean ? a_flag : a_whole_number},
          none,
          key,
          inverted};
}

}  // namespace

const std::vector<command_row>& command_table() {
  static const std::vector<command_row> table = {
      {command::identify, "*IDN", absent, none},
      {command::clear_status, "*CLS", none, absent},
      {command::operation_complete, "*OPC", absent, none},
      {command::reset, "*RST", none, absent},
      {command::measure_temperature, "MEASure:TEMPerature", absent, none},
      {command::measure_distance, "MEASure:DISTance", absent, none},
      {command::position, "POSition", {true, two_whole_numbers}, none},
      {command::home, "HOME", none, absent},
      setting("SWEep:XMIN", "xmin", integer),
      setting("SWEep:XMAX", "xmax", integer),
      setting("SWEep:ZMIN", "zmin", integer),
      setting("SWEep:ZMAX", "zmax", integer),
      setting("SWEep:STEP", "step", integer),
      setting("SWEep:GAIN", "gain", integer),
      setting("SWEep:REPeat", "repeat", boolean),
      setting("SWEep:SONic", "sonic_off", boolean, true),
      setting("SWEep:TEMPerature", "temp_off", boolean, true),
      {command::sweep_alarm, "SWEep:ALARm:TEMPerature", {true, a_threshold}, none, "temperature_f"},
      {command::sweep_alarm, "SWEep:ALARm:DISTance", {true, a_threshold}, none, "distance_in"},
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
  };
  return table;
}

}  // namespace brevane::remote
