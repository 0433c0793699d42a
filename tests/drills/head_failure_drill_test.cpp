// A head that stops answering or is unplugged in the middle of a sweep: the sweep ends within
// its bound with a message naming the command, every completed reading is in the data log,
// and the program takes up work again when the head returns.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "drills/drill_rig.h"

namespace brevane {
namespace {

using testing::drill_rig;
using testing::log_lines;

// The command letters of a sweep at the start values, in order, through its first row: the
// ten baseline readings, the row start, then X T L S L at each point.
std::string first_row_letters() {
  std::string s(10, 'T');
  s += "ZLSLTL";
  for (int x = 100; x <= 255; x += 10) s += "XTLSL";
  return s;
}

// Thermal readings among the first n commands; each one plots and logs one line.
long thermal_readings_in_first(int n) {
  const std::string s = first_row_letters().substr(0, static_cast<std::size_t>(n));
  return std::count(s.begin(), s.end(), 'T');
}

device::simulated_head_options options(const std::string& text) {
  std::string error;
  const auto o = device::parse_simulated_head_options(text, &error);
  EXPECT_TRUE(o.has_value()) << error;
  return o.value_or(device::simulated_head_options{});
}

// 37 commands answered; the 38th is the T of the fifth point (X 140) of the first row.
constexpr int answered = 37;

TEST(DrillSilentHead, SweepEndsWithinTheEchoTimeoutNamingTheCommandAndLogsEveryReading) {
  ASSERT_EQ(first_row_letters()[answered], 'T');
  drill_rig r(200, options("silent-after=37"));
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r.window.set_log_data(true);

  EXPECT_FALSE(r.sweep());
  EXPECT_FALSE(r.watchdog_fired);
  EXPECT_GE(r.elapsed_ms, 200) << "it waited for the answer";
  EXPECT_LT(r.elapsed_ms, 3000);
  EXPECT_EQ(r.window.caption(), "No answer to the temperature reading");
  EXPECT_EQ(r.status(),
            "The head gave no answer to the temperature reading within 200 ms; Sweep stopped.");
  EXPECT_EQ(r.head.commands_received(), answered + 1) << "nothing is sent after the silence";
  EXPECT_FALSE(r.inst.guard.busy());

  const long readings = thermal_readings_in_first(answered);
  ASSERT_EQ(readings, 15);
  EXPECT_EQ(r.inst.scope.column(), readings);
  const auto lines = log_lines(r.inst.datalog.path());
  ASSERT_EQ(lines.size(), 1u + static_cast<std::size_t>(readings));
  EXPECT_EQ(lines.front(), "Time,Thermal,Distance,X pos,Y pos");
  EXPECT_TRUE(lines.back().ends_with(", 130, 140")) << lines.back();
  const QByteArray logged = testing::file_bytes(r.inst.datalog.path());

  // The head answers again: a new sweep runs to its end and appends below the old lines.
  r.head.resume_answering();
  sweep_procedure::outcome outcome{};
  EXPECT_TRUE(r.sweep(&outcome));
  EXPECT_EQ(outcome, sweep_procedure::outcome::completed);
  EXPECT_EQ(r.inst.sweep.points_swept(), 224);
  const QByteArray after = testing::file_bytes(r.inst.datalog.path());
  EXPECT_TRUE(after.startsWith(logged));
  EXPECT_EQ(log_lines(r.inst.datalog.path()).size(), lines.size() + 10 + 14 + 224);
}

TEST(DrillUnpluggedHead, UnplugBetweenCommandsEndsTheSweepAtOnceAndReplugResumes) {
  drill_rig r(2000);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r.window.set_log_data(true);
  // The 38th command, a T, is answered; the cable goes with it.
  r.head.set_unplug_after(answered + 1);

  EXPECT_FALSE(r.sweep());
  EXPECT_FALSE(r.watchdog_fired);
  EXPECT_LT(r.elapsed_ms, 1000) << "no command waits for an unplugged head";
  EXPECT_EQ(r.window.caption(), "Vexilor II not present");
  EXPECT_NE(r.status().find("the LED setting"), std::string::npos) << r.status();
  EXPECT_EQ(r.head.commands_received(), answered + 1);

  const long readings = thermal_readings_in_first(answered + 1);
  ASSERT_EQ(readings, 16);
  const auto lines = log_lines(r.inst.datalog.path());
  ASSERT_EQ(lines.size(), 1u + static_cast<std::size_t>(readings));
  EXPECT_TRUE(lines.back().ends_with(", 140, 140")) << lines.back();

  // The unplugged notification keeps the caption; a reading now fails at once.
  testing::run_events_until([&] { return !r.head.plugged(); });
  EXPECT_EQ(r.window.caption(), "Vexilor II not present");
  EXPECT_FALSE(r.run("Temp", [&] { r.inst.thermal.therm(); }));
  EXPECT_LT(r.elapsed_ms, 1000);

  r.head.replug();
  ASSERT_TRUE(r.wait_for_caption("Up and Running"));
  sweep_procedure::outcome outcome{};
  EXPECT_TRUE(r.sweep(&outcome));
  EXPECT_EQ(outcome, sweep_procedure::outcome::completed);
  EXPECT_EQ(log_lines(r.inst.datalog.path()).size(), lines.size() + 10 + 14 + 224);
}

TEST(DrillUnpluggedHead, UnplugWhileWaitingEndsTheWaitAtOnce) {
  drill_rig r(3000);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r.window.set_log_data(true);
  // The 38th command gets no answer, and the cable is pulled while it waits.
  r.head.set_silent_after(answered);
  r.head.set_unplug_after(answered + 1);

  EXPECT_FALSE(r.sweep());
  EXPECT_FALSE(r.watchdog_fired);
  EXPECT_LT(r.elapsed_ms, 1000) << "the unplug ends the wait, not the echo timeout";
  EXPECT_EQ(r.window.caption(), "Vexilor II not present");
  EXPECT_EQ(r.status(),
            "The head went away while waiting for the temperature reading; Sweep stopped.");
  EXPECT_EQ(log_lines(r.inst.datalog.path()).size(),
            1u + static_cast<std::size_t>(thermal_readings_in_first(answered)));

  r.head.replug();
  ASSERT_TRUE(r.wait_for_caption("Up and Running"));
  EXPECT_TRUE(r.sweep());
  EXPECT_EQ(r.inst.sweep.points_swept(), 224);
}

}  // namespace
}  // namespace brevane
