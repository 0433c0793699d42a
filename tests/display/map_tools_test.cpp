// The Maps window's tools over a small raster: what a region's statistics say, the limits it
// asks the sweep for, the values along a row or a column, one cycle minus another, and where
// the arrow keys go.
#include "display/map_tools.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/readings.h"

namespace brevane {
namespace {

// Rows z 140 and 150, columns x 100, 110, 120. Cycle 1's temperatures (°F) and distances
// (inches); the reading at (110, 150) skipped its temperature. Cycle 2 is a degree warmer and
// never reached (120, 150). One reading lies off the map.
maps_data two_cycles() {
  maps_data data;
  data.set_raster({100, 120, 140, 150, 10, 10});
  const struct {
    int x, z;
    std::optional<double> t;
    double d;
  } cells[] = {{100, 140, 70, 10}, {110, 140, 80, 20},           {120, 140, 90, 30},
               {100, 150, 60, 40}, {110, 150, std::nullopt, 50}, {120, 150, 100, 60}};
  for (const auto& c : cells) {
    data.add(point_reading(1, c.x, c.z, c.t, c.d));
    if (c.x == 120 && c.z == 150) continue;
    data.add(point_reading(2, c.x, c.z, c.t ? std::optional(*c.t + 1) : std::nullopt, c.d));
  }
  // Where the head stood before the first run: outside the limits, no cell of the maps.
  data.add(point_reading(1, 90, 140, 500, 500));
  return data;
}

constexpr double none = std::numeric_limits<double>::quiet_NaN();

void expect_same(double got, double want, const std::string& what) {
  if (std::isnan(want))
    EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
  else
    EXPECT_NEAR(got, want, 1e-9) << what;
}

TEST(MapTools, RegionStatisticsAndTheLimitsARegionAsksFor) {
  const maps_data data = two_cycles();
  const maps_data diff = cycle_difference(data, 2, 1);
  const display_units f_in, c_mm{temperature_unit::celsius, distance_unit::millimetres};
  const struct {
    const char* what;
    const maps_data& data;
    int cycle;
    map_kind kind;
    cell_region region;
    display_units units;
    bool differences;
    region_stats want;
  } cases[] = {
      {"all six, one skipped",
       data,
       1,
       map_kind::thermal,
       region_between(120, 150, 100, 140),
       f_in,
       false,
       {5, 60, 100, 80, std::sqrt(1000.0 / 4)}},
      {"the reading off the map is left out",
       data,
       1,
       map_kind::thermal,
       {80, 120, 140, 150},
       f_in,
       false,
       {5, 60, 100, 80, std::sqrt(1000.0 / 4)}},
      {"one cell has no spread",
       data,
       1,
       map_kind::thermal,
       {110, 110, 140, 140},
       f_in,
       false,
       {1, 80, 80, 80, none}},
      {"only the skipped cell",
       data,
       1,
       map_kind::thermal,
       {110, 110, 150, 150},
       f_in,
       false,
       {0, none, none, none, none}},
      {"off the cells",
       data,
       1,
       map_kind::sonic,
       {200, 210, 140, 150},
       f_in,
       false,
       {0, none, none, none, none}},
      {"in °C",
       data,
       1,
       map_kind::thermal,
       {100, 100, 140, 140},
       c_mm,
       false,
       {1, 190.0 / 9, 190.0 / 9, 190.0 / 9, none}},
      {"in millimetres",
       data,
       1,
       map_kind::sonic,
       {100, 110, 140, 140},
       c_mm,
       false,
       {2, 254, 508, 381, 254 / std::sqrt(2.0)}},
      {"a difference in °C has no offset",
       diff,
       1,
       map_kind::thermal,
       {100, 120, 140, 150},
       c_mm,
       true,
       {4, 5.0 / 9, 5.0 / 9, 5.0 / 9, 0}},
  };
  for (const auto& c : cases) {
    const region_stats s = stats_in(c.data, c.cycle, c.kind, c.region, c.units, c.differences);
    EXPECT_EQ(s.count, c.want.count) << c.what;
    expect_same(s.min, c.want.min, std::string(c.what) + " min");
    expect_same(s.max, c.want.max, std::string(c.what) + " max");
    expect_same(s.mean, c.want.mean, std::string(c.what) + " mean");
    expect_same(s.sd, c.want.sd, std::string(c.what) + " sd");
  }

  const auto where = region_extent(cell_geometry(data, 1), {100, 110, 140, 140});
  ASSERT_TRUE(where);
  EXPECT_EQ(where->first, (extent{95, 115}));
  EXPECT_EQ(where->second, (extent{135, 145}));
  EXPECT_FALSE(region_extent(cell_geometry(data, 1), {200, 210, 140, 150}));

  // The scroll bars' ranges: X min 100-140, X max 180-255, Z min 120-160, Z max 170-200.
  const struct {
    cell_region region;
    region_limits want;
  } limits[] = {
      {{120, 200, 150, 180}, {120, 200, 150, 180, false, ""}},
      {{90, 300, 100, 250}, {100, 255, 120, 200, true, ""}},
      {{105, 200, 150, 260}, {105, 200, 150, 200, true, ""}},
      // Never widened: X 105-130 would become X 105-180.
      {{105, 130, 150, 180},
       {105, 180, 150, 180, true, "X Max cannot be below 180"}},
      {{150, 160, 130, 140},
       {140, 180, 130, 170, true,
        "X Min cannot be above 140; X Max cannot be below 180; Z Max cannot be below 170"}},
  };
  for (const auto& l : limits) EXPECT_EQ(sweep_limits_for(l.region), l.want) << l.region.xmin;
}

TEST(MapTools, ProfilesDifferencesPaletteAndNeighbours) {
  const maps_data data = two_cycles();
  const maps_geometry g = cell_geometry(data, 1);
  const auto values = [](const std::vector<profile_step>& steps) {
    std::vector<std::pair<int, double>> v;
    for (const auto& s : steps) v.emplace_back(s.at, s.value.value_or(none));
    return v;
  };
  const auto row = values(row_profile(g, map_kind::thermal, 140));
  EXPECT_EQ(row, (std::vector<std::pair<int, double>>{{100, 70}, {110, 80}, {120, 90}}));
  const auto column = column_profile(g, map_kind::thermal, 110);
  ASSERT_EQ(column.size(), 2u);
  EXPECT_EQ(column[0].at, 140);
  EXPECT_EQ(column[0].along, (extent{135, 145}));
  EXPECT_FALSE(column[1].value) << "the skipped reading is a gap";
  EXPECT_EQ(values(row_profile(g, map_kind::sonic, 150)),
            (std::vector<std::pair<int, double>>{{100, 40}, {110, 50}, {120, 60}}));
  EXPECT_TRUE(row_profile(g, map_kind::sonic, 160).empty());

  // Cycle 1 minus cycle 2: the cell cycle 2 never reached stays, empty.
  const maps_data back = cycle_difference(data, 1, 2);
  const map_cell* lost = back.cells(1).find(120, 150);
  ASSERT_NE(lost, nullptr);
  EXPECT_FALSE(lost->temperature_f);
  EXPECT_FALSE(lost->distance_in);
  EXPECT_DOUBLE_EQ(*back.cells(1).find(100, 140)->temperature_f, -1.0);
  EXPECT_DOUBLE_EQ(*back.cells(1).find(100, 140)->distance_in, 0.0);
  EXPECT_EQ(cycle_difference(data, 2, 1).cells(1).size(), 5u);
  EXPECT_EQ(cycle_difference(data, 1, 3).cells(1).size(), 7u) << "no cycle 3: all empty";

  EXPECT_EQ(symmetric_range(value_range{-2, 5}), (value_range{-5, 5}));
  EXPECT_EQ(symmetric_range(value_range{0, 0}), (value_range{-0.5, 0.5}));
  EXPECT_EQ(symmetric_range(std::nullopt), (value_range{-0.5, 0.5}));
  const auto& colours = palette(palette_kind::diverging);
  const value_range r{-5, 5};
  EXPECT_EQ(colours[palette_index(0, r)], qRgb(247, 247, 247)) << "zero is white";
  EXPECT_GT(qBlue(colours[palette_index(-5, r)]), qRed(colours[palette_index(-5, r)]));
  EXPECT_GT(qRed(colours[palette_index(5, r)]), qBlue(colours[palette_index(5, r)]));

  using cell = std::optional<std::pair<int, int>>;
  const struct {
    int x, z, dx, dz;
    cell want;
  } steps[] = {
      {100, 140, 1, 0, std::pair{110, 140}},  {100, 140, -1, 0, std::nullopt},
      {100, 140, 0, 1, std::pair{100, 150}},  {100, 140, 0, -1, std::nullopt},
      {120, 150, 0, -1, std::pair{120, 140}}, {120, 150, 1, 0, std::nullopt},
      {105, 140, 1, 0, std::nullopt},
  };
  for (const auto& s : steps)
    EXPECT_EQ(neighbour_cell(g, s.x, s.z, s.dx, s.dz), s.want) << s.x << "," << s.z;
}

}  // namespace
}  // namespace brevane
