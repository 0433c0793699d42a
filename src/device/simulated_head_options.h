#pragma once
// The simulated head's options, as "--simulate=OPTIONS" gives them.

#include <cstdint>
#include <optional>
#include <string>

namespace brevane::device {

struct simulated_head_options {
  static constexpr std::uint32_t default_seed = 1729;

  int latency_ms = 0;  // delay of every answer after its write
  // Each answer's delay varies by up to this many percent of the latency either way, the same
  // on every run with the same seed.
  int jitter_percent = 0;
  std::optional<int> silent_after;  // answers the first N commands, then nothing
  std::optional<int> unplug_after;  // unplugged after the N-th command
  // With unplug_after: the head comes back this long after it went, once, as a restarted head
  // with a new handle.
  std::optional<int> replug_after_ms;
  std::uint32_t seed = default_seed;
  // Answers from this recorded trace instead of the scene; only latency applies with it.
  std::optional<std::string> replay;
};

// Reads "latency=MS,jitter=PCT,silent-after=N,unplug-after=N,replug-after=MS,seed=N,replay=FILE"
// (any subset, any order; empty text gives the defaults). On failure returns nullopt and, when
// error is given, says which item is wrong.
std::optional<simulated_head_options> parse_simulated_head_options(const std::string& text,
                                                                   std::string* error);

}  // namespace brevane::device
