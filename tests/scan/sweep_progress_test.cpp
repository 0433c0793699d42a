#include "scan/sweep_progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "support/rig.h"

namespace brevane {
namespace {

// Uniform in [-1, 1], the same on every run.
struct fixed_noise {
  std::uint32_t state = 12345;
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / static_cast<double>(1u << 23) - 1.0;
  }
};

TEST(ExchangeTimeEstimator, FollowsTheTypicalExchangeNotItsOutliers) {
  const struct {
    const char* name;
    int exchanges;
    int per_sample;  // exchanges between two samples, as a step of the sweep makes them
    std::function<double(int, fixed_noise&)> duration;  // of exchange i (1-based)
    double expected;
    double tolerance;  // relative
  } cases[] = {
      {"steady", 200, 1, [](int, fixed_noise&) { return 0.005; }, 0.005, 1e-9},
      {"a slow first exchange", 200, 1, [](int i, fixed_noise&) { return i == 1 ? 0.5 : 0.005; },
       0.005, 1e-9},
      {"20 % jitter", 1000, 3, [](int, fixed_noise& n) { return 0.005 * (1 + 0.2 * n.next()); },
       0.005, 0.03},
      {"a two-second stall", 400, 3, [](int i, fixed_noise&) { return i == 150 ? 2.0 : 0.002; },
       0.002, 1e-9},
      {"a head that slows down", 1200, 3,
       [](int i, fixed_noise&) { return i <= 600 ? 0.005 : 0.010; }, 0.010, 1e-9},
      {"a few exchanges: their mean", 12, 3, [](int, fixed_noise&) { return 0.004; }, 0.004, 1e-9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    exchange_time_estimator e;
    fixed_noise noise;
    double t = 0;
    e.add(t, 0);
    EXPECT_FALSE(e.seconds_per_exchange()) << "the origin alone says nothing";
    for (int i = 1; i <= c.exchanges; ++i) {
      t += c.duration(i, noise);
      if (i % c.per_sample == 0) e.add(t, i);
    }
    ASSERT_TRUE(e.seconds_per_exchange());
    EXPECT_NEAR(*e.seconds_per_exchange(), c.expected, c.expected * c.tolerance + 1e-12);
  }
}

struct fake_time {
  double now = 100.0;
  sweep_progress progress{[this] { return now; }};
};

constexpr int rows = 2, points = 3;
// Per cycle: 4 row starts of 3 answered exchanges and 12 points of 3: 48; the baseline 10.
constexpr sweep_boxes all_on{};

// Feeds the baseline and the first cycle's upward pass, each exchange taking `each` seconds.
void upward_pass(fake_time& f, double each, int cycle = 1) {
  if (cycle == 1) {
    for (int k = 1; k <= 10; ++k) {
      f.now += each;
      f.progress.add({.t = 1}, {.baseline_readings = k});
    }
  }
  for (int row = 1; row <= rows; ++row) {
    sweep_place at{cycle, pass_direction::upward, 10, row, rows, 0, 0};
    f.now += 3 * each;
    f.progress.add(row_start_exchanges(all_on), at);
    for (int p = 1; p <= points; ++p) {
      at.point = p;
      at.points_in_run = points;
      f.now += 3 * each;
      f.progress.add(point_exchanges(all_on), at);
    }
  }
}

TEST(SweepProgress, PercentAndTimeLeftOfABoundedSweepLeavePausesOut) {
  fake_time f;
  f.progress.begin(2);
  upward_pass(f, 0.005);
  f.progress.hold(true);
  f.now += 30;  // a pause: not sweep time
  f.progress.hold(false);
  const sweep_status s = f.progress.status(rows, points, all_on, false);
  EXPECT_EQ(s.cycle, 1);
  EXPECT_EQ(s.cycles, 2);
  EXPECT_EQ(s.exchanges_done, 10 + 24);
  EXPECT_EQ(s.exchanges_left, 24 + 48);
  EXPECT_NEAR(s.percent, 100.0 * 34 / 106, 1e-9);
  ASSERT_TRUE(s.seconds_left);
  EXPECT_NEAR(*s.seconds_left, 72 * 0.005, 1e-9);
  EXPECT_NEAR(s.seconds, 34 * 0.005, 1e-9);
  EXPECT_EQ(progress_line(s), "progress cycle=1/2 done=32.1% left=1s");
  EXPECT_EQ(status_text(s), "Sweep cycle 1 of 2: 32.1% done, about 0.4 s left");

  f.progress.finish(sweep_end::completed);
  const sweep_status end = f.progress.status(rows, points, all_on, false);
  EXPECT_EQ(end.percent, 100.0);
  EXPECT_EQ(progress_line(end),
            "progress cycle=1/2 done=100.0% left=0s end=completed elapsed=0.2s");
  EXPECT_EQ(final_text(end), "Sweep completed: 2 cycles in 0.2 s");
}

TEST(SweepProgress, WithRepeatTickedItTellsTheCycleInProgress) {
  fake_time f;
  f.progress.begin(std::nullopt);
  upward_pass(f, 0.01);
  // Cycle 2 starts: the baseline is not taken again.
  upward_pass(f, 0.01, 2);
  const sweep_status s = f.progress.status(rows, points, all_on, true);
  EXPECT_FALSE(s.cycles);
  EXPECT_EQ(s.cycle, 2);
  EXPECT_EQ(s.exchanges_left, 24);
  EXPECT_NEAR(s.percent, 50.0, 1e-9);
  EXPECT_EQ(status_text(s), "Sweep cycle 2: 50.0% of this cycle, about 0.2 s left in it");
  // Unticking "Repeat" makes the cycle in progress the last.
  EXPECT_EQ(f.progress.status(rows, points, all_on, false).cycles, 2);
}

TEST(SweepProgress, ShownFromTheFirstRowOnAtMostOnceASecond) {
  fake_time f;
  f.progress.begin(1);
  std::vector<bool> due;
  for (int k = 1; k <= 10; ++k) due.push_back(f.progress.add({.t = 1}, {.baseline_readings = k}));
  EXPECT_EQ(due, std::vector<bool>(10, false)) << "not while the baseline is taken";
  sweep_place at{1, pass_direction::upward, 10, 1, rows, 0, 0};
  EXPECT_TRUE(f.progress.add(row_start_exchanges(all_on), at));
  at.points_in_run = points;
  at.point = 1;
  f.now += 0.6;
  EXPECT_FALSE(f.progress.add(point_exchanges(all_on), at));
  at.point = 2;
  f.now += 0.5;
  EXPECT_TRUE(f.progress.add(point_exchanges(all_on), at));
  // 19 of 58 exchanges: 13 before the first point, 3 for each point.
  EXPECT_EQ(status_text(f.progress.status(rows, points, all_on, false)),
            "Sweep cycle 1 of 1: 32.8% done, about 2.4 s left");
}

}  // namespace
}  // namespace brevane

namespace brevane {
namespace {

// The sweep counts every answered report it sends, and says so from its first row start.
TEST(SweepProgress, TheSweepCountsWhatItSends) {
  for (const bool sonic_off : {false, true}) {
    testing::rig r;
    ASSERT_TRUE(r.start());
    testing::use_small_raster(r);
    r.window.checks[check_box::sonic_off] = sonic_off;
    std::vector<sweep_status> shown;
    r->sweep.on_progress = [&](const sweep_status& s) { shown.push_back(s); };
    ASSERT_EQ(r->sweep.sweep(2), sweep_procedure::outcome::completed);
    long answered = 0;
    for (const std::string& c : r.head.commands())
      if (c[0] != 'L') ++answered;
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.front().pass, pass_direction::upward);
    EXPECT_EQ(shown.front().row, 1);
    EXPECT_EQ(shown.front().point, 0);
    EXPECT_EQ(shown.back().ended, sweep_end::completed);
    EXPECT_EQ(shown.back().exchanges_done, answered);
    EXPECT_EQ(shown.back().percent, 100.0);
    EXPECT_EQ(r->sweep.status().exchanges_done, answered);
  }
}

}  // namespace
}  // namespace brevane

namespace brevane {
namespace {

TEST(SweepProgress, TheEndNamesTheReadingsAndTheRecord) {
  const std::string record = "/data/scans/scan 2026-12-07 09-51-55.jsonl";
  struct row {
    std::string how;
    sweep_record_note note;
    std::string said;
  };
  const row rows[] = {
      {"Sweep completed",
       {record, 248, 0, false},
       "Sweep completed: 248 readings; record " + record},
      {"Sweep cancelled (Escape) while waiting for the distance reading.",
       {record, 1, 0, false},
       "Sweep cancelled (Escape) while waiting for the distance reading: 1 reading; record " +
           record},
      {"Sweep stopped by the Stop box",
       {record, 200, 48, false},
       "Sweep stopped by the Stop box: 248 readings; record " + record +
           " (incomplete: 48 not kept)"},
      {"Sweep completed",
       {record, 0, 248, true},
       "Sweep completed: 248 readings; the scan record " + record + " is gone"},
      {"Sweep completed",
       {"", 0, 0, false},
       "Sweep completed: 0 readings; no scan record was written"},
  };
  for (const row& r : rows) EXPECT_EQ(sweep_end_text(r.how, r.note), r.said);
}

}  // namespace
}  // namespace brevane
