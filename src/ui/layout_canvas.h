#pragma once
// The pictures and colours as the layout table gives them, for the main window and for the
// plain panel of a job, so that both draw and save the same pictures.

#include <QColor>

#include "model/canvas.h"

namespace brevane {

// A picture as the main window lays it out: "SCOPE", "Picture1" or "Picture2".
canvas layout_canvas(const char* name);
// A layout colour, 0xRRGGBB.
QColor layout_colour(unsigned value);

}  // namespace brevane
