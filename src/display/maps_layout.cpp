#include "display/maps_layout.h"

#include <algorithm>
#include <cmath>

namespace brevane {

namespace {

int font_px_for(QSize size) {
  return std::clamp(size.height() / 40, 9, 15);
}

}  // namespace

QRect title_line(QSize size) {
  const int f = font_px_for(size);
  return {0, f / 4, size.width(), 2 * f};
}

QRect fitted_plot(const QRect& room, double x_units, double z_units, map_shape shape) {
  if (shape == map_shape::fill || !(x_units > 0) || !(z_units > 0)) return room;
  const double scale = std::min(room.width() / x_units, room.height() / z_units);
  const int w = std::clamp(static_cast<int>(std::lround(x_units * scale)), 1, room.width());
  const int h = std::clamp(static_cast<int>(std::lround(z_units * scale)), 1, room.height());
  return {room.left() + (room.width() - w) / 2, room.top(), w, h};
}

panel_layout layout_panel(QSize size, map_kind kind, const extent& x, const extent& z,
                          map_shape shape) {
  const int w = size.width() / 2;
  const int left = kind == map_kind::thermal ? 0 : w;
  const int f = font_px_for(size);
  panel_layout p;
  p.font_px = f;
  p.title = QRect(left, title_line(size).bottom() + f / 4, w, 2 * f);
  const int top = p.title.bottom() + f;
  const int bottom = size.height() - 3 * f - f / 2;
  const int plot_left = left + 4 * f;
  const int bar_width = f + f / 4;
  const int plot_right = left + w - 5 * f - bar_width;
  const QRect room(QPoint(plot_left, top),
                   QPoint(std::max(plot_left + 1, plot_right), std::max(top + 1, bottom)));
  p.plot = fitted_plot(room, x.high - x.low, z.high - z.low, shape);
  // A flat plot keeps a colour bar tall enough for its numbers.
  const int bar_height = std::max(p.plot.height() - f, std::min(room.height() - f, 8 * f));
  p.bar = QRect(p.plot.right() + f, top + f, bar_width, std::max(1, bar_height));
  return p;
}

int plot_scale::px(double v) const {
  return plot.left() + static_cast<int>(std::lround((v - x.low) / (x.high - x.low) * plot.width()));
}

int plot_scale::py(double v) const {
  return plot.top() +
         static_cast<int>(std::lround((z.high - v) / (z.high - z.low) * plot.height()));
}

}  // namespace brevane
