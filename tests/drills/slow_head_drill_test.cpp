// A slow head: while the program waits for each answer the window keeps running, and Stop
// ends the sweep at its next stop check.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "drills/drill_rig.h"

namespace brevane {
namespace {

using testing::drill_rig;

TEST(DrillSlowHead, WindowStaysResponsiveAndStopEndsTheSweepAtTheNextStopCheck) {
  device::simulated_head_options slow;
  slow.latency_ms = 200;
  drill_rig r(3000, slow);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = true;

  // A window timer, as a repaint or a click would be handled. Stop is ticked in the middle of
  // the baseline; the sweep's next stop check ends the first row start.
  std::vector<qint64> ticks;
  QElapsedTimer clock;
  int commands_at_stop = -1;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ticks.push_back(clock.elapsed());
    if (commands_at_stop < 0 && r.head.commands_received() >= 5) {
      commands_at_stop = r.head.commands_received();
      r.window.checks[check_box::stop] = true;
    }
  });
  clock.start();
  ticker.start(20);

  sweep_procedure::outcome outcome = sweep_procedure::outcome::completed;
  EXPECT_TRUE(r.sweep(&outcome, 8000));
  ticker.stop();
  EXPECT_FALSE(r.watchdog_fired);
  EXPECT_EQ(outcome, sweep_procedure::outcome::stopped);
  EXPECT_EQ(commands_at_stop, 5);
  // Ten baseline readings, then Z L S L T L of the first row; its stop check ends the sweep.
  EXPECT_EQ(r.head.commands_received(), 16);
  EXPECT_GE(r.elapsed_ms, 13 * 200) << "every command waited for took its latency";
  EXPECT_FALSE(r.inst.guard.busy());
  EXPECT_EQ(r.window.progress, "");

  ASSERT_GE(ticks.size(), 2u);
  qint64 longest_gap = 0;
  for (std::size_t k = 1; k < ticks.size(); ++k)
    longest_gap = std::max(longest_gap, ticks[k] - ticks[k - 1]);
  EXPECT_LT(longest_gap, 150) << "a blocked wait would hold the timer for a whole latency";
  EXPECT_GE(static_cast<qint64>(ticks.size()), r.elapsed_ms / 20 / 2);

  // Nothing more goes to the head afterwards.
  testing::run_events_until([] { return false; }, 300);
  EXPECT_EQ(r.head.commands_received(), 16);
}

TEST(DrillSlowHead, SmallSweepCompletesWhileTheWindowKeepsWorking) {
  device::simulated_head_options slow;
  slow.latency_ms = 200;
  drill_rig r(3000, slow);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  // One row a pass and three points a run keep the drill to a few seconds.
  r.window.values[scroll_bar::xmin] = 140;
  r.window.values[scroll_bar::xmax] = 180;
  r.window.values[scroll_bar::zmin] = 160;
  r.window.values[scroll_bar::zmax] = 170;
  r.inst.state.step_d = 20;

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(50);
  sweep_procedure::outcome outcome = sweep_procedure::outcome::stopped;
  EXPECT_TRUE(r.sweep(&outcome, 20000));
  ticker.stop();
  EXPECT_EQ(outcome, sweep_procedure::outcome::completed);
  EXPECT_EQ(r.inst.sweep.points_swept(), 6);
  EXPECT_EQ(r.inst.state.cnt, 2);
  EXPECT_GE(ticks, r.elapsed_ms / 50 / 2) << "the timer kept firing through every wait";
}

}  // namespace
}  // namespace brevane
