#pragma once
// The Maps window's picture: a title line naming the scan, the cycle and its start, then the
// thermal and the sonic map side by side, each with its axes in head units (X across, Z up),
// its colour bar in the units chosen and its title. The window, "Save Picture…" and
// --export-png all paint it here.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <vector>

#include "display/maps_data.h"
#include "display/maps_layout.h"
#include "display/maps_scale.h"
#include "display/maps_units.h"

namespace brevane {

struct maps_style {
  palette_kind colours = palette_kind::colour;
  range_choice thermal;  // in the units shown
  range_choice sonic;
  display_units units;
  map_shape shape = map_shape::equal_scales;
  maps_arrangement arrangement = maps_arrangement::side_by_side;
  QString title;  // the picture's title line; none when empty
  // The cells hold one cycle minus another: a palette and range centred on zero.
  bool differences = false;
};

// Where a map's cells lie in head units: rows bottom to top, each row's cells left to right.
struct map_row {
  extent z;
  std::vector<std::pair<extent, const map_cell*>> cells;
};
struct maps_geometry {
  extent x{0, 1};
  extent z{0, 1};
  std::vector<map_row> rows;
};
// Pointers into data; valid while data is unchanged.
maps_geometry cell_geometry(const maps_data& data, std::optional<int> cycle);

// The lowest and highest value of a map among the cells shown, in units; none when none has a
// value.
std::optional<value_range> shown_range(const maps_geometry& geometry, map_kind kind,
                                       const display_units& units = {}, bool differences = false);

// cycle: nullopt paints the latest reading of each cell, otherwise that cycle.
QImage render_maps(const maps_data& data, std::optional<int> cycle, QSize size,
                   const maps_style& style);

// A saved picture (--export-png, Save Picture, File > Export): at most 1200 x 1200, sized and
// arranged so that the maps fill it (plan_picture; style's arrangement is the plan's), less
// the margin its numbers left blank at the right and the bottom. A position lies where it
// lies in a picture of the plan's size.
picture_plan saved_picture_plan(const maps_data& data, std::optional<int> cycle,
                                map_shape shape = map_shape::equal_scales);
QImage render_picture(const maps_data& data, std::optional<int> cycle, const maps_style& style);

// The title line: "scan 2026-12-07 09-51-55 — cycle 2, started 2026-12-07 09:53:12", or of the
// latest readings "— latest of 3 cycles, started" the first cycle's start. scan: the record's
// name; empty for a sweep without one.
QString picture_title(const QString& scan, const maps_data& data, std::optional<int> cycle);

struct cell_hit {
  map_kind map;
  map_cell cell;
};
// The cell under pixel `at` of the picture render_maps paints at `size`; none off the cells.
std::optional<cell_hit> cell_at(const maps_data& data, std::optional<int> cycle, QSize size,
                                QPoint at, map_shape shape = map_shape::equal_scales);

// The pixel of the picture at `size` that shows head position (x, z) in the given map.
QPoint picture_point(const maps_data& data, std::optional<int> cycle, QSize size, map_kind map,
                     double x, double z, map_shape shape = map_shape::equal_scales,
                     maps_arrangement arrangement = maps_arrangement::side_by_side);

// One line about a cell: position, temperature, distance and the time of its reading.
QString readout_text(const map_cell& cell, const display_units& units = {});

// Writes the picture as PNG. Returns an error text, empty on success.
std::string save_png(const QImage& picture, const QString& path);
// --export-png: the saved picture of a cycle, as PNG, in °F and inches.
std::string export_cycle(const maps_data& data, int cycle, const QString& path,
                         const maps_style& style = {});

}  // namespace brevane
