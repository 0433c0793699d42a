#include "display/image_maps.h"

#include "display/map_painter.h"
#include "logging/image_log.h"
#include "model/canvas.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

image_maps::image_maps(main_window_state& state, panel& window, image_log& log)
    : state_(state), window_(window), log_(log) {}

void image_maps::rawdraw() {
  paint_map(window_.pictures(picture::thermal_map), state_.thermal_map, state_.step_d);
  paint_map(window_.pictures(picture::sonic_map), state_.sonic_map, state_.step_d);
  state_.sonic_map.clear();
  state_.thermal_map.clear();
  log_.log_step();
}

}  // namespace brevane
