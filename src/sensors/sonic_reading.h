#pragma once
// One reading of the sonic distance sensor, and Static Read: both readings over and over at
// the current position while "Repeat" stays ticked.

namespace brevane {

namespace device {
class command_exchange;
}
class panel;
class thermal_reading;
struct main_window_state;

inline constexpr double counts_per_inch = 2.54;
inline constexpr float bar_base_twips = 3240.0F;
inline constexpr float bar_scale[3] = {10.7F, 5.0F, 15.0F};

class sonic_reading {
 public:
  sonic_reading(device::command_exchange& exchange, main_window_state& state, panel& window,
                thermal_reading& thermal);
  // Returns the distance in inches.
  double sonic();
  // Runs until "Repeat" is unticked at the top of a cycle (or the operation is cancelled).
  void static_read();

 private:
  device::command_exchange& exchange_;
  main_window_state& state_;
  panel& window_;
  thermal_reading& thermal_;
};

}  // namespace brevane
