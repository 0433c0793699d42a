#pragma once
// One reading of the thermal sensor: T command, conversion, display, map cell, the rounded
// temperature, the
// plot step and the extremes.

#include <optional>

namespace brevane {

namespace device {
class command_exchange;
}
class panel;
class data_log;
class scope_trace;
struct main_window_state;

inline constexpr double degrees_per_count = 0.168;

class thermal_reading {
 public:
  thermal_reading(device::command_exchange& exchange, main_window_state& state, panel& window,
                  scope_trace& scope, data_log& log);
  // The last reading drawn on the scope and, when "Log Data" is checked, written to the data
  // log: where each reading is taken.
  void plot_and_log();
  // Returns the temperature in degrees F.
  double therm();

 private:
  device::command_exchange& exchange_;
  main_window_state& state_;
  panel& window_;
  scope_trace& scope_;
  data_log& log_;
};

}  // namespace brevane
