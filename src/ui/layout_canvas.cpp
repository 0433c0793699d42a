#include "ui/layout_canvas.h"

#include <string_view>

#include "ui/layout_table.h"

namespace brevane {

QColor layout_colour(unsigned value) {
  return QColor(static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>(value & 0xFF));
}

canvas layout_canvas(const char* name) {
  const control_row* row = find_control(name);
  const pixel_size size = drawable_pixels(*row);
  if (std::string_view(name) == "SCOPE") {
    return canvas(size.width, size.height, layout_colour(row->fill),
                  scope_unit_w_twips / twips_per_pixel, scope_unit_h_twips / twips_per_pixel);
  }
  return canvas(size.width, size.height, layout_colour(row->fill));
}

}  // namespace brevane
