#pragma once
// Where the parts of the Maps picture lie, free of painting: a title line across the top,
// then the thermal and the sonic map side by side (or one above the other), each with its
// title, a plot with its axes at the left and below, and a colour bar at the right. Sizes
// follow the font, the font the picture's size. By default a plot has as many pixels per unit
// of X as of Z, so an object keeps its shape; "Fill" stretches it over the room there is.

#include <QRect>
#include <QSize>

#include "display/maps_scale.h"

namespace brevane {

enum class map_kind { thermal, sonic };
enum class map_shape { equal_scales, fill };
enum class maps_arrangement { side_by_side, stacked };

struct panel_layout {
  QRect title, plot, bar;
  int font_px = 12;
};

// The title line of a picture of size.
QRect title_line(QSize size);

// The plot inside room for x_units across and z_units up: all of room with fill; with equal
// scales the largest rectangle of the same pixels per unit both ways, centred across and at
// the top.
QRect fitted_plot(const QRect& room, double x_units, double z_units, map_shape shape);

// The panel of one map in a picture of size showing x and z.
panel_layout layout_panel(QSize size, map_kind kind, const extent& x, const extent& z,
                          map_shape shape,
                          maps_arrangement arrangement = maps_arrangement::side_by_side);

// A saved picture's size and arrangement. With equal scales: of the two arrangements the one
// with the larger plots inside bound, its size cut to the plots, so that a region of any shape
// fills the picture. With fill: bound's width by half of it, side by side.
struct picture_plan {
  QSize size;
  maps_arrangement arrangement = maps_arrangement::side_by_side;
};
picture_plan plan_picture(const extent& x, const extent& z, map_shape shape, QSize bound);

// Head units to pixels in a plot: X across, Z up.
struct plot_scale {
  QRect plot;
  extent x, z;
  int px(double v) const;
  int py(double v) const;
};

}  // namespace brevane
