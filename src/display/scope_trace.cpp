#include "display/scope_trace.h"

#include "common/numbers.h"
#include "model/canvas.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

double trace_value(int t, double avgt, int gain) {
  // The rounded reading goes through the same baseline rule as the thermal map.
  return baseline_value(t, avgt, gain);
}

scope_trace::scope_trace(main_window_state& state, panel& window)
    : state_(state), window_(window) {}

void scope_trace::lines() {
  canvas& scope = window_.pictures(picture::scope);
  for (int x = 0; x <= 500; x += 10) scope.draw_line(x, 0, x, 500, scope_grid);
  for (int y = 0; y <= 300; y += 10) scope.draw_line(0, y, 500, y, scope_grid);
}

double scope_trace::plot_step() {
  canvas& scope = window_.pictures(picture::scope);
  if (column_ == 0) {
    scope.clear();
    lines();
  }
  const int t = state_.last_temperature;
  const int d = state_.last_distance;
  const double s = trace_value(t, state_.avgt, window_.value(scroll_bar::gain));

  scope.draw_line(column_, 300 - previous_trace_value_, column_ + 1, 300 - s, scope_thermal);
  scope.draw_line(column_, 340 - previous_distance_, column_ + 1, 340 - d, scope_distance);

  previous_trace_value_ = s;
  previous_distance_ = d;
  if (++column_ > 350) column_ = 0;
  return s;
}

}  // namespace brevane
