// The maps as grids: which columns and rows a record's cycles give, what each cell holds, and
// that it is what the Maps window paints.
#include "export/map_grids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "display/record_maps.h"
#include "export/grid_pass.h"
#include "support/readings.h"

namespace brevane {
namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();

struct reading {
  int cycle;
  int x, z;
  std::optional<double> t, d;
  reading_kind kind = reading_kind::point;
};

scan_record record_of(const raster_in_use& raster, const std::vector<reading>& readings,
                      const std::vector<std::pair<std::size_t, raster_in_use>>& changes = {}) {
  scan_record record;
  record.header.raster = raster;
  for (const reading& r : readings) {
    reading_event e = point_reading(r.cycle, r.x, r.z, r.t, r.d);
    e.kind = r.kind;
    record.readings.push_back({e, 0});
  }
  for (const auto& [before, changed] : changes) record.raster_changes.push_back({changed, before});
  return record;
}

// NaN equals NaN here: a cell without a reading must stay without one.
::testing::AssertionResult same_cells(const std::vector<double>& seen,
                                      const std::vector<double>& wanted) {
  if (seen.size() != wanted.size())
    return ::testing::AssertionFailure() << seen.size() << " cells, not " << wanted.size();
  for (std::size_t i = 0; i < seen.size(); ++i)
    if (!(seen[i] == wanted[i] || (std::isnan(seen[i]) && std::isnan(wanted[i]))))
      return ::testing::AssertionFailure()
             << "cell " << i << " is " << seen[i] << ", not " << wanted[i];
  return ::testing::AssertionSuccess();
}

// The cells of a cycle as the Maps window lays them out for painting, in a grid's order.
std::vector<double> painted(const scan_record& record, const map_grids& g, int cycle,
                            map_kind kind) {
  const maps_data data = maps_from_record(record);
  std::vector<double> cells(g.z().size() * g.x().size(), none);
  for (const map_row& row : cell_geometry(data, cycle).rows)
    for (const auto& [extent, cell] : row.cells) {
      const auto z = std::find(g.z().begin(), g.z().end(), cell->z) - g.z().begin();
      const auto x = std::find(g.x().begin(), g.x().end(), cell->x) - g.x().begin();
      const auto v = kind == map_kind::thermal ? cell->temperature_f : cell->distance_in;
      if (v)
        cells.at(static_cast<std::size_t>(z) * g.x().size() + static_cast<std::size_t>(x)) = *v;
    }
  return cells;
}

TEST(MapGrids, ColumnsRowsAndCellsOfEachCycleAreWhatTheMapsWindowPaints) {
  const raster_in_use span_115{100, 115, 140, 150, 10, 10};
  const struct {
    const char* what;
    scan_record record;
    std::vector<int> cycles, z, x;
    std::vector<std::vector<double>> thermal, sonic;  // per cycle, rows from the lowest Z
  } cases[] = {
      {"a span that is no multiple of the step: the passes visit different columns",
       record_of(
           span_115,
           {{1, 100, 140, 1, 9}, {1, 110, 140, 2, 9}, {1, 115, 150, 3, 9}, {1, 105, 150, 4, 9}}),
       {1},
       {140, 150},
       {100, 105, 110, 115},
       {{1, none, 2, none, none, 4, none, 3}},
       {}},
      {"the last reading at a position in a cycle wins; another cycle keeps its own",
       record_of(span_115, {{1, 100, 140, 1, 9, reading_kind::row_start},
                            {1, 100, 140, 5, 8},
                            {2, 100, 140, 7, 6},
                            {2, 110, 140, 8, 6}}),
       {1, 2},
       {140},
       {100, 110},
       {{5, none}, {7, 8}},
       {{8, none}, {6, 6}}},
      {"Temp Off and Sonic Off leave their map without a reading",
       record_of(span_115, {{1, 100, 140, std::nullopt, 9}, {1, 110, 140, 2, std::nullopt}}),
       {1},
       {140},
       {100, 110},
       {{none, 2}},
       {{9, none}}},
      {"a raster widened mid-sweep: one set of axes; a row start off the limits is no cell",
       record_of({100, 110, 140, 140, 10, 10},
                 {{1, 0, 140, 60, 9, reading_kind::row_start},
                  {1, 100, 140, 1, 9},
                  {1, 110, 140, 2, 9},
                  {1, 130, 150, 3, 9},
                  {2, 100, 150, 4, 9}},
                 {{3, {100, 130, 140, 150, 10, 10}}}),
       {1, 2},
       {140, 150},
       {100, 110, 130},
       {{1, 2, none, none, none, 3}, {none, none, none, 4, none, none}},
       {}},
      {"baseline readings are no map",
       record_of(span_115, {{0, 100, 140, 70, std::nullopt, reading_kind::baseline}}),
       {},
       {},
       {},
       {},
       {}},
      {"a reading that goes back to a cycle already over replaces that cycle's cell",
       record_of(span_115, {{1, 100, 140, 1, 9},
                            {2, 100, 140, 2, 8},
                            {1, 100, 140, 3, std::nullopt},
                            {2, 110, 140, 4, 7}}),
       {1, 2},
       {140},
       {100, 110},
       {{3, none}, {2, 4}},
       {{none, none}, {8, 7}}},
      {"a record without readings has empty grids", record_of(span_115, {}), {}, {}, {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const map_grids g = grids_from_record(c.record);
    EXPECT_EQ(g.cycles(), c.cycles);
    EXPECT_EQ(g.z(), c.z);
    EXPECT_EQ(g.x(), c.x);
    for (std::size_t i = 0; i < c.cycles.size(); ++i) {
      const int cycle = c.cycles[i];
      SCOPED_TRACE("cycle " + std::to_string(cycle));
      EXPECT_TRUE(same_cells(g.plane(cycle, map_kind::thermal), c.thermal.at(i)));
      if (!c.sonic.empty()) {
        EXPECT_TRUE(same_cells(g.plane(cycle, map_kind::sonic), c.sonic[i]));
      }
      for (map_kind kind : {map_kind::thermal, map_kind::sonic})
        EXPECT_TRUE(same_cells(g.plane(cycle, kind), painted(c.record, g, cycle, kind)))
            << "the grid and the painting differ";
    }
    // The exports' grids, made in passes over the record without holding it, are the same.
    grid_axes axes;
    ASSERT_TRUE(record_held(c.record)(axes.listener(), nullptr));
    axes.finish();
    EXPECT_EQ(axes.cycles(), g.cycles());
    EXPECT_EQ(axes.z(), g.z());
    EXPECT_EQ(axes.x(), g.x());
    for (const int cycle : c.cycles) {
      const grid_planes planes = cycle_planes(record_held(c.record), axes, cycle, nullptr);
      EXPECT_TRUE(same_cells(planes.thermal, g.plane(cycle, map_kind::thermal))) << cycle;
      EXPECT_TRUE(same_cells(planes.sonic, g.plane(cycle, map_kind::sonic))) << cycle;
    }
  }
}

}  // namespace
}  // namespace brevane
