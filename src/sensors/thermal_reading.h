#pragma once
// One reading of the thermal sensor: T command, conversion, display, map cell, TNOW, the
// plot step and the extremes.

#include <optional>

namespace brevane {

namespace device {
class command_exchange;
}
class panel;
class scope_trace;
struct main_window_state;

inline constexpr double degrees_per_count = 0.168;

// The value stored in the thermal map for a temperature against the baseline and gain.
double thermal_map_value(double temperature, double avgt, int gain);

class thermal_reading {
 public:
  thermal_reading(device::command_exchange& exchange, main_window_state& state, panel& window,
                  scope_trace& scope);
  void therm();

 private:
  device::command_exchange& exchange_;
  main_window_state& state_;
  panel& window_;
  scope_trace& scope_;
};

}  // namespace brevane
