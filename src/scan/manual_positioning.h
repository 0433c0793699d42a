#pragma once
// Driving the head by hand and setting what the sweep reads: jog, Home with the thermal
// baseline, the raster step, the limit and gain boxes, and the extremes resets.

#include <functional>

#include "model/control_ranges.h"

namespace brevane {

namespace device {
class command_exchange;
}
class panel;
class thermal_reading;
struct main_window_state;
enum class scroll_bar;

inline constexpr int home_position = 170;

class manual_positioning {
 public:
  manual_positioning(device::command_exchange& exchange, main_window_state& state, panel& window,
                     thermal_reading& thermal);

  // index 0 "^" (Z+1), 1 ">" (X+1), 2 "v" (Z-1), 3 "<". Returns false when refused.
  bool jog(int index);
  // Moves to (x, z) with the jog's commands, X first. False, sending nothing, when either lies
  // outside 0 to 255.
  bool move_to(int x, int z);
  void home();
  void choose_step(int index);
  void limit_changed(scroll_bar bar, int value);
  void gain_changed(int value);
  void reset_temperature();
  void reset_distance();

 private:
  device::command_exchange& exchange_;
  main_window_state& state_;
  panel& window_;
  thermal_reading& thermal_;
};

// Mean of ten thermal readings, as Home and the sweep take it. pump_between lets events run
// after each reading.
// each, when given, hears of every reading (1 to 10) with its temperature, and may end the
// baseline there by returning false; the mean is then that of the readings taken. held readings
// (with the sum of their whole temperatures) were taken before, by a sweep now resumed.
double take_baseline(thermal_reading& thermal, const main_window_state& state, bool pump_between,
                     const std::function<bool(int, double)>& each = {}, int held = 0,
                     double held_sum = 0);

}  // namespace brevane
