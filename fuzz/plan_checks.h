#pragma once
// Reads arbitrary data as a plan, and plans built from the data whose settings may name a key
// twice. Used by the fuzz target and by its regression tests.
//
// Byte 0 below 0x80: the rest is the plan's text, as a file or SWEep:PLAN gives it. Otherwise
// the rest is pairs of bytes, each a setting (a key of the plan, or now and then the plan's own
// "format") and a value from a list that holds good and bad ones; the plan is built from them
// in that order, so a key may come twice, and its fate is known beforehand.

#include <QByteArray>
#include <QJsonDocument>
#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "common/json_keys.h"
#include "scan/sweep_plan.h"

namespace brevane::fuzzing {

// Whatever is read must be settings the controls can show, and read back the same when written.
inline std::string check_accepted(const sweep_settings& s) {
  for (std::string_view key : sweep_setting_keys()) {
    sweep_settings copy = s;
    if (const std::string why = set_sweep_setting(copy, key, sweep_setting_text(s, key));
        !why.empty())
      return "an accepted plan holds what no control can: " + why;
  }
  std::string why;
  const auto again = plan_from_text(plan_json(s), start_settings(), &why);
  if (!again || !(*again == s)) return "a written plan does not read back the same: " + why;
  return {};
}

inline std::string check_plan_text(const QByteArray& text) {
  std::string why;
  const auto read = plan_from_text(text, start_settings(), &why);
  if (!read) return why.empty() ? "a refusal without a reason" : std::string();
  // What a plan names twice is never taken, whichever of the two a JSON reader would keep. The
  // text read is the whole, or else a record's first line.
  const QByteArray used =
      QJsonDocument::fromJson(text).isObject() ? text : text.left(text.indexOf('\n'));
  if (first_duplicate_key(
          std::string_view(used.constData(), static_cast<std::size_t>(used.size()))))
    return "a plan with a key given twice was read";
  return check_accepted(*read);
}

inline std::string check_built_plan(std::span<const std::uint8_t> pairs) {
  static constexpr std::array<std::string_view, 14> keys = {"xmin",
                                                            "xmax",
                                                            "zmin",
                                                            "zmax",
                                                            "step",
                                                            "gain",
                                                            "repeat",
                                                            "stop",
                                                            "sonic_off",
                                                            "temp_off",
                                                            "x_off",
                                                            "z_off",
                                                            "echo_timeout_ms",
                                                            "st\\u0065p"};
  static constexpr std::array<std::string_view, 12> values = {
      "110", "200", "150", "190", "5", "20", "true", "false", "1e300", "-0", "\"5\"", "null"};
  std::string settings;
  std::set<std::string> named;
  bool twice = false;
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    std::string key(keys[pairs[i] % keys.size()]);
    const std::string same = key == "st\\u0065p" ? "step" : key;
    twice = !named.insert(same).second || twice;
    if (!settings.empty()) settings += ',';
    settings += "\"" + key + "\":" + std::string(values[pairs[i + 1] % values.size()]);
  }
  const QByteArray text = QByteArray::fromStdString(
      R"({"format":"brevane-plan","version":1,"settings":{)" + settings + "}}");
  std::string why;
  const auto read = plan_from_text(text, start_settings(), &why);
  if (twice) {
    if (read) return "a plan naming a key twice was read: " + text.toStdString();
    if (why.find("appears twice in \"settings\"") == std::string::npos)
      return "a plan naming a key twice was refused for another reason: " + why;
    return {};
  }
  return read ? check_accepted(*read) : std::string();
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_plan(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  const auto rest = data.subspan(1);
  if (data[0] < 0x80)
    return check_plan_text(QByteArray(reinterpret_cast<const char*>(rest.data()),
                                      static_cast<qsizetype>(rest.size())));
  return check_built_plan(rest);
}

}  // namespace brevane::fuzzing
