#include "sensors/thermal_reading.h"

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "display/scope_trace.h"
#include "logging/data_log.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

using namespace device;

thermal_reading::thermal_reading(command_exchange& exchange, main_window_state& state,
                                 panel& window, scope_trace& scope, data_log& log)
    : exchange_(exchange), state_(state), window_(window), scope_(scope), log_(log) {}

void thermal_reading::plot_and_log() {
  const double drawn = scope_.plot_step();
  log_.log_step(drawn, state_.last_distance);
}

double thermal_reading::therm() {
  const int raw = exchange_.read_counts(cmd_t);

  // From here every step stands alone: a failing step leaves its result unset.
  window_.set_text(text_box::temperature_text, "");
  const double temperature = raw * degrees_per_count;
  const double map_value =
      baseline_value(temperature, state_.avgt, window_.value(scroll_bar::gain));

  const auto i = try_to_integer(state_.posx - 100);
  const auto j = try_to_integer(state_.posz - 140);
  const auto v = try_to_integer(map_value);
  if (i && j && v && map_grid::in_range(*i, *j)) state_.thermal_map.at(*i, *j) = *v;

  const std::string shown = display_format(temperature) + "f";
  window_.set_text(text_box::temperature_text, shown);
  if (auto t = try_to_integer(temperature)) state_.last_temperature = *t;

  plot_and_log();

  if (temperature < state_.mint) {
    state_.mint = temperature;
    window_.set_text(text_box::min_temperature_text, shown);
  }
  if (temperature > state_.maxt) {
    state_.maxt = temperature;
    window_.set_text(text_box::max_temperature_text, shown);
  }
  return temperature;
}

}  // namespace brevane
