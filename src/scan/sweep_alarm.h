#pragma once
// Alarms on a sweep's readings: a temperature above a threshold (°F) or a distance below one
// (inches). In the window a reading past an alarm pauses the sweep; --sweep ends it there.
// Written on the command line as the scan record names the readings: temperature_f>90,
// distance_in<12.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/reading_stream.h"

namespace brevane {

// What the head can report at all (65535 counts): thresholds beyond could never be crossed.
inline constexpr double max_alarm_temperature_f = 11000.0;
inline constexpr double max_alarm_distance_in = 25800.0;

enum class alarm_reading { temperature_f, distance_in };

struct sweep_alarm {
  alarm_reading reading = alarm_reading::temperature_f;
  double threshold = 0.0;
  friend bool operator==(const sweep_alarm&, const sweep_alarm&) = default;
};

// "temperature_f>90" or "distance_in<12" (blanks around the parts allowed); nullopt with why
// set to what is allowed otherwise.
std::optional<sweep_alarm> parse_sweep_alarm(std::string_view text, std::string* why);
// The threshold's allowed span as a message: "a temperature alarm takes 0 to 11000 °F".
std::optional<std::string> threshold_refusal(alarm_reading reading, double threshold);
// The key of the record and of the command line: "temperature_f", "distance_in".
const char* alarm_key(alarm_reading reading);
// A number as a person writes it: 90, 90.5.
std::string threshold_text(double value);

// The reason when the reading is past the alarm: "temperature 91.3 °F above 90 °F at X 150,
// Z 170"; nullopt when it is not, or when the reading was not taken.
std::optional<std::string> alarm_crossed(const sweep_alarm& alarm, const reading_event& reading);

// The alarms in force: at most one of each reading; none is off.
struct alarm_settings {
  std::optional<double> temperature_above_f;
  std::optional<double> distance_below_in;
  bool any() const { return temperature_above_f || distance_below_in; }
  std::optional<double>& threshold(alarm_reading reading) {
    return reading == alarm_reading::temperature_f ? temperature_above_f : distance_below_in;
  }
  const std::optional<double>& threshold(alarm_reading reading) const {
    return reading == alarm_reading::temperature_f ? temperature_above_f : distance_below_in;
  }
  friend bool operator==(const alarm_settings&, const alarm_settings&) = default;
};

// Watches the readings of one sweep. An alarm goes off at a reading past its threshold, then
// stays quiet until a reading is back on the safe side: after Resume, the sweep goes on over
// the warm object it stopped at, and the alarm is heard again at the next one.
class alarm_watch {
 public:
  const alarm_settings& settings() const { return settings_; }
  // A change is heard at the next reading past the new threshold.
  void set(const alarm_settings& settings);
  // A new sweep: every alarm is armed.
  void arm() { armed_ = {true, true}; }
  // The reason of the first alarm this reading sets off, if any.
  std::optional<std::string> check(const reading_event& reading);
  // Told of every change, whoever made it (the Maps window, a remote client).
  std::function<void(const alarm_settings&)> on_change;

 private:
  alarm_settings settings_;
  struct {
    bool temperature = true;
    bool distance = true;
  } armed_;
};

}  // namespace brevane
