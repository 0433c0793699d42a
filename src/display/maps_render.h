#pragma once
// The Maps window's picture: the thermal map in °F and the sonic map in inches side by side,
// each with its axes in head units (X across, Z up), its colour bar and its title. The window,
// "Save Picture…" and --export-png all paint it here.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <vector>

#include "display/maps_data.h"
#include "display/maps_scale.h"

namespace brevane {

enum class map_kind { thermal, sonic };

struct maps_style {
  palette_kind colours = palette_kind::colour;
  range_choice thermal;
  range_choice sonic;
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

// The lowest and highest value of a map among the cells shown; none when none has a value.
std::optional<value_range> shown_range(const maps_geometry& geometry, map_kind kind);

// cycle: nullopt paints the latest reading of each cell, otherwise that cycle.
QImage render_maps(const maps_data& data, std::optional<int> cycle, QSize size,
                   const maps_style& style);

struct cell_hit {
  map_kind map;
  map_cell cell;
};
// The cell under pixel `at` of the picture render_maps paints at `size`; none off the cells.
std::optional<cell_hit> cell_at(const maps_data& data, std::optional<int> cycle, QSize size,
                                QPoint at);

// The pixel of the picture at `size` that shows head position (x, z) in the given map.
QPoint picture_point(const maps_data& data, std::optional<int> cycle, QSize size, map_kind map,
                     double x, double z);

// One line about a cell: position, temperature, distance and the time of its reading.
QString readout_text(const map_cell& cell);

// Writes the picture as PNG. Returns an error text, empty on success.
std::string save_png(const QImage& picture, const QString& path);
// --export-png: the picture of a cycle at 1200 x 600, as PNG.
std::string export_cycle(const maps_data& data, int cycle, const QString& path);
inline std::string export_last_cycle(const maps_data& data, const QString& path) {
  return export_cycle(data, data.cycles(), path);
}

}  // namespace brevane
