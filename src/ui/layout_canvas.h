#pragma once
// The pictures and colours as the layout table gives them, for the main window and for the
// plain panel of a job, so that both draw and save the same pictures.

#include <QColor>

#include "model/canvas.h"
#include "model/panel.h"

namespace brevane {

// A picture as the main window lays it out: "SCOPE", "Picture1" or "Picture2".
canvas layout_canvas(const char* name);
// A layout colour, 0xRRGGBB.
QColor layout_colour(unsigned value);

// The three pictures of the window, laid out as the window lays them out.
class layout_pictures {
 public:
  layout_pictures();
  canvas& at(picture which);

 private:
  canvas scope_;
  canvas thermal_map_;
  canvas sonic_map_;
};

}  // namespace brevane
