#pragma once
// A sweep's settings as data: the keys of a scan record's "settings", validated with the
// controls' own ranges, read from plan files and scan records, written as plan files, and
// applied to the window as if the operator had set each control. The command line, the
// window's File menu and the remote interface all go through here.
//
// A plan file is one JSON object:
//   {"format": "brevane-plan", "version": 1, "settings": {"xmin": 110, "step": 5, ...}}
// Any setting may be left out; it keeps the value it has before the plan is read (at start
// the window's start value). A scan record is a plan too: its first line's settings, whose
// row_step and point_step must agree with step. Versions: a plan or record of any version
// from 1 on is read when every key in it is one this program knows; an unknown key is refused
// by name, so nothing a later program wrote is silently dropped.

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/device_constants.h"

namespace brevane {

namespace device {
class command_exchange;
}
class panel;
struct main_window_state;

struct sweep_settings {
  int xmin = 0;
  int xmax = 0;
  int zmin = 0;
  int zmax = 0;
  int step = 0;
  int gain = 0;
  bool repeat = false;
  bool stop = false;
  bool sonic_off = false;
  bool temp_off = false;
  bool x_off = false;
  bool z_off = false;
  int echo_timeout_ms = 0;
  friend bool operator==(const sweep_settings&, const sweep_settings&) = default;
};

inline constexpr const char* plan_format_name = "brevane-plan";
inline constexpr int plan_format_version = 1;

// The window's start values, with the program's echo timeout.
sweep_settings start_settings(int echo_timeout_ms = device::default_echo_timeout_ms);

// The keys, in the order a plan file lists them.
std::span<const std::string_view> sweep_setting_keys();

// Sets one setting from its text: a whole number, or true/false (also on/off, 1/0) for a box.
// Empty when done; otherwise why, naming the key, the value and what is allowed, and
// settings is unchanged.
std::string set_sweep_setting(sweep_settings& settings, std::string_view key,
                              std::string_view value);
// "KEY=VALUE", as --set gives it.
std::string set_sweep_setting(sweep_settings& settings, std::string_view assignment);

// One setting as text, as set_sweep_setting reads it ("110", "true"); empty for no such key.
std::string sweep_setting_text(const sweep_settings& settings, std::string_view key);

// The plan file's text; one line (for the remote interface) or indented (for a file).
QByteArray plan_json(const sweep_settings& settings, bool one_line = false);

// Reads a plan, or a scan record's first line, from its text. Settings left out keep base's
// values. nullopt with why (naming the key, the value and what is allowed) when refused.
std::optional<sweep_settings> plan_from_text(const QByteArray& text, const sweep_settings& base,
                                             std::string* why);

// The same from a file; why begins with the file's name.
std::optional<sweep_settings> read_plan_file(const QString& path, const sweep_settings& base,
                                             std::string* why);

// Writes the plan file through the file module; empty when done, else why, naming the file.
std::string save_plan_file(const QString& path, const sweep_settings& settings);

// What the controls hold now: the boxes and bars, the step the sweep uses, and the exchange's
// echo timeout.
sweep_settings settings_in_window(const panel& window, const main_window_state& state,
                                  const device::command_exchange& exchange);

// Sets each control as the operator would (the bars with their boxes, the step's option
// button, the gain, the six boxes) and the exchange's echo timeout. Refused, changing nothing,
// while a device operation runs: empty when applied, else why.
std::string apply_settings(const sweep_settings& settings, panel& window,
                           device::command_exchange& exchange);

}  // namespace brevane
