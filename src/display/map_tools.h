#pragma once
// The Maps window's tools, free of widgets: a region of cells and its statistics, the values
// along a row or a column, one cycle minus another, and the limits a region asks the sweep
// for. They take the cells the painting shows (cell_geometry, or the same on_map rule), so a
// tool names exactly the cells the operator sees.

#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/maps_data.h"
#include "display/maps_layout.h"
#include "display/maps_render.h"
#include "display/maps_units.h"

namespace brevane {

// A cell's value as shown: °F or °C, inches or millimetres. differences: the cell holds a
// difference of two readings, so °C scales it without the offset. None when not taken.
std::optional<double> shown_value(const map_cell& cell, map_kind kind, const display_units& units,
                                  bool differences = false);

// The cells between two corners, in head units, ends included.
struct cell_region {
  int xmin = 0;
  int xmax = 0;
  int zmin = 0;
  int zmax = 0;
  bool contains(int x, int z) const { return x >= xmin && x <= xmax && z >= zmin && z <= zmax; }
  friend bool operator==(const cell_region&, const cell_region&) = default;
};
// The region a drag from the cell at (x0, z0) to the one at (x1, z1) covers, either way round.
cell_region region_between(int x0, int z0, int x1, int z1);

// Count, lowest, highest, mean and sample standard deviation (n - 1) of the values in a
// region; cells without a value (a skipped reading, a cell missing in a difference) do not
// count. min, max and mean are NaN when count is 0, sd when count is under 2.
struct region_stats {
  int count = 0;
  double min = 0;
  double max = 0;
  double mean = 0;
  double sd = 0;
};
// Read from the cells as kept, with the painting's rule for which are on the map, so that a
// drag pays no more than the region's rows (cell_geometry would place every cell first).
region_stats stats_in(const maps_data& data, std::optional<int> cycle, map_kind kind,
                      const cell_region& region, const display_units& units = {},
                      bool differences = false);

// Where the cells of a region lie in head units: from the lowest cell's low edge to the
// highest cell's high edge each way. None when no cell lies in it.
std::optional<std::pair<extent, extent>> region_extent(const maps_geometry& geometry,
                                                       const cell_region& region);

// The pixels of map `kind` in the picture at `size` that show x by z (head units).
QRect picture_rect(const maps_geometry& geometry, QSize size, map_kind kind, map_shape shape,
                   const extent& x, const extent& z);

// One step of a profile: the cell's extent along the line, its coordinate, and its value.
struct profile_step {
  extent along;
  int at = 0;
  std::optional<double> value;
};
// The cells of the row at z, left to right; empty when no row is there.
std::vector<profile_step> row_profile(const maps_geometry& geometry, map_kind kind, int z,
                                      const display_units& units = {}, bool differences = false);
// Bottom to top, the cell of each row whose extent holds x (the rows' columns differ when the
// runs go both ways).
std::vector<profile_step> column_profile(const maps_geometry& geometry, map_kind kind, int x,
                                         const display_units& units = {}, bool differences = false);

// The chosen cycle (nullopt: the latest readings) minus cycle `base`, cell by cell, in the
// cells of the chosen one and in its cycle 1. A value missing in either has none; so has a
// cell that the base cycle lacks.
maps_data cycle_difference(const maps_data& data, std::optional<int> chosen, int base);

// A range centred on zero that holds every value shown; half a unit either way when none is
// shown or all are zero.
value_range symmetric_range(std::optional<value_range> shown);

// The cell beside (x, z) one step in direction (dx, dz), each -1, 0 or 1: along the row, or
// in the next row up or down the cell nearest x. None past the edge or off the cells.
std::optional<std::pair<int, int>> neighbour_cell(const maps_geometry& geometry, int x, int z,
                                                  int dx, int dz);

// The scan limits a region asks for, each put inside its scroll bar's range.
struct region_limits {
  int xmin = 0;
  int xmax = 0;
  int zmin = 0;
  int zmax = 0;
  bool clipped = false;  // one or more limits differ from the region's
  // Why the region cannot be swept: the ranges would widen it, sweeping outside it.
  std::string refused;
  friend bool operator==(const region_limits&, const region_limits&) = default;
};
region_limits sweep_limits_for(const cell_region& region);

}  // namespace brevane
