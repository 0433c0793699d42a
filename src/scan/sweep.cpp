#include "scan/sweep.h"

#include <algorithm>

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "display/image_maps.h"
#include "model/main_window_state.h"
#include "model/panel.h"
#include "scan/manual_positioning.h"
#include "sensors/sonic_reading.h"
#include "sensors/thermal_reading.h"

namespace brevane {

using namespace device;

int raster_count(int from, int to, int step) {
  if (step < 1 || to < from) return 0;
  return (to - from) / step + 1;
}

sweep_procedure::sweep_procedure(command_exchange& exchange, main_window_state& state,
                                 panel& window, thermal_reading& thermal, sonic_reading& sonic,
                                 image_maps& maps)
    : exchange_(exchange),
      state_(state),
      window_(window),
      thermal_(thermal),
      sonic_(sonic),
      maps_(maps) {}

bool sweep_procedure::stop_requested() const {
  return window_.checked(check_box::stop);
}

void sweep_procedure::show_progress() const {
  window_.show_progress("Sweep cycle " + std::to_string(cycle_) + ", " + pass_ + " pass, row " +
                        std::to_string(row_) + "/" + std::to_string(rows_) + ", point " +
                        std::to_string(point_) + "/" + std::to_string(points_in_run_));
}

sweep_procedure::outcome sweep_procedure::sweep(std::optional<int> cycles) {
  points_ = 0;
  cycles_done_ = 0;
  // The baseline is taken where the head stands, without a stop check.
  state_.avgt = take_baseline(thermal_, state_, true);

  for (cycle_ = 1;; ++cycle_) {
    direction_ = 0;

    pass_ = "upward";
    {
      const int zmin = window_.value(scroll_bar::zmin);
      const int zmax = window_.value(scroll_bar::zmax);
      const int step = std::max<int>(1, state_.step_d);
      rows_ = raster_count(zmin, zmax, step);
      row_ = 0;
      for (int z = zmin; z <= zmax; z += step) {
        ++row_;
        if (!row_start(z, true)) return outcome::stopped;
        if (!x_run(true)) return outcome::stopped;
      }
    }
    maps_.rawdraw();
    direction_ = 1;

    pass_ = "downward";
    {
      const int zmin = window_.value(scroll_bar::zmin);
      const int zmax = window_.value(scroll_bar::zmax);
      const int step = std::max<int>(1, state_.step_d);
      rows_ = raster_count(zmin, zmax, step);
      row_ = 0;
      for (int z = zmax; z >= zmin; z -= step) {
        ++row_;
        if (!row_start(z, false)) return outcome::stopped;
        if (!x_run(false)) return outcome::stopped;
        if (stop_requested()) return outcome::stopped;
      }
    }
    maps_.rawdraw();
    exchange_.leds(led_cycle_done);
    ++cycles_done_;

    if (cycles ? cycles_done_ >= *cycles : !window_.checked(check_box::repeat)) break;
  }
  window_.show_progress("");
  return outcome::completed;
}

bool sweep_procedure::row_start(int z, bool upward) {
  state_.posz = z;
  state_.pos = static_cast<std::int16_t>(z);
  point_ = 0;
  points_in_run_ = 0;
  show_progress();
  if (!window_.checked(check_box::z_off)) exchange_.zpos(state_.pos);
  exchange_.leds(led_row_start);
  if (upward) command_exchange::pump_once();
  if (!window_.checked(check_box::sonic_off)) {
    sonic_.sonic();
    exchange_.leds(led_after_sonic);
  }
  if (!window_.checked(check_box::temp_off)) {
    thermal_.therm();
    exchange_.leds(led_after_thermal);
  }
  return !stop_requested();
}

bool sweep_procedure::x_run(bool upward) {
  const int xmin = window_.value(scroll_bar::xmin);
  const int xmax = window_.value(scroll_bar::xmax);
  const int step = std::max<int>(1, state_.step_d);
  points_in_run_ = raster_count(xmin, xmax, step);
  point_ = 0;
  if (direction_ == 0) {
    for (int x = xmin; x <= xmax; x += step)
      if (!x_point(x, upward, true)) return false;
    direction_ = 1;
  } else {
    for (int x = xmax; x >= xmin; x -= step)
      if (!x_point(x, upward, false)) return false;
    direction_ = 0;
  }
  return true;
}

bool sweep_procedure::x_point(int x, bool upward, bool increasing) {
  state_.posx = x;
  state_.pos = static_cast<std::int16_t>(x);
  ++point_;
  ++points_;
  show_progress();
  const bool move = !window_.checked(check_box::x_off);
  const std::string caption = "X " + str_format(state_.posx) + " Z " + str_format(state_.posz);
  if (upward && !increasing) {
    if (move) exchange_.xpos(state_.pos);
    window_.set_caption(caption);
  } else {
    window_.set_caption(caption);
    if (move) exchange_.xpos(state_.pos);
  }
  if (!window_.checked(check_box::temp_off)) {
    thermal_.therm();
    exchange_.leds(led_after_thermal);
  }
  if (!(upward && increasing)) command_exchange::pump_once();
  if (!window_.checked(check_box::sonic_off)) {
    sonic_.sonic();
    exchange_.leds(led_after_sonic);
  }
  return !stop_requested();
}

}  // namespace brevane
