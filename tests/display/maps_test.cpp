// The Maps window's painting without widgets: cells that tile, palettes, the colour bar's
// numbers, the readout under the cursor and the coalescing of repaints.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "display/map_tools.h"
#include "display/maps_data.h"
#include "display/maps_render.h"
#include "display/maps_scale.h"
#include "display/record_maps.h"
#include "logging/scan_record.h"
#include "support/memory_panel.h"
#include "support/readings.h"

namespace brevane {
namespace {

// Rows as the sweep visits them: X runs alternate direction, so a cycle visits 100, 110, ...
// on one row and 255, 245, ... on the next; a second cycle crosses each row the other way.
maps_data swept(int step) {
  maps_data data;
  data.set_raster({100, 255, 140, 200, step, step});
  bool increasing = true;
  for (int cycle = 1; cycle <= 2; ++cycle)
    for (int z = 140; z <= 200; z += step, increasing = !increasing)
      for (int i = 0; 100 + i * step <= 255; ++i)
        data.add(
            point_reading(cycle, increasing ? 100 + i * step : 255 - i * step, z, 70.0 + i, 100.0));
  return data;
}

TEST(MapsCells, EveryRowTilesWithoutGapOrOverlapAtAnyStep) {
  for (int step : {1, 3, 20}) {
    SCOPED_TRACE("step " + std::to_string(step));
    const maps_data data = swept(step);
    for (std::optional<int> cycle : {std::optional<int>{}, std::optional<int>{1}}) {
      const maps_geometry g = cell_geometry(data, cycle);
      ASSERT_FALSE(g.rows.empty());
      bool column_255 = false;
      for (std::size_t r = 0; r < g.rows.size(); ++r) {
        const map_row& row = g.rows[r];
        if (r > 0) {
          EXPECT_EQ(g.rows[r - 1].z.high, row.z.low);
        }
        EXPECT_LE(row.z.high - row.z.low, step);
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
          const auto& [x, cell] = row.cells[c];
          EXPECT_LE(x.low, cell->x);
          EXPECT_GT(x.high, cell->x);
          EXPECT_LE(x.high - x.low, step);
          EXPECT_GE(x.low, g.x.low);
          EXPECT_LE(x.high, g.x.high);
          if (c > 0) {
            EXPECT_EQ(row.cells[c - 1].first.high, x.low) << "at X " << cell->x;
          }
          column_255 = column_255 || cell->x == 255;
        }
      }
      EXPECT_TRUE(column_255);
    }
  }
}

TEST(MapsCells, PaintedCellsLeaveNoUnvisitedPixelInsideARow) {
  const maps_data data = swept(3);
  const QImage picture = render_maps(data, std::nullopt, QSize(1200, 600), {});
  const QRgb unvisited = qRgb(222, 229, 238);
  const maps_geometry g = cell_geometry(data, std::nullopt);
  for (const map_row& row : g.rows) {
    const double z = (row.z.low + row.z.high) / 2;
    const QPoint from =
        picture_point(data, {}, picture.size(), map_kind::thermal, row.cells.front().first.low, z);
    const QPoint to =
        picture_point(data, {}, picture.size(), map_kind::thermal, row.cells.back().first.high, z);
    for (int x = from.x(); x < to.x(); ++x)
      ASSERT_NE(picture.pixel(x, from.y()), unvisited) << "pixel " << x << " of Z " << z;
  }
}

TEST(MapsCells, AReadingOutsideTheLimitsIsNoCellAndBaselinesAreNone) {
  maps_data data;
  data.set_raster({100, 140, 140, 160, 20, 20});
  reading_event baseline = point_reading(0, 100, 140, 70, std::nullopt);
  baseline.kind = reading_kind::baseline;
  data.add(baseline);
  EXPECT_TRUE(data.empty());
  data.add(point_reading(1, 0, 140, 70, 90));  // a row start where the head stood before the run
  data.add(point_reading(1, 100, 140, 71, 90));
  const maps_geometry g = cell_geometry(data, 1);
  ASSERT_EQ(g.rows.size(), 1u);
  ASSERT_EQ(g.rows[0].cells.size(), 1u);
  EXPECT_EQ(g.rows[0].cells[0].first, (extent{90, 110}));
}

TEST(MapsCells, ANewCycleFillsOverThePreviousCellByCell) {
  maps_data data;
  data.add(point_reading(1, 100, 140, 70, 90));
  data.add(point_reading(1, 110, 140, 71, 90));
  data.add(point_reading(2, 100, 140, 80, std::nullopt));
  EXPECT_EQ(data.cycles(), 2);
  EXPECT_EQ(data.cells(std::nullopt).size(), 2u);
  EXPECT_EQ(data.cells(std::nullopt).find(100, 140)->temperature_f, 80.0);
  EXPECT_EQ(data.cells(std::nullopt).find(110, 140)->temperature_f, 71.0);
  EXPECT_EQ(data.cells(1).find(100, 140)->temperature_f, 70.0);
  EXPECT_EQ(data.cells(2).size(), 1u);
  EXPECT_TRUE(data.cells(3).empty());
}

// A live sweep keeps the cycle in progress; an older cycle, and a comparison with one, comes
// back from the sweep's record as the sweep showed it, and the two asked for last are kept.
TEST(MapsCells, ALiveSweepReadsOlderCyclesBackFromItsRecord) {
  QTemporaryDir folder;
  testing::memory_panel window;
  scan_record_writer record(window, folder.path(), head_description{"simulated", "", {}, {}}, 500,
                            "1.00", {});
  maps_data live;
  maps_data whole;  // keeps every cycle, as before
  int reads = 0;
  live.read_older_cycles([&, read = record_cycle_reader([&] { return record.path(); })](int c) {
    ++reads;
    return read(c);
  });
  const raster_in_use raster{100, 160, 140, 160, 20, 20};
  record.sweep_started(raster, point_reading(1, 0, 0, 0, 0).time);
  live.set_raster(raster);
  whole.set_raster(raster);
  for (int cycle = 1; cycle <= 5; ++cycle)
    for (int x = 100; x <= 160; x += 20)
      for (int z = 140; z <= 160; z += 20) {
        if (cycle == 3 && x == 160) continue;  // a cycle cut short keeps what it had
        reading_event r = point_reading(cycle, x, z, 70.0 + cycle * 3 + x / 7.0,
                                        cycle % 2 ? std::optional<double>{} : 12.5 + z);
        r.time = r.time.addMSecs(cycle * 1000 + x + z);
        record.reading_taken(r);
        live.add(r);
        whole.add(r);
      }
  const auto same = [](const map_layer& a, const map_layer& b) {
    if (a.size() != b.size()) return false;
    for (const map_layer::row& row : b.rows())
      for (const map_cell& c : row.cells) {
        const map_cell* other = a.find(c.x, c.z);
        if (!other || other->temperature_f != c.temperature_f ||
            other->distance_in != c.distance_in || other->time != c.time)
          return false;
      }
    return true;
  };
  // (cycle asked for, records read so far)
  const std::pair<std::optional<int>, int> asks[] = {
      {5, 0}, {std::nullopt, 0}, {3, 1}, {1, 2}, {3, 2}, {1, 2}, {2, 3}, {3, 4}, {6, 4}};
  for (const auto& [cycle, read_so_far] : asks) {
    SCOPED_TRACE("cycle " + std::to_string(cycle.value_or(0)));
    EXPECT_TRUE(same(live.cells(cycle), whole.cells(cycle)));
    EXPECT_EQ(reads, read_so_far);
  }
  EXPECT_EQ(live.cells(3).size(), 6u);
  for (const int cycle : {1, 2, 5, 6})
    EXPECT_EQ(live.cycle_start(cycle), whole.cycle_start(cycle)) << "cycle " << cycle;
  for (const std::optional<int> chosen : {std::optional<int>{4}, std::optional<int>{}}) {
    const maps_data a = cycle_difference(live, chosen, 2);
    const maps_data b = cycle_difference(whole, chosen, 2);
    EXPECT_TRUE(same(a.cells(std::nullopt), b.cells(std::nullopt)));
  }
}

TEST(MapsScale, PalettesRangesAndColourBarNumbers) {
  EXPECT_EQ(palette(palette_kind::colour)[0], qRgb(0x44, 0x01, 0x54));  // viridis ends
  EXPECT_EQ(palette(palette_kind::colour)[255], qRgb(0xfd, 0xe7, 0x25));
  EXPECT_EQ(palette(palette_kind::grey)[0], qRgb(0, 0, 0));
  EXPECT_EQ(palette(palette_kind::grey)[255], qRgb(255, 255, 255));

  const value_range fixed = choose_range({false, 100, 60}, value_range{70, 95});
  EXPECT_EQ(fixed, (value_range{60, 100}));
  EXPECT_EQ(choose_range({true, 0, 1}, value_range{70, 95}), (value_range{70, 95}));
  EXPECT_EQ(choose_range({true, 0, 1}, value_range{39, 39}), (value_range{38.5, 39.5}));
  EXPECT_EQ(palette_index(60, fixed), 0);
  EXPECT_EQ(palette_index(100, fixed), 255);
  EXPECT_EQ(palette_index(80, fixed), 128);
  EXPECT_EQ(palette_index(-5, fixed), 0);
  EXPECT_EQ(palette_index(500, fixed), 255);

  const struct {
    double low, high;
    std::vector<QString> labels;
  } bars[] = {
      {60, 100, {"60", "70", "80", "90", "100"}},
      {0, 1.5, {"0.0", "0.5", "1.0", "1.5"}},
      {38.5, 39.5, {"38.6", "38.8", "39.0", "39.2", "39.4"}},
      {-12, 13, {"-10", "-5", "0", "5", "10"}},
  };
  for (const auto& bar : bars) {
    const auto ticks = nice_ticks(bar.low, bar.high);
    std::vector<QString> labels;
    for (double t : ticks) labels.push_back(tick_label(t, ticks[1] - ticks[0]));
    EXPECT_EQ(labels, bar.labels) << bar.low << ".." << bar.high;
  }
}

TEST(MapsScale, TicksEndWhereTheSpacingIsBelowTheValuesPrecision) {
  // Ranges an absurd record gives: the spacing a tick needs is finer than the values can hold.
  const double big = 4503599627370496.0;  // 2^52: neighbours are 1 apart
  const struct {
    double low, high;
  } ranges[] = {{big - 0.5, big}, {1e19, 10000000000000002048.0}, {-1e300, 1e300}, {0, 1e-300}};
  for (const auto& r : ranges) {
    const auto ticks = nice_ticks(r.low, r.high);
    EXPECT_LE(ticks.size(), 13u) << r.low << ".." << r.high;
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end()));
    EXPECT_EQ(std::adjacent_find(ticks.begin(), ticks.end()), ticks.end());
  }
}

TEST(MapsReadout, ThePixelOfACellReadsThatCell) {
  maps_data data;
  data.set_raster({100, 255, 140, 200, 10, 10});
  data.add(point_reading(1, 170, 170, 95.088, 39.0));
  data.add(point_reading(1, 180, 170, 70.2, std::nullopt));
  const QSize size(1200, 600);
  const QPoint at = picture_point(data, 1, size, map_kind::sonic, 171, 172);
  const auto hit = cell_at(data, 1, size, at);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->map, map_kind::sonic);
  EXPECT_EQ(readout_text(hit->cell),
            "X 170  Z 170   95.09 °F   39.00 in   read 2026-12-06 05:04:10");
  const auto other =
      cell_at(data, 1, size, picture_point(data, 1, size, map_kind::thermal, 181, 170));
  ASSERT_TRUE(other);
  EXPECT_EQ(readout_text(other->cell), "X 180  Z 170   70.20 °F   — in   read 2026-12-06 05:04:10");
  EXPECT_FALSE(cell_at(data, 1, size, {2, 2}));
  EXPECT_FALSE(cell_at(data, 1, size, picture_point(data, 1, size, map_kind::thermal, 120, 190)));
}

TEST(MapsListener, ABurstOfReadingsAsksForOneRepaint) {
  maps_data data;
  maps_listener listener(data);
  int asked = 0;
  listener.on_change = [&] { ++asked; };
  listener.sweep_started({100, 255, 140, 200, 10, 10}, {});
  for (int x = 100; x <= 140; x += 10) listener.reading_taken(point_reading(1, x, 140, 70, 90));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(listener.take_change());
  EXPECT_FALSE(listener.take_change());
  reading_event baseline = point_reading(0, 100, 140, 70, std::nullopt);
  baseline.kind = reading_kind::baseline;
  listener.reading_taken(baseline);
  EXPECT_EQ(asked, 1) << "a baseline reading changes no cell";
  listener.reading_taken(point_reading(1, 150, 140, 70, 90));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(data.cells(1).size(), 6u);
  listener.sweep_started({100, 255, 140, 200, 10, 10}, {});
  EXPECT_TRUE(data.empty()) << "a new sweep numbers its cycles from 1 again";
}

}  // namespace
}  // namespace brevane
