#include "scan/sweep_alarm.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

reading_event at(std::optional<double> temperature, std::optional<double> distance) {
  reading_event e;
  e.x = 150;
  e.z = 170;
  e.temperature_f = temperature;
  e.distance_in = distance;
  return e;
}

// Each alarm as written, then a reading against it: the reason it gives, or "" for none.
TEST(SweepAlarm, AnAlarmIsReadFromItsTextAndNamesTheReadingThatCrossesIt) {
  struct row {
    const char* text;
    std::string refusal;  // empty: accepted
    std::optional<double> temperature, distance;
    std::string reason;
  };
  const row rows[] = {
      {"temperature_f>90", "", 91.3, 40.0, "temperature 91.3 °F above 90 °F at X 150, Z 170"},
      {" temperature_f > 90.5 ", "", 90.5, {}, ""},
      {"temperature_f>90", "", 90.04, {}, "temperature 90.04 °F above 90 °F at X 150, Z 170"},
      {"temperature_f>90", "", {}, 3.0, ""},
      {"distance_in<12", "", 91.3, 11.2, "distance 11.2 in below 12 in at X 150, Z 170"},
      {"distance_in<12", "", 50.0, 12.0, ""},
      {"temp>90", "an alarm is temperature_f>VALUE (°F) or distance_in<VALUE (inches)", {}, {}, ""},
      {"humidity<3",
       "an alarm is temperature_f>VALUE (°F) or distance_in<VALUE (inches)",
       {},
       {},
       ""},
      {"temperature_f<90",
       "a temperature alarm is temperature_f>VALUE, for a reading above VALUE °F",
       {},
       {},
       ""},
      {"distance_in>12",
       "a distance alarm is distance_in<VALUE, for a reading below VALUE inches",
       {},
       {},
       ""},
      {"distance_in",
       "a distance alarm is distance_in<VALUE, for a reading below VALUE inches",
       {},
       {},
       ""},
      {"temperature_f>hot", "the threshold \"hot\" is no number", {}, {}, ""},
      {"temperature_f>", "the threshold \"\" is no number", {}, {}, ""},
      {"temperature_f>1e3", "the threshold \"1e3\" is no number", {}, {}, ""},
      {"temperature_f>-5", "a temperature alarm takes 0 to 11000 °F", {}, {}, ""},
      {"distance_in<30000", "a distance alarm takes 0 to 25800 in", {}, {}, ""},
  };
  for (const row& r : rows) {
    std::string why;
    const auto alarm = parse_sweep_alarm(r.text, &why);
    EXPECT_EQ(why, r.refusal) << r.text;
    ASSERT_EQ(alarm.has_value(), r.refusal.empty()) << r.text;
    if (!alarm) continue;
    EXPECT_EQ(alarm_crossed(*alarm, at(r.temperature, r.distance)).value_or(""), r.reason)
        << r.text;
  }
}

TEST(SweepAlarm, AnAlarmThatWentOffIsHeardAgainOnlyAfterAReadingOnTheSafeSide) {
  alarm_watch watch;
  watch.set({95.0, std::nullopt});
  const double temperatures[] = {70, 96, 97, 90, 99, 99};
  const bool heard[] = {false, true, false, false, true, false};
  for (std::size_t i = 0; i < std::size(temperatures); ++i)
    EXPECT_EQ(watch.check(at(temperatures[i], 50.0)).has_value(), heard[i]) << i;
  watch.set({98.0, std::nullopt});
  EXPECT_TRUE(watch.check(at(99, 50.0))) << "a new threshold is armed";
  watch.arm();
  EXPECT_TRUE(watch.check(at(99, 50.0))) << "a new sweep is armed";
}

}  // namespace
}  // namespace brevane
