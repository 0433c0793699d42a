#include "scan/sweep_count.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(SweepCount, RasterAndReportsOfACycle) {
  const struct {
    const char* name;
    int xmin, xmax, zmin, zmax, step;
    sweep_boxes boxes;
    std::vector<int> rising_x_head, falling_x_head, upward_z;
    exchange_tally cycle;
  } cases[] = {
      // 14 row starts and 224 points; L: 3 per row start, 2 per point, and L0.
      {"start values",
       100,
       255,
       140,
       200,
       10,
       {},
       {100, 110},
       {255, 245},
       {140, 150, 160, 170, 180, 190, 200},
       {224, 14, 238, 238, 14 * 3 + 224 * 2 + 1}},
      {"step 20",
       100,
       255,
       140,
       200,
       20,
       {},
       {100, 120},
       {255, 235},
       {140, 160, 180, 200},
       {64, 8, 72, 72, 8 * 3 + 64 * 2 + 1}},
      {"both readings off: moves and L4 only",
       100,
       140,
       140,
       160,
       20,
       {true, true, false, false},
       {100, 120},
       {140, 120},
       {140, 160},
       {12, 4, 0, 0, 4 + 1}},
      {"X Off and Z Off: no moves",
       100,
       140,
       140,
       160,
       20,
       {false, false, true, true},
       {100, 120},
       {140, 120},
       {140, 160},
       {0, 0, 16, 16, 4 * 3 + 12 * 2 + 1}},
      {"sonic off, step 5",
       110,
       200,
       130,
       180,
       5,
       {true, false, false, false},
       {110, 115},
       {200, 195},
       {130, 135, 140, 145, 150, 155, 160, 165, 170, 175, 180},
       {22 * 19, 22, 22 + 22 * 19, 0, 22 * 2 + 22 * 19 + 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const sweep_raster r = raster_of(c.xmin, c.xmax, c.zmin, c.zmax, c.step);
    EXPECT_EQ(std::vector<int>(r.rising_x.begin(), r.rising_x.begin() + 2), c.rising_x_head);
    EXPECT_EQ(std::vector<int>(r.falling_x.begin(), r.falling_x.begin() + 2), c.falling_x_head);
    EXPECT_EQ(r.upward_z, c.upward_z);
    EXPECT_EQ(r.downward_z, std::vector<int>(c.upward_z.rbegin(), c.upward_z.rend()));
    EXPECT_EQ(r.rising_x.size(), r.falling_x.size());
    EXPECT_EQ(cycle_exchanges(r, c.boxes), c.cycle);
  }
  EXPECT_EQ(baseline_exchanges(), (exchange_tally{.t = 10}));
}

// Walking a sweep's places in its own order, what is done and what is said to be left always
// add up to the whole cycle.
TEST(SweepCount, DoneAndLeftAddUpAtEveryPlace) {
  for (const sweep_boxes boxes : {sweep_boxes{}, sweep_boxes{true, false, false, true},
                                  sweep_boxes{true, true, true, true}}) {
    const int rows = 3, points = 4;
    const long whole =
        baseline_exchanges().answered() + cycle_exchanges(rows, points, boxes).answered();
    long done = 0;
    sweep_place at;
    const auto check = [&] {
      EXPECT_EQ(done + exchanges_left_in_cycle(at, rows, points, boxes), whole)
          << "row " << at.row << " point " << at.point;
    };
    for (int k = 1; k <= 10; ++k) {
      at.baseline_readings = k;
      done += 1;
      check();
    }
    at.cycle = 1;
    for (pass_direction pass : {pass_direction::upward, pass_direction::downward}) {
      at.pass = pass;
      at.rows = rows;
      for (int row = 1; row <= rows; ++row) {
        at.row = row;
        at.point = at.points_in_run = 0;
        done += row_start_exchanges(boxes).answered();
        check();
        at.points_in_run = points;
        for (int p = 1; p <= points; ++p) {
          at.point = p;
          done += point_exchanges(boxes).answered();
          check();
        }
      }
    }
    EXPECT_EQ(exchanges_left_in_cycle(at, rows, points, boxes), 0);
  }
}

TEST(SweepCount, DurationsReadAsAnOperatorSaysThem) {
  const std::pair<double, const char*> cases[] = {
      {0, "0.0 s"},       {4.24, "4.2 s"},     {37.4, "37 s"},
      {72, "1 min 12 s"}, {7500, "2 h 5 min"}, {-1, "?"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(duration_text(seconds), text);
}

}  // namespace
}  // namespace brevane
