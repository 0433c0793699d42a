#include <gtest/gtest.h>

#include <QTimer>

#include "common/numbers.h"
#include "sensors/sonic_reading.h"
#include "sensors/thermal_reading.h"
#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

TEST(ThermalReading, Raw440ShowsTheTemperatureAndRoundsTnow) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.temperatures = {440};
  r->thermal.therm();
  EXPECT_EQ(r.window.text(text_box::temperature_text), "73.92f");
  EXPECT_EQ(r->state.last_temperature, 74);
  // First reading after start-up is both extremes.
  EXPECT_EQ(r.window.text(text_box::min_temperature_text), "73.92f");
  EXPECT_EQ(r.window.text(text_box::max_temperature_text), "73.92f");
}

TEST(ThermalReading, HighByteOf128OrMoreReadsAsZero) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.temperatures = {200 * 256};
  r->thermal.therm();
  EXPECT_EQ(r.window.text(text_box::temperature_text), ".f");
  EXPECT_EQ(r->state.last_temperature, 0);
  EXPECT_EQ(r->state.mint, 0.0);
}

TEST(ThermalReading, ExtremesMoveOnlyOnNewLowsAndHighs) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.repeat_last = false;
  r.head.temperatures = {440, 500, 440, 400};
  for (int k = 0; k < 4; ++k) r->thermal.therm();
  EXPECT_EQ(r.window.text(text_box::max_temperature_text), "84.f");
  EXPECT_EQ(r.window.text(text_box::min_temperature_text), "67.2f");
  r.window.set_text(text_box::min_temperature_text, "kept");
  r.head.temperatures = {400};  // equal to the minimum: no rewrite
  r->thermal.therm();
  EXPECT_EQ(r.window.text(text_box::min_temperature_text), "kept");
}

TEST(ThermalReading, MapValueFollowsTheBaselineRule) {
  EXPECT_DOUBLE_EQ(baseline_value(65.0, 70.0, 2), 60.0);
  EXPECT_DOUBLE_EQ(baseline_value(70.2, 70.0, 2), 0.0);
  EXPECT_DOUBLE_EQ(baseline_value(75.3, 70.0, 2), 140.0);
  EXPECT_DOUBLE_EQ(baseline_value(33.0, 0.0, 2), 0.0);
  EXPECT_DOUBLE_EQ(baseline_value(0.0, 0.0, 2), 0.0);  // no remainder: 0
  EXPECT_DOUBLE_EQ(baseline_value(61.5, 70.0, 1), 61.5);
}

TEST(ThermalReading, StoresTheMapCellOnlyInsideTheMap) {
  rig r;
  ASSERT_TRUE(r.start());
  r->state.avgt = 80.0;
  r.head.temperatures = {417};  // 70.056 F: below the baseline
  r->state.posx = 100;
  r->state.posz = 140;
  r->thermal.therm();
  EXPECT_EQ(r->state.thermal_map.at(0, 0), -19);  // 80 - 10 x (80 - 70.056)
  r->state.thermal_map.clear();
  r->state.posx = 99;
  r->thermal.therm();
  EXPECT_TRUE(r->state.thermal_map.all_zero());
}

TEST(SonicReading, Raw254GivesOneHundredInchesFeetAndBars) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.distances = {254};
  r->state.posx = 110;
  r->state.posz = 150;
  r->sonic.sonic();
  EXPECT_EQ(r.window.text(text_box::distance_text), "100. Inches  \r\n8.33 feet");
  EXPECT_EQ(r->state.last_distance, 100);
  EXPECT_EQ(r->state.sonic_map.at(10, 10), 100);
  EXPECT_FLOAT_EQ(r.window.bar_tops[0], 2170.0F);
  EXPECT_FLOAT_EQ(r.window.bar_tops[1], 2740.0F);
  EXPECT_FLOAT_EQ(r.window.bar_tops[2], 1740.0F);
  EXPECT_EQ(r.window.text(text_box::min_distance_text), "8.33 feet");
  EXPECT_EQ(r.window.text(text_box::max_distance_text), "8.33 feet");
}

TEST(SonicReading, RawZeroShowsLonePoints) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.distances = {0};
  r->sonic.sonic();
  EXPECT_EQ(r.window.text(text_box::distance_text), ". Inches  \r\n. feet");
  EXPECT_EQ(r->state.dmin, 0.0);
}

TEST(SonicReading, PlotCallsForDistanceTempAndStaticRead) {
  rig r;
  ASSERT_TRUE(r.start());
  auto plots = [&] { return r->scope.column(); };
  r->sonic.sonic();
  EXPECT_EQ(plots(), 0) << "Distance with Temp Off unticked does not plot";
  r.window.checks[check_box::temp_off] = true;
  r->sonic.sonic();
  EXPECT_EQ(plots(), 1);
  r->thermal.therm();
  EXPECT_EQ(plots(), 2) << "Temp plots once";

  // Static Read: two plots a cycle with Temp Off unticked, three with it ticked.
  for (bool temp_off : {false, true}) {
    r.window.checks[check_box::temp_off] = temp_off;
    const int before = plots();
    r.window.checks[check_box::repeat] = true;
    // Untick Repeat during the second cycle's readings.
    r.head.latency_ms = 5;
    const auto writes_before = r.head.writes.size();
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if ((r.head.writes.size() - writes_before) / 2 >= 2)
        r.window.checks[check_box::repeat] = false;
    });
    watcher.start(1);
    r->sonic.static_read();
    watcher.stop();
    const int done_cycles = static_cast<int>((r.head.writes.size() - writes_before) / 2);
    EXPECT_EQ(plots() - before, done_cycles * (temp_off ? 3 : 2)) << "Temp Off " << temp_off;
    EXPECT_GE(done_cycles, 2);
  }
}

TEST(SonicReading, StaticReadWithRepeatUntickedDoesNothing) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r->sonic.static_read();
  EXPECT_TRUE(r.head.writes.empty());
}

}  // namespace
}  // namespace brevane
