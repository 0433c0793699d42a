#pragma once
// Reads arbitrary data as the options of --simulate=OPTIONS and checks what the simulated head
// relies on: a refusal says why, and options that are taken read back the same when written
// out again. Used by the fuzz target and by its regression tests.

#include <cstdint>
#include <span>
#include <string>

#include "device/simulated_head_options.h"

namespace brevane::fuzzing {

inline std::string options_text(const device::simulated_head_options& o) {
  std::string text = "latency=" + std::to_string(o.latency_ms);
  if (o.silent_after) text += ",silent-after=" + std::to_string(*o.silent_after);
  if (o.unplug_after) text += ",unplug-after=" + std::to_string(*o.unplug_after);
  if (o.replug_after_ms) text += ",replug-after=" + std::to_string(*o.replug_after_ms);
  if (o.replay)
    text += ",replay=" + *o.replay;
  else
    text += ",seed=" + std::to_string(o.seed);
  return text;
}

inline bool same(const device::simulated_head_options& a, const device::simulated_head_options& b) {
  return a.latency_ms == b.latency_ms && a.silent_after == b.silent_after &&
         a.unplug_after == b.unplug_after && a.replug_after_ms == b.replug_after_ms &&
         a.seed == b.seed && a.replay == b.replay;
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_simulate_options(std::span<const std::uint8_t> data) {
  const std::string text(reinterpret_cast<const char*>(data.data()), data.size());
  std::string error;
  const auto options = device::parse_simulated_head_options(text, &error);
  if (!options) return error.empty() ? "refused without a reason" : std::string();
  if (options->latency_ms < 0 || options->silent_after.value_or(0) < 0 ||
      options->unplug_after.value_or(0) < 0 || options->replug_after_ms.value_or(0) < 0)
    return "a negative count or time";
  if (options->replug_after_ms && !options->unplug_after) return "replug-after without unplug";
  if (options->replay && (options->replay->empty() || options->silent_after ||
                          options->unplug_after || options->replug_after_ms))
    return "a replay with options it cannot combine with";
  const std::string written = options_text(*options);
  const auto again = device::parse_simulated_head_options(written, &error);
  if (!again) return "written out as \"" + written + "\", it is refused: " + error;
  if (!same(*options, *again)) return "written out as \"" + written + "\", it reads differently";
  return {};
}

}  // namespace brevane::fuzzing
