// Input reports of every wrong shape, while idle and while a command waits: none crashes the
// program, writes outside the input buffer, or ends a wait that is not theirs.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "drills/drill_rig.h"

namespace brevane {
namespace {

using testing::drill_rig;
using bytes = std::vector<std::uint8_t>;

// Report data (as a read returns it, without the report id) with the echo and a reading.
bytes answer(char letter, std::uint8_t low, std::uint8_t high, std::size_t length = 8) {
  bytes data(length, 0);
  data[2] = static_cast<std::uint8_t>(letter);
  data[3] = low;
  data[4] = high;
  return data;
}

bytes long_report(std::uint8_t fill, std::size_t length = 64) {
  return bytes(length, fill);
}

// A Temp on a head that takes the T and stays silent; `answer_after` runs once the T is out.
struct silent_reading {
  explicit silent_reading(drill_rig& r) : rig(r) { r.head.set_silent_after(0); }

  bool temp(const std::function<void()>& answer_after) {
    QTimer::singleShot(0, answer_after);
    return rig.run("Temp", [&] { rig.inst.thermal.therm(); });
  }
  bool distance(const std::function<void()>& answer_after) {
    QTimer::singleShot(0, answer_after);
    return rig.run("Distance", [&] { rig.inst.sonic.sonic(); });
  }
  drill_rig& rig;
};

TEST(DrillMalformedReports, ShortAndLongReportsWhileIdleAreStoredWithinTheBuffer) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  for (const bytes& data : {bytes{}, bytes{0x54}, bytes{1, 2, 3}, long_report(0xab)})
    ASSERT_TRUE(r.head.inject_raw(data));
  ASSERT_TRUE(testing::run_events_until([&] { return r.inst.exchange.input()[8] == 0xab; }));
  // The 64 bytes were cut to the buffer's eight data bytes after the report id.
  EXPECT_EQ(r.inst.exchange.input(),
            (device::input_report{0, 0xab, 0xab, 0xab, 0xab, 0xab, 0xab, 0xab, 0xab}));

  // The head's own answer still comes through.
  EXPECT_TRUE(r.run("Temp", [&] { r.inst.thermal.therm(); }));
  EXPECT_TRUE(r.window.text(text_box::temperature_text).starts_with("70."))
      << r.window.text(text_box::temperature_text);
}

TEST(DrillMalformedReports, OnlyTheRightEchoEndsAWait) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  silent_reading reading(r);
  QElapsedTimer clock;
  qint64 answered_at = -1;
  clock.start();
  const bool ok = reading.temp([&] {
    // Short, long, and well-formed with another command's echo; then, later, the answer cut
    // from a long report.
    for (const bytes& data :
         {bytes{}, bytes{0x54}, bytes{1, 2, 3}, long_report(0x53), answer('S', 0x10, 0x02),
          answer('X', 0x10, 0x02, 64), answer('t', 0x10, 0x02)})
      r.head.inject_raw(data);
    QTimer::singleShot(150, [&] {
      answered_at = clock.elapsed();
      bytes right = answer('T', 0x10, 0x02, 64);
      std::fill(right.begin() + 8, right.end(), std::uint8_t{0xee});
      r.head.inject_raw(right);
    });
  });
  EXPECT_TRUE(ok) << r.status();
  EXPECT_FALSE(r.watchdog_fired);
  ASSERT_GE(answered_at, 0) << "the wait ended before the right echo came";
  EXPECT_GE(r.elapsed_ms, answered_at);
  // 0x0210 counts.
  EXPECT_EQ(r.window.text(text_box::temperature_text), "88.7f");
  EXPECT_EQ(r.inst.state.last_temperature, 89);
}

TEST(DrillMalformedReports, HighBytesOf128OrMoreGiveAReadingOfZero) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.set_log_data(true);
  silent_reading reading(r);

  EXPECT_TRUE(reading.temp([&] { r.head.inject_raw(answer('T', 0xff, 0xff)); }));
  EXPECT_EQ(r.window.text(text_box::temperature_text), ".f");
  EXPECT_EQ(r.inst.state.last_temperature, 0);
  EXPECT_TRUE(reading.temp([&] { r.head.inject_raw(answer('T', 0x00, 0x80)); }));
  EXPECT_EQ(r.window.text(text_box::temperature_text), ".f");
  // The largest reading that fits is taken as it is.
  EXPECT_TRUE(reading.temp([&] { r.head.inject_raw(answer('T', 0xff, 0x7f)); }));
  EXPECT_EQ(r.window.text(text_box::temperature_text), "5504.86f");

  EXPECT_TRUE(reading.distance([&] { r.head.inject_raw(answer('S', 0x00, 0x80)); }));
  EXPECT_EQ(r.window.text(text_box::distance_text), ". Inches  \r\n. feet");
  EXPECT_EQ(r.inst.state.last_distance, 0);
  EXPECT_EQ(testing::log_lines(r.inst.datalog.path()).size(), 1u + 3);
}

TEST(DrillMalformedReports, AFloodOfUnrequestedReportsLeavesTheProgramWorking) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  std::mt19937 random(7);
  for (int k = 0; k < 10000; ++k) {
    bytes data(random() % 70);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    ASSERT_TRUE(r.head.inject_raw(std::move(data)));
  }
  const bytes marker = {'e', 'n', 'd', ' ', 'm', 'a', 'r', 'k'};
  ASSERT_TRUE(r.head.inject_raw(marker));
  const device::input_report marker_stored = {0, 'e', 'n', 'd', ' ', 'm', 'a', 'r', 'k'};

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(
      testing::run_events_until([&] { return r.inst.exchange.input() == marker_stored; }, 10000));
  ticker.stop();
  if (clock.elapsed() >= 100) {
    EXPECT_GT(ticks, 0) << "the window kept running during the flood";
  }
  EXPECT_EQ(r.head.pending_reports(), 0u);

  EXPECT_TRUE(r.run("Temp", [&] { r.inst.thermal.therm(); }));
  EXPECT_TRUE(r.window.text(text_box::temperature_text).starts_with("70."))
      << r.window.text(text_box::temperature_text);
  EXPECT_TRUE(r.run("Home", [&] { r.inst.positioning.home(); }));
  EXPECT_EQ(r.head.x_position(), 170);
}

}  // namespace
}  // namespace brevane
