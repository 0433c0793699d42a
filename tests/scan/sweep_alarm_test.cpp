#include "scan/sweep_alarm.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <tuple>

#include "logging/scan_record.h"
#include "support/rig.h"

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

// Each alarm as written and a reading against it, with the reason it gives ("" for none); then
// texts that are refused, with why.
TEST(SweepAlarm, AnAlarmIsReadFromItsTextAndNamesTheReadingThatCrossesIt) {
  const std::tuple<const char*, std::optional<double>, std::optional<double>, std::string> read[] =
      {
          {"temperature_f>90", 91.3, 40.0, "temperature 91.3 °F above 90 °F at X 150, Z 170"},
          {" temperature_f > 90.5 ", 90.5, {}, ""},
          {"temperature_f>90", 90.04, {}, "temperature 90.04 °F above 90 °F at X 150, Z 170"},
          {"temperature_f>90", {}, 3.0, ""},
          {"distance_in<12", 91.3, 11.2, "distance 11.2 in below 12 in at X 150, Z 170"},
          {"distance_in<12", 50.0, 12.0, ""},
      };
  for (const auto& [text, temperature, distance, reason] : read) {
    std::string why;
    const auto alarm = parse_sweep_alarm(text, &why);
    ASSERT_TRUE(alarm) << text << ": " << why;
    EXPECT_EQ(alarm_crossed(*alarm, at(temperature, distance)).value_or(""), reason) << text;
  }
  const std::string names = "an alarm is temperature_f>VALUE (°F) or distance_in<VALUE (inches)";
  const std::string below =
      "a distance alarm is distance_in<VALUE, for a reading below VALUE inches";
  const std::pair<const char*, std::string> refused[] = {
      {"temp>90", names},
      {"humidity<3", names},
      {"temperature_f<90",
       "a temperature alarm is temperature_f>VALUE, for a reading above VALUE °F"},
      {"distance_in>12", below},
      {"distance_in", below},
      {"temperature_f>hot", "the threshold \"hot\" is no number"},
      {"temperature_f>", "the threshold \"\" is no number"},
      {"temperature_f>1e3", "the threshold \"1e3\" is no number"},
      {"temperature_f>-5", "a temperature alarm takes 0 to 11000 °F"},
      {"distance_in<30000", "a distance alarm takes 0 to 25800 in"},
  };
  for (const auto& [text, refusal] : refused) {
    std::string why;
    EXPECT_FALSE(parse_sweep_alarm(text, &why)) << text;
    EXPECT_EQ(why, refusal) << text;
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

// The head reads 70.6 °F everywhere but at the 14th temperature, 100.8 °F: the last point of
// the first row, X 140 Z 140. The alarm pauses the sweep right after that reading (the Resume
// comes from the test), or ends the sweep there; the record says so either way.
TEST(SweepAlarm, AReadingPastTheAlarmPausesTheSweepOrEndsItThere) {
  const std::string reason = "temperature 100.8 °F above 90 °F at X 140, Z 140";
  for (const bool ends : {false, true}) {
    SCOPED_TRACE(ends ? "ends" : "pauses");
    testing::rig r;
    ASSERT_TRUE(r.start());
    testing::use_small_raster(r);
    r.head.temperatures = std::deque<int>(13, 420);
    r.head.temperatures.insert(r.head.temperatures.end(), {600, 420});
    scan_record_writer writer(r.window, r.folder.path(), {"usb", {}, {}, {}}, 500, "1.00", {});
    r->readings.add(writer);
    r->sweep.alarms().set({90.0, std::nullopt});
    r->sweep.set_alarm_ends_sweep(ends);
    std::vector<std::string> heard;
    r->sweep.on_alarm = [&](const std::string& why) {
      heard.push_back(why);
      if (!ends) QTimer::singleShot(20, [&] { r->exchange.guard().set_paused(false); });
    };
    ASSERT_TRUE(r->runner.run("Sweep", [&] { r->sweep.sweep(); }));

    EXPECT_EQ(heard, std::vector<std::string>{reason}) << "heard once, the reading then repeats";
    QFile f(writer.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : f.readAll().split('\n'))
      if (!line.isEmpty()) lines.push_back(QJsonDocument::fromJson(line).object());
    const auto alarm_line = std::find_if(lines.begin(), lines.end(), [](const QJsonObject& o) {
      return o["temperature_f"].toDouble() > 90;
    });
    ASSERT_LT(alarm_line + 1, lines.end());
    EXPECT_EQ((*alarm_line)["x"], 140);
    const QJsonObject next = *(alarm_line + 1);
    EXPECT_EQ(next["type"], ends ? "end" : "pause");
    EXPECT_EQ(next["reason"], "alarm");
    EXPECT_EQ(next["message"].toString().toStdString(), reason);
    EXPECT_EQ(lines.back()["how"], ends ? "stopped" : "completed");
    if (ends) {
      EXPECT_EQ(r->sweep.end_sentence(), "Sweep stopped by an alarm: " + reason);
      EXPECT_FALSE(r.window.checks[check_box::stop]) << "the Stop box is left as it was";
    } else {
      EXPECT_EQ((*(alarm_line + 2))["type"], "resume");
      EXPECT_NE(
          std::find(r.window.statuses.begin(), r.window.statuses.end(),
                    "Paused by an alarm: " + reason +
                        ". F8 or Resume goes on with the next report; Escape ends the sweep."),
          r.window.statuses.end());
    }
    r->readings.remove(writer);
  }
}

}  // namespace
}  // namespace brevane
