#include "display/scope_trace.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

QColor scope_pixel(testing::memory_panel& w, double x, double y) {
  return w.pictures(picture::scope)
      .image()
      .pixelColor(static_cast<int>(x * 15.05 / 15.0), static_cast<int>(y * 12.609375 / 15.0));
}

TEST(ScopeTrace, TraceValuesFollowTheBaselineRule) {
  EXPECT_DOUBLE_EQ(trace_value(24, 25.0, 10), 15.0);
  EXPECT_DOUBLE_EQ(trace_value(25, 25.0, 10), 0.0);
  EXPECT_DOUBLE_EQ(trace_value(30, 25.0, 10), 250.0);
  EXPECT_DOUBLE_EQ(trace_value(25, 25.5, 10), 20.5);
  EXPECT_DOUBLE_EQ(trace_value(26, 25.5, 10), 0.0);
  EXPECT_DOUBLE_EQ(trace_value(25, 24.5, 10), 240.0);
  EXPECT_DOUBLE_EQ(trace_value(22, 0.0, 10), 0.0);
}

TEST(ScopeTrace, ZeroReadingWithoutBaselineIsStillDrawnAndLogged) {
  rig r;
  r.window.set_log_data(true);
  r->state.last_temperature = 0;
  r->state.avgt = 0.0;
  r->thermal.plot_and_log();
  EXPECT_EQ(r->scope.column(), 1);
  EXPECT_EQ(r->scope.previous_trace_value(), 0.0);
  QFile csv(r->datalog.path());
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_EQ(csv.readAll().count("\r\n"), 2);  // header and the line
}

TEST(ScopeTrace, FirstStepClearsDrawsTheGridAndTheSegmentsFromTheirZeroLines) {
  rig r;
  r->state.avgt = 25.0;
  r->state.last_temperature = 30;  // s = 250, drawn at y = 50
  r->state.last_distance = 100;    // y = 240
  r->thermal.plot_and_log();
  auto& w = r.window;
  EXPECT_EQ(scope_pixel(w, 5, 5), QColor(0, 192, 0));    // background
  EXPECT_EQ(scope_pixel(w, 20, 5), QColor(0, 200, 0));   // grid line x = 20
  EXPECT_EQ(scope_pixel(w, 5, 100), QColor(0, 200, 0));  // grid line y = 100
  // The red segment runs from (0, 300) to (1, 50): a near-vertical line at column 0.
  EXPECT_EQ(scope_pixel(w, 0.5, 150), QColor(255, 0, 0));
  EXPECT_EQ(scope_pixel(w, 0.5, 200), QColor(255, 0, 0));
  // Blue from 340 (below the visible area) up to 240, in column 0 or 1.
  EXPECT_TRUE(scope_pixel(w, 0.5, 250) == QColor(0, 0, 255) ||
              scope_pixel(w, 1.5, 250) == QColor(0, 0, 255));
}

TEST(ScopeTrace, ColumnWrapsAfter351SegmentsAndTheScreenStartsOver) {
  rig r;
  r->state.avgt = 25.0;
  r->state.last_temperature = 25;
  for (int k = 0; k < 351; ++k) r->thermal.plot_and_log();
  EXPECT_EQ(r->scope.column(), 0);
  // Mark the picture; the 352nd step must clear it.
  r.window.pictures(picture::scope).image().setPixelColor(100, 100, Qt::white);
  r->thermal.plot_and_log();
  EXPECT_EQ(r->scope.column(), 1);
  EXPECT_NE(r.window.pictures(picture::scope).image().pixelColor(100, 100), QColor(Qt::white));
}

TEST(ScopeTrace, PersistentValuesCarryOverToTheNextStep) {
  rig r;
  r->state.avgt = 25.0;
  r->state.last_temperature = 24;
  r->state.last_distance = 80;
  r->thermal.plot_and_log();
  EXPECT_EQ(r->scope.previous_trace_value(), 15.0);
  EXPECT_EQ(r->scope.previous_distance(), 80);
}

}  // namespace
}  // namespace brevane
