#include "scan/manual_positioning.h"

#include <string>

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "model/main_window_state.h"
#include "model/panel.h"
#include "sensors/thermal_reading.h"

namespace brevane {

manual_positioning::manual_positioning(device::command_exchange& exchange, main_window_state& state,
                                       panel& window, thermal_reading& thermal)
    : exchange_(exchange), state_(state), window_(window), thermal_(thermal) {}

bool manual_positioning::jog(int index) {
  if (index < 0 || index > 3) return false;
  const bool z_axis = index == 0 || index == 2;
  const int delta = (index == 0 || index == 1) ? 1 : -1;
  int& axis = z_axis ? state_.posz : state_.posx;
  const int target = axis + delta;
  if (target < 0 || target > 255) {
    // The head's positions are bytes; refuse rather than send a move that cannot be made.
    window_.show_status(std::string("Jog refused: ") + (z_axis ? "Z" : "X") + " would move to " +
                        std::to_string(target) + ", outside 0 to 255.");
    return false;
  }
  axis = target;
  state_.pos = static_cast<std::int16_t>(target);
  if (z_axis)
    exchange_.zpos(state_.pos);
  else
    exchange_.xpos(state_.pos);
  return true;
}

bool manual_positioning::move_to(int x, int z) {
  if (x < 0 || x > 255 || z < 0 || z > 255) {
    window_.show_status("Move refused: X " + std::to_string(x) + " Z " + std::to_string(z) +
                        " lies outside 0 to 255.");
    return false;
  }
  state_.posx = x;
  state_.pos = static_cast<std::int16_t>(x);
  exchange_.xpos(state_.pos);
  state_.posz = z;
  state_.pos = static_cast<std::int16_t>(z);
  exchange_.zpos(state_.pos);
  return true;
}

double take_baseline(thermal_reading& thermal, const main_window_state& state, bool pump_between,
                     const std::function<bool(int, double)>& each, int held, double held_sum) {
  double sum = held_sum;
  int taken = held;
  for (int k = held; k < 10; ++k) {
    const double temperature = thermal.therm();
    const bool go_on = !each || each(k + 1, temperature);
    if (pump_between) device::command_exchange::pump_once();
    sum += state.last_temperature;
    ++taken;
    if (!go_on) break;
  }
  return sum / taken;
}

void manual_positioning::home() {
  state_.pos = home_position;
  state_.posx = home_position;
  exchange_.xpos(state_.pos);
  state_.pos = home_position;
  state_.posz = home_position;
  exchange_.zpos(state_.pos);
  state_.avgt = take_baseline(thermal_, state_, false);
}

void manual_positioning::choose_step(int index) {
  if (index >= 0 && index < static_cast<int>(step_choices.size()))
    state_.step_d = static_cast<std::int16_t>(step_choices[static_cast<std::size_t>(index)]);
}

void manual_positioning::limit_changed(scroll_bar bar, int value) {
  text_box box{};
  switch (bar) {
    case scroll_bar::xmin:
      box = text_box::x_min_text;
      break;
    case scroll_bar::xmax:
      box = text_box::x_max_text;
      break;
    case scroll_bar::zmin:
      box = text_box::z_min_text;
      break;
    case scroll_bar::zmax:
      box = text_box::z_max_text;
      break;
    case scroll_bar::gain:
      gain_changed(value);
      return;
  }
  window_.set_text(box, std::to_string(value));
}

void manual_positioning::gain_changed(int value) {
  window_.set_text(text_box::gain_text, str_format(value));
}

void manual_positioning::reset_temperature() {
  state_.mint = 100.0;
  state_.maxt = 0.0;
  window_.set_text(text_box::min_temperature_text, "");
  window_.set_text(text_box::max_temperature_text, "");
}

void manual_positioning::reset_distance() {
  state_.dmin = 9999.0;
  state_.dmax = 0.0;
  window_.set_text(text_box::min_distance_text, "");
  window_.set_text(text_box::max_distance_text, "");
}

}  // namespace brevane
