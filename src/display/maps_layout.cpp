#include "display/maps_layout.h"

#include <algorithm>
#include <cmath>

namespace brevane {

namespace {

// A picture much wider than tall, as a saved one of a flat region, keeps a readable font.
int font_px_for(QSize size) {
  return std::clamp(std::max(size.height(), size.width() / 2) / 40, 9, 15);
}

int bar_width_for(int f) {
  return f + f / 4;
}

// The room a panel's plot may take, before the plot is fitted into it; bar_room: the height
// its colour bar may take, down to the panel's bottom edge.
QRect plot_room(QSize size, map_kind kind, maps_arrangement arrangement, QRect* title,
                int* bar_room = nullptr) {
  const int f = font_px_for(size);
  const bool second = kind == map_kind::sonic;
  const int below_title = title_line(size).bottom();
  QRect area;  // from the panel's top edge to the picture's next part
  if (arrangement == maps_arrangement::side_by_side) {
    const int w = size.width() / 2;
    area = QRect(second ? w : 0, below_title, w, size.height() - below_title);
  } else {
    const int h = (size.height() - below_title) / 2;
    area = QRect(0, below_title + (second ? h : 0), size.width(),
                 second ? size.height() - below_title - h : h);
  }
  *title = QRect(area.left(), area.top() + f / 4, area.width(), 2 * f);
  const int top = title->bottom() + f;
  // Stacked, the next panel's title follows the X label closely.
  const int below_plot = arrangement == maps_arrangement::stacked ? 3 * f : 3 * f + f / 2;
  const int bottom = area.top() + area.height() - below_plot;
  const int plot_left = area.left() + 4 * f;
  const int plot_right = area.left() + area.width() - 5 * f - bar_width_for(f);
  if (bar_room) *bar_room = area.top() + area.height() - f / 2 - (top + f);
  return {QPoint(plot_left, top),
          QPoint(std::max(plot_left + 1, plot_right), std::max(top + 1, bottom))};
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
                          map_shape shape, maps_arrangement arrangement) {
  const int f = font_px_for(size);
  panel_layout p;
  p.font_px = f;
  int bar_room = 0;
  const QRect room = plot_room(size, kind, arrangement, &p.title, &bar_room);
  p.plot = fitted_plot(room, x.high - x.low, z.high - z.low, shape);
  // A flat plot keeps a colour bar tall enough for its numbers, beside the X axis if need be.
  const int bar_height = std::max(p.plot.height() - f, std::min(bar_room, 8 * f));
  p.bar = QRect(p.plot.right() + f, room.top() + f, bar_width_for(f), std::max(1, bar_height));
  return p;
}

picture_plan plan_picture(const extent& x, const extent& z, map_shape shape, QSize bound) {
  if (shape == map_shape::fill) return {QSize(bound.width(), bound.width() / 2), {}};
  const double x_units = std::max(x.high - x.low, 1e-9), z_units = std::max(z.high - z.low, 1e-9);
  picture_plan best;
  double best_scale = -1;
  for (const maps_arrangement a : {maps_arrangement::side_by_side, maps_arrangement::stacked}) {
    // Every margin is fixed by the font, which one side at the bound fixes: the room at the
    // bound less the room the plots leave unused is the picture.
    const int f = font_px_for(bound);
    QRect title;
    const QRect room = plot_room(bound, map_kind::thermal, a, &title);
    const double scale = std::min(room.width() / x_units, room.height() / z_units);
    const int w = std::clamp(static_cast<int>(std::lround(x_units * scale)), 1, room.width());
    // A flat plot keeps the height its colour bar needs beside it and its X axis.
    const int h =
        std::min(room.height(), std::max(6 * f, static_cast<int>(std::lround(z_units * scale))));
    const int across = a == maps_arrangement::side_by_side ? 2 : 1;
    const QSize size(bound.width() - across * (room.width() - w),
                     bound.height() - (3 - across) * (room.height() - h));
    if (scale > best_scale * 1.0001) {
      best = {size, a};
      best_scale = scale;
    }
  }
  return best;
}

int plot_scale::px(double v) const {
  return plot.left() + static_cast<int>(std::lround((v - x.low) / (x.high - x.low) * plot.width()));
}

int plot_scale::py(double v) const {
  return plot.top() +
         static_cast<int>(std::lround((z.high - v) / (z.high - z.low) * plot.height()));
}

}  // namespace brevane
