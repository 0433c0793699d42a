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

layout_pictures::layout_pictures()
    : scope_(layout_canvas("SCOPE")),
      thermal_map_(layout_canvas("Picture1")),
      sonic_map_(layout_canvas("Picture2")) {}

canvas& layout_pictures::at(picture which) {
  switch (which) {
    case picture::thermal_map:
      return thermal_map_;
    case picture::sonic_map:
      return sonic_map_;
    case picture::scope:
      break;
  }
  return scope_;
}

}  // namespace brevane
