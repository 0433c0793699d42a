#include "scan/sweep_plan.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <array>
#include <charconv>
#include <cmath>

#include "common/json_keys.h"
#include "device/command_exchange.h"
#include "logging/scan_record_fields.h"
#include "model/control_ranges.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

namespace {

enum class kind { whole, step, box };

struct rule {
  std::string_view key;
  kind what;
  int sweep_settings::*number;
  bool sweep_settings::*flag;
  int low;
  int high;
};

constexpr rule whole(std::string_view key, int sweep_settings::*number, int low, int high) {
  return {key, kind::whole, number, nullptr, low, high};
}
constexpr rule whole(std::string_view key, int sweep_settings::*number, control_range r) {
  return whole(key, number, r.low, r.high);
}
constexpr rule box(std::string_view key, bool sweep_settings::*flag) {
  return {key, kind::box, nullptr, flag, 0, 0};
}

constexpr std::array rules{
    whole("xmin", &sweep_settings::xmin, xmin_range),
    whole("xmax", &sweep_settings::xmax, xmax_range),
    whole("zmin", &sweep_settings::zmin, zmin_range),
    whole("zmax", &sweep_settings::zmax, zmax_range),
    rule{"step", kind::step, &sweep_settings::step, nullptr, 0, 0},
    whole("gain", &sweep_settings::gain, gain_range),
    box("repeat", &sweep_settings::repeat),
    box("stop", &sweep_settings::stop),
    box("sonic_off", &sweep_settings::sonic_off),
    box("temp_off", &sweep_settings::temp_off),
    box("x_off", &sweep_settings::x_off),
    box("z_off", &sweep_settings::z_off),
    whole("echo_timeout_ms", &sweep_settings::echo_timeout_ms, device::min_echo_timeout_ms,
          device::max_echo_timeout_ms),
};

constexpr std::array<std::string_view, rules.size()> keys = [] {
  std::array<std::string_view, rules.size()> k{};
  for (std::size_t i = 0; i < rules.size(); ++i) k[i] = rules[i].key;
  return k;
}();

// A record's settings name the steps of its rows and points; they must agree with step.
constexpr std::array<std::string_view, 2> record_steps = {"row_step", "point_step"};

const rule* find_rule(std::string_view key) {
  for (const rule& r : rules)
    if (r.key == key) return &r;
  return nullptr;
}

std::string in_quotes(std::string_view s) {
  std::string quoted(1, '"');
  quoted.append(s).append(1, '"');
  return quoted;
}

std::string allowed(const rule& r) {
  switch (r.what) {
    case kind::whole:
      return "a whole number from " + std::to_string(r.low) + " to " + std::to_string(r.high);
    case kind::step: {
      std::string text = "one of";
      for (std::size_t i = 0; i < step_choices.size(); ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(step_choices[i]);
      return text;
    }
    case kind::box:
      return "true or false";
  }
  return {};
}

std::string refusal(const rule& r, const std::string& shown) {
  return in_quotes(r.key) + " is " + shown + "; it must be " + allowed(r);
}

std::string unknown_key(std::string_view key) {
  std::string text = in_quotes(key) + " is not a setting; the settings are";
  for (std::size_t i = 0; i < keys.size(); ++i)
    text += (i == 0 ? " " : ", ") + std::string(keys[i]);
  return text;
}

// A number as the operator wrote it, or a value's kind.
std::string shown(const QJsonValue& v) {
  switch (v.type()) {
    case QJsonValue::Double: {
      const double d = v.toDouble();
      if (d == std::floor(d) && std::abs(d) < 1e15)
        return std::to_string(static_cast<long long>(d));
      return QString::number(d, 'g', 17).toStdString();
    }
    case QJsonValue::String:
      return in_quotes(v.toString().toStdString());
    case QJsonValue::Bool:
      return v.toBool() ? "true" : "false";
    case QJsonValue::Null:
      return "null";
    case QJsonValue::Array:
      return "a list";
    case QJsonValue::Object:
      return "an object";
    case QJsonValue::Undefined:
      break;
  }
  return "nothing";
}

// A whole number the rule allows, or why not.
std::string set_number(sweep_settings& s, const rule& r, long long v, const std::string& text) {
  const bool ok = r.what == kind::step ? v > 0 && v < 1000 && step_index(static_cast<int>(v)) >= 0
                                       : v >= r.low && v <= r.high;
  if (!ok) return refusal(r, text);
  s.*r.number = static_cast<int>(v);
  return {};
}

std::string set_from_json(sweep_settings& s, const rule& r, const QJsonValue& v) {
  if (r.what == kind::box) {
    if (!v.isBool()) return refusal(r, shown(v));
    s.*r.flag = v.toBool();
    return {};
  }
  const double d = v.toDouble(std::nan(""));
  if (!v.isDouble() || d != std::floor(d) || std::abs(d) > 1e9) return refusal(r, shown(v));
  return set_number(s, r, static_cast<long long>(d), shown(v));
}

std::optional<bool> box_text(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "true" || lower == "on" || lower == "1") return true;
  if (lower == "false" || lower == "off" || lower == "0") return false;
  return std::nullopt;
}

// The object of a plan, which is the whole text, or of a record's first line; nullopt with
// why otherwise.
std::optional<QJsonObject> object_of(const QByteArray& text, std::string* why) {
  // A key given twice would be read as its last value only: neither value is sure to be meant.
  const auto once = [why](const QByteArray& json, QJsonObject o) -> std::optional<QJsonObject> {
    if (const auto twice = first_duplicate_key(std::string_view(json.data(), json.size()))) {
      *why = "is refused: " + duplicate_key_text(*twice);
      return std::nullopt;
    }
    return o;
  };
  QJsonParseError error{};
  const QJsonDocument whole = QJsonDocument::fromJson(text, &error);
  if (whole.isObject()) return once(text, whole.object());
  const QByteArray first_line = text.left(text.indexOf('\n'));
  const QJsonDocument first = QJsonDocument::fromJson(first_line);
  if (first.isObject() && first.object().value(QLatin1String("format")) ==
                              QLatin1String(scan_record_fields::format_name))
    return once(first_line, first.object());
  if (text.trimmed().startsWith('{')) {
    *why = "is not valid JSON (" + error.errorString().toStdString() + " at character " +
           std::to_string(error.offset) + ")";
  } else {
    *why = "is neither a plan nor a scan record: it is not JSON text";
  }
  return std::nullopt;
}

}  // namespace

sweep_settings start_settings(int echo_timeout_ms) {
  return {xmin_range.start,
          xmax_range.start,
          zmin_range.start,
          zmax_range.start,
          step_choices[start_step_index],
          gain_range.start,
          true,
          false,
          false,
          false,
          false,
          false,
          echo_timeout_ms};
}

std::span<const std::string_view> sweep_setting_keys() {
  return keys;
}

std::string set_sweep_setting(sweep_settings& settings, std::string_view key,
                              std::string_view value) {
  const rule* r = find_rule(key);
  if (!r) return unknown_key(key);
  if (r->what == kind::box) {
    const auto ticked = box_text(value);
    if (!ticked) return refusal(*r, in_quotes(value));
    settings.*r->flag = *ticked;
    return {};
  }
  long long v = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size())
    return refusal(*r, in_quotes(value));
  return set_number(settings, *r, v, std::string(value));
}

std::string set_sweep_setting(sweep_settings& settings, std::string_view assignment) {
  const auto eq = assignment.find('=');
  if (eq == std::string_view::npos)
    return in_quotes(assignment) + " is not KEY=VALUE, for example xmin=110";
  return set_sweep_setting(settings, assignment.substr(0, eq), assignment.substr(eq + 1));
}

std::string sweep_setting_text(const sweep_settings& settings, std::string_view key) {
  const rule* r = find_rule(key);
  if (!r) return {};
  if (r->what == kind::box) return settings.*r->flag ? "true" : "false";
  return std::to_string(settings.*r->number);
}

QByteArray plan_json(const sweep_settings& settings, bool one_line) {
  const char* indent = one_line ? "" : "\n    ";
  std::string text = std::string("{") + (one_line ? "" : "\n  ") + "\"format\": \"" +
                     plan_format_name + "\"," + (one_line ? " " : "\n  ") +
                     "\"version\": " + std::to_string(plan_format_version) + "," +
                     (one_line ? " " : "\n  ") + "\"settings\": {";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    text += (i == 0 ? "" : (one_line ? ", " : ",")) + std::string(indent) + in_quotes(keys[i]) +
            ": " + sweep_setting_text(settings, keys[i]);
  }
  text += one_line ? "}}" : "\n  }\n}\n";
  return QByteArray::fromStdString(text);
}

std::optional<sweep_settings> plan_from_text(const QByteArray& text, const sweep_settings& base,
                                             std::string* why) {
  std::string problem;
  const auto fail = [&](std::string reason) -> std::optional<sweep_settings> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  const auto object = object_of(text, &problem);
  if (!object) return fail(problem);
  const QString format = object->value(QLatin1String("format")).toString();
  const bool plan = format == QLatin1String(plan_format_name);
  if (!plan && format != QLatin1String(scan_record_fields::format_name))
    return fail("is neither a plan nor a scan record: its \"format\" is " +
                shown(object->value(QLatin1String("format"))) + ", not \"" + plan_format_name +
                "\" or \"" + scan_record_fields::format_name + "\"");
  const QJsonValue version = object->value(QLatin1String("version"));
  if (!version.isDouble() || version.toDouble() < 1 ||
      version.toDouble() != std::floor(version.toDouble()))
    return fail("\"version\" is " + shown(version) + "; it must be a whole number from 1");
  if (plan) {
    for (auto it = object->begin(); it != object->end(); ++it) {
      const QString key = it.key();
      if (key != QLatin1String("format") && key != QLatin1String("version") &&
          key != QLatin1String("settings"))
        return fail(in_quotes(key.toStdString()) +
                    " is not a key of a plan; a plan has \"format\", \"version\" and \"settings\"");
    }
  }
  const QJsonValue given = object->value(QLatin1String("settings"));
  if (!given.isObject() && !(plan && given.isUndefined()))
    return fail("\"settings\" is " + shown(given) + "; it must be an object of settings");
  sweep_settings s = base;
  const QJsonObject settings = given.toObject();
  for (auto it = settings.begin(); it != settings.end(); ++it) {
    const std::string key = it.key().toStdString();
    if (std::find(record_steps.begin(), record_steps.end(), key) != record_steps.end()) continue;
    const rule* r = find_rule(key);
    if (!r) return fail(unknown_key(key));
    if (std::string reason = set_from_json(s, *r, it.value()); !reason.empty()) return fail(reason);
  }
  for (std::string_view key : record_steps) {
    const QJsonValue v =
        settings.value(QLatin1StringView(key.data(), static_cast<qsizetype>(key.size())));
    if (!v.isUndefined() && !(v.isDouble() && v.toDouble() == s.step))
      return fail(in_quotes(key) + " is " + shown(v) + "; it must agree with \"step\", which is " +
                  std::to_string(s.step));
  }
  return s;
}

sweep_settings settings_in_window(const panel& window, const main_window_state& state,
                                  const device::command_exchange& exchange) {
  sweep_settings s;
  s.xmin = window.value(scroll_bar::xmin);
  s.xmax = window.value(scroll_bar::xmax);
  s.zmin = window.value(scroll_bar::zmin);
  s.zmax = window.value(scroll_bar::zmax);
  s.step = state.step_d;
  s.gain = window.value(scroll_bar::gain);
  s.repeat = window.checked(check_box::repeat);
  s.stop = window.checked(check_box::stop);
  s.sonic_off = window.checked(check_box::sonic_off);
  s.temp_off = window.checked(check_box::temp_off);
  s.x_off = window.checked(check_box::x_off);
  s.z_off = window.checked(check_box::z_off);
  s.echo_timeout_ms = exchange.echo_timeout_ms();
  return s;
}

std::string apply_settings(const sweep_settings& settings, panel& window,
                           device::command_exchange& exchange) {
  if (exchange.guard().busy())
    return "the settings cannot change while " + exchange.guard().operation() +
           " runs; end it first (Escape)";
  // Settings built by hand are held to the same rules as those read from a file.
  for (const rule& r : rules) {
    sweep_settings check = settings;
    std::string reason = set_sweep_setting(check, r.key, sweep_setting_text(settings, r.key));
    if (!reason.empty()) return reason;
  }
  window.set_value(scroll_bar::xmin, settings.xmin);
  window.set_value(scroll_bar::xmax, settings.xmax);
  window.set_value(scroll_bar::zmin, settings.zmin);
  window.set_value(scroll_bar::zmax, settings.zmax);
  window.choose_step(step_index(settings.step));
  window.set_value(scroll_bar::gain, settings.gain);
  window.set_checked(check_box::repeat, settings.repeat);
  window.set_checked(check_box::stop, settings.stop);
  window.set_checked(check_box::sonic_off, settings.sonic_off);
  window.set_checked(check_box::temp_off, settings.temp_off);
  window.set_checked(check_box::x_off, settings.x_off);
  window.set_checked(check_box::z_off, settings.z_off);
  exchange.set_echo_timeout(settings.echo_timeout_ms);
  return {};
}

}  // namespace brevane
