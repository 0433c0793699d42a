#include "sensors/sonic_reading.h"

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "model/main_window_state.h"
#include "model/panel.h"
#include "sensors/thermal_reading.h"

namespace brevane {

using namespace device;

sonic_reading::sonic_reading(command_exchange& exchange, main_window_state& state, panel& window,
                             thermal_reading& thermal)
    : exchange_(exchange), state_(state), window_(window), thermal_(thermal) {}

double sonic_reading::sonic() {
  const int raw = exchange_.read_counts(cmd_s);

  window_.set_text(text_box::distance_text, "");
  const double distance = raw / counts_per_inch;
  const double feet = distance / 12;

  window_.set_text(text_box::distance_text,
                   display_format(distance) + " Inches  \r\n" + display_format(feet) + " feet");
  if (distance < state_.dmin) {
    state_.dmin = distance;
    window_.set_text(text_box::min_distance_text, display_format(distance / 12) + " feet");
  }
  if (distance > state_.dmax) {
    state_.dmax = distance;
    window_.set_text(text_box::max_distance_text, display_format(distance / 12) + " feet");
  }
  for (int b = 0; b < 3; ++b)
    window_.set_bar_top(b, bar_base_twips - static_cast<float>(distance) * bar_scale[b]);

  const auto whole = try_to_integer(distance);
  if (whole) state_.last_distance = *whole;
  const auto i = try_to_integer(state_.posx - 100);
  const auto j = try_to_integer(state_.posz - 140);
  if (whole && i && j && map_grid::in_range(*i, *j)) state_.sonic_map.at(*i, *j) = *whole;

  if (window_.checked(check_box::temp_off)) thermal_.plot_and_log();
  return distance;
}

void sonic_reading::static_read() {
  while (window_.checked(check_box::repeat)) {
    exchange_.dtimer(100);
    thermal_.therm();
    sonic();
    thermal_.plot_and_log();
  }
}

}  // namespace brevane
