#include "device/simulated_head_options.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

namespace brevane::device {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

template <typename Number>
std::optional<Number> parse_count(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // Only plain digits: from_chars would accept a leading minus for signed types.
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

}  // namespace

std::optional<simulated_head_options> parse_simulated_head_options(const std::string& text,
                                                                   std::string* error) {
  simulated_head_options options;
  if (trim(text).empty()) return options;

  bool seen_latency = false, seen_jitter = false, seen_silent = false, seen_unplug = false,
       seen_replug = false, seen_seed = false, seen_replay = false;
  std::string_view rest = text;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = trim(rest.substr(0, comma));
    const std::string quoted = std::string("\"").append(item).append("\"");

    if (item.empty()) {
      fail(error, "empty item in simulated head options \"" + text + "\"");
      return std::nullopt;
    }
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      fail(error, "simulated head option " + quoted +
                      " has no value; expected latency=MS, jitter=PCT, silent-after=N, "
                      "unplug-after=N, replug-after=MS, seed=N or replay=FILE");
      return std::nullopt;
    }
    const std::string_view key = trim(item.substr(0, eq));
    const std::string_view value = trim(item.substr(eq + 1));

    bool* seen = nullptr;
    bool ok = true;
    if (key == "latency") {
      seen = &seen_latency;
      const auto v = parse_count<int>(value);
      ok = v.has_value();
      if (ok) options.latency_ms = *v;
    } else if (key == "jitter") {
      seen = &seen_jitter;
      const auto v = parse_count<int>(value);
      ok = v && *v <= 100;
      if (ok) options.jitter_percent = *v;
    } else if (key == "silent-after") {
      seen = &seen_silent;
      options.silent_after = parse_count<int>(value);
      ok = options.silent_after.has_value();
    } else if (key == "unplug-after") {
      seen = &seen_unplug;
      options.unplug_after = parse_count<int>(value);
      ok = options.unplug_after.has_value();
    } else if (key == "replug-after") {
      seen = &seen_replug;
      options.replug_after_ms = parse_count<int>(value);
      ok = options.replug_after_ms.has_value();
    } else if (key == "seed") {
      seen = &seen_seed;
      const auto v = parse_count<std::uint32_t>(value);
      ok = v.has_value();
      if (ok) options.seed = *v;
    } else if (key == "replay") {
      seen = &seen_replay;
      if (value.empty()) {
        fail(error, "simulated head option " + quoted + " needs the name of a trace file");
        return std::nullopt;
      }
      options.replay = std::string(value);
    } else {
      fail(error,
           "unknown simulated head option " + quoted +
               "; expected latency, jitter, silent-after, unplug-after, replug-after, seed or "
               "replay");
      return std::nullopt;
    }
    if (!ok) {
      fail(error, "simulated head option " + quoted +
                      (key == "seed"     ? " needs a whole number from 0 to 4294967295"
                       : key == "jitter" ? " needs a whole number of percent from 0 to 100"
                                         : " needs a whole number from 0 to 2147483647"));
      return std::nullopt;
    }
    if (*seen) {
      fail(error, "simulated head option " + quoted + " repeats \"" + std::string(key) + "\"");
      return std::nullopt;
    }
    *seen = true;

    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (options.replug_after_ms && !options.unplug_after) {
    fail(error,
         "simulated head option replug-after needs unplug-after: it brings back a head "
         "that was unplugged");
    return std::nullopt;
  }
  // A replayed head answers as the recording did: it has no noise to seed, and stalls or
  // unplugs only where the recording does.
  if (seen_replay && (seen_jitter || seen_silent || seen_unplug || seen_replug || seen_seed)) {
    fail(error,
         "simulated head option replay cannot be combined with jitter, silent-after, "
         "unplug-after, replug-after or seed; the recording decides those");
    return std::nullopt;
  }
  return options;
}

}  // namespace brevane::device
