#include "model/reading_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

// Writes each event as a short line, so a whole sweep reads as one list.
struct recorder : reading_observer {
  std::vector<std::string> lines;
  std::vector<reading_event> readings;
  static std::string value(const std::optional<double>& v) {
    return v ? std::to_string(static_cast<int>(*v)) : "-";
  }
  void sweep_started(const raster_in_use& r, const QDateTime&) override {
    lines.push_back("start " + std::to_string(r.xmin) + ".." + std::to_string(r.xmax));
  }
  void reading_taken(const reading_event& e) override {
    readings.push_back(e);
    const char* kind = e.kind == reading_kind::baseline    ? "base"
                       : e.kind == reading_kind::row_start ? "row"
                                                           : "point";
    const char* pass = e.pass == pass_direction::upward     ? "up"
                       : e.pass == pass_direction::downward ? "down"
                                                            : "-";
    lines.push_back(std::string(kind) + " c" + std::to_string(e.cycle) + " " + pass + " r" +
                    std::to_string(e.row) + " p" + std::to_string(e.point) + " x" +
                    std::to_string(e.x) + " z" + std::to_string(e.z) + " t" +
                    value(e.temperature_f) + " d" + value(e.distance_in));
  }
  void baseline_taken(double avgt) override { lines.push_back("avgt " + std::to_string(avgt)); }
  void raster_changed(const raster_in_use& r) override {
    lines.push_back("raster x" + std::to_string(r.xmin) + ".." + std::to_string(r.xmax) + " step " +
                    std::to_string(r.point_step));
  }
  void pass_ended(int cycle, pass_direction pass) override {
    lines.push_back("pass end c" + std::to_string(cycle) +
                    (pass == pass_direction::upward ? " up" : " down"));
  }
  void sweep_ended(sweep_end how, const std::string&, const QDateTime&, bool) override {
    lines.push_back("end " + std::to_string(static_cast<int>(how)));
  }
};

TEST(ReadingStream, ASmallSweepReportsEveryReadingInOrderWithItsPlace) {
  rig r;
  ASSERT_TRUE(r.start());
  testing::use_small_raster(r);
  r.head.temperatures = {417};  // 70.056 F
  r.head.distances = {254};     // 100 inches
  recorder seen;
  r->readings.add(seen);
  ASSERT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);

  std::vector<std::string> expected{"start 100..140"};
  for (int k = 1; k <= 10; ++k)
    expected.push_back("base c0 - r0 p" + std::to_string(k) + " x0 z0 t70 d-");
  expected.push_back("avgt 70.000000");
  const auto point = [](const char* pass, int row, int p, int x, int z) {
    return std::string("point c1 ") + pass + " r" + std::to_string(row) + " p" + std::to_string(p) +
           " x" + std::to_string(x) + " z" + std::to_string(z) + " t70 d100";
  };
  const auto row = [](const char* pass, int row, int x, int z) {
    return std::string("row c1 ") + pass + " r" + std::to_string(row) + " p0 x" +
           std::to_string(x) + " z" + std::to_string(z) + " t70 d100";
  };
  // Row starts read where the head stands: the X of the run before.
  expected.insert(
      expected.end(),
      {row("up", 1, 0, 140), point("up", 1, 1, 100, 140), point("up", 1, 2, 120, 140),
       point("up", 1, 3, 140, 140), row("up", 2, 140, 160), point("up", 2, 1, 140, 160),
       point("up", 2, 2, 120, 160), point("up", 2, 3, 100, 160), "pass end c1 up",
       row("down", 1, 100, 160), point("down", 1, 1, 140, 160), point("down", 1, 2, 120, 160),
       point("down", 1, 3, 100, 160), row("down", 2, 100, 140), point("down", 2, 1, 100, 140),
       point("down", 2, 2, 120, 140), point("down", 2, 3, 140, 140), "pass end c1 down", "end 0"});
  EXPECT_EQ(seen.lines, expected);
  EXPECT_NEAR(*seen.readings.back().temperature_f, 417 * 0.168, 1e-9);
  EXPECT_NEAR(*seen.readings.back().distance_in, 100.0, 1e-9);
}

TEST(ReadingStream, SkippedReadingsAreNoneAndALimitChangeComesBeforeItsFirstReading) {
  const struct {
    check_box off;
    bool temperature;
    bool distance;
  } cases[] = {{check_box::temp_off, false, true}, {check_box::sonic_off, true, false}};
  for (const auto& c : cases) {
    rig r;
    ASSERT_TRUE(r.start());
    testing::use_small_raster(r);
    r.window.checks[c.off] = true;
    recorder seen;
    r->readings.add(seen);
    // X max moves from 140 to 120 after the first row start.
    int row_starts = 0;
    struct : reading_observer {
      std::function<void(const reading_event&)> each;
      void reading_taken(const reading_event& e) override { each(e); }
    } change;
    change.each = [&](const reading_event& e) {
      if (e.kind == reading_kind::row_start && ++row_starts == 2)
        r.window.values[scroll_bar::xmax] = 120;
    };
    r->readings.add(change);
    r->sweep.sweep();
    for (const reading_event& e : seen.readings) {
      if (e.kind == reading_kind::baseline) continue;
      EXPECT_EQ(e.temperature_f.has_value(), c.temperature);
      EXPECT_EQ(e.distance_in.has_value(), c.distance);
    }
    const auto at = std::find(seen.lines.begin(), seen.lines.end(), "raster x100..120 step 20");
    ASSERT_NE(at, seen.lines.end());
    EXPECT_TRUE(std::next(at)->starts_with("point c1 up r2 p1 x120 z160")) << *std::next(at);
  }
}

TEST(ReadingStream, ASweepEndedByTheHeadSaysHow) {
  rig r(200);
  ASSERT_TRUE(r.start());
  testing::use_small_raster(r);
  recorder seen;
  r->readings.add(seen);
  r.head.silent = true;
  EXPECT_FALSE(r->runner.run("Sweep", [&] { r->sweep.sweep(); }));
  EXPECT_EQ(seen.lines.back(), "end " + std::to_string(static_cast<int>(sweep_end::echo_timeout)));
}

}  // namespace
}  // namespace brevane
