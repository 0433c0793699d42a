#include "scan/sweep_alarm.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <system_error>

namespace brevane {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const char* unit(alarm_reading reading) {
  return reading == alarm_reading::temperature_f ? "°F" : "in";
}

}  // namespace

const char* alarm_key(alarm_reading reading) {
  return reading == alarm_reading::temperature_f ? "temperature_f" : "distance_in";
}

std::string threshold_text(double value) {
  char buffer[32];
  // Shortest form that reads back; the locale plays no part.
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

std::optional<std::string> threshold_refusal(alarm_reading reading, double threshold) {
  const bool temperature = reading == alarm_reading::temperature_f;
  const double top = temperature ? max_alarm_temperature_f : max_alarm_distance_in;
  if (threshold >= 0 && threshold <= top) return std::nullopt;
  return std::string(temperature ? "a temperature" : "a distance") + " alarm takes 0 to " +
         threshold_text(top) + " " + unit(reading);
}

std::optional<sweep_alarm> parse_sweep_alarm(std::string_view text, std::string* why) {
  const auto fail = [&](const std::string& reason) -> std::optional<sweep_alarm> {
    if (why) *why = reason;
    return std::nullopt;
  };
  const std::size_t sign = text.find_first_of("<>");
  const std::string_view name = trimmed(text.substr(0, sign));
  sweep_alarm alarm;
  if (name == "temperature_f") {
    alarm.reading = alarm_reading::temperature_f;
  } else if (name == "distance_in") {
    alarm.reading = alarm_reading::distance_in;
  } else {
    return fail("an alarm is temperature_f>VALUE (°F) or distance_in<VALUE (inches)");
  }
  const char wanted = alarm.reading == alarm_reading::temperature_f ? '>' : '<';
  if (sign == std::string_view::npos || text[sign] != wanted) {
    return fail(alarm.reading == alarm_reading::temperature_f
                    ? "a temperature alarm is temperature_f>VALUE, for a reading above VALUE °F"
                    : "a distance alarm is distance_in<VALUE, for a reading below VALUE inches");
  }
  const std::string_view value = trimmed(text.substr(sign + 1));
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(),
                                            alarm.threshold, std::chars_format::fixed);
  if (value.empty() || error != std::errc{} || end != value.data() + value.size() ||
      !std::isfinite(alarm.threshold))
    return fail("the threshold \"" + std::string(value) + "\" is no number");
  if (auto refusal = threshold_refusal(alarm.reading, alarm.threshold)) return fail(*refusal);
  return alarm;
}

std::optional<std::string> alarm_crossed(const sweep_alarm& alarm, const reading_event& reading) {
  const bool temperature = alarm.reading == alarm_reading::temperature_f;
  const std::optional<double>& value = temperature ? reading.temperature_f : reading.distance_in;
  if (!value) return std::nullopt;
  if (temperature ? !(*value > alarm.threshold) : !(*value < alarm.threshold)) return std::nullopt;
  char shown[32];
  const auto [end, error] =
      std::to_chars(std::begin(shown), std::end(shown), *value, std::chars_format::fixed, 1);
  // A value that rounds onto the threshold is shown with every digit it needs to differ.
  std::string value_text = error == std::errc{} ? std::string(shown, end) : std::to_string(*value);
  if (value_text == threshold_text(alarm.threshold) + ".0" ||
      value_text == threshold_text(alarm.threshold))
    value_text = threshold_text(*value);
  return std::string(temperature ? "temperature " : "distance ") + value_text + " " +
         unit(alarm.reading) + (temperature ? " above " : " below ") +
         threshold_text(alarm.threshold) + " " + unit(alarm.reading) + " at X " +
         std::to_string(reading.x) + ", Z " + std::to_string(reading.z);
}

void alarm_watch::set(const alarm_settings& settings) {
  if (settings.temperature_above_f != settings_.temperature_above_f) armed_.temperature = true;
  if (settings.distance_below_in != settings_.distance_below_in) armed_.distance = true;
  settings_ = settings;
  if (on_change) on_change(settings_);
}

std::optional<std::string> alarm_watch::check(const reading_event& reading) {
  std::optional<std::string> first;
  const auto watch = [&](alarm_reading which, bool& armed) {
    const std::optional<double>& threshold = settings_.threshold(which);
    if (!threshold) return;
    const std::optional<double>& value =
        which == alarm_reading::temperature_f ? reading.temperature_f : reading.distance_in;
    if (!value) return;  // a reading not taken leaves the alarm as it was
    std::optional<std::string> why = alarm_crossed({which, *threshold}, reading);
    if (!why) {
      armed = true;
    } else if (armed) {
      armed = false;
      if (!first) first = std::move(why);
    }
  };
  watch(alarm_reading::temperature_f, armed_.temperature);
  watch(alarm_reading::distance_in, armed_.distance);
  return first;
}

}  // namespace brevane
