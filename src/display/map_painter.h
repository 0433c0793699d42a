#pragma once
// Grey-level painting of one image map (thermal or sonic) into its picture.

#include "model/canvas.h"
#include "model/main_window_state.h"

namespace brevane {

// Clears the picture, then paints an 11 x 10 grey block for every visited cell (i, j),
// i = 140, 140 - step_d, ... >= 0 and j = 60, 60 - step_d, ... >= 0, later blocks over earlier
// ones. Row r of a block has level value + ramp(r) (0 1 2 3 4 6 7 8 9 10); levels above 255 are
// white, negative levels black. Whatever falls outside the picture is clipped. A step below 1
// counts as 1.
void paint_map(canvas& picture, const map_grid& grid, int step_d);

}  // namespace brevane
