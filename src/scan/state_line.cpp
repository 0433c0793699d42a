#include "scan/state_line.h"

#include <algorithm>
#include <cstddef>

#include "model/instrument_state.h"
#include "scan/sweep_count.h"

namespace brevane {

namespace {

std::string where(const sweep_standing& at) {
  if (at.pass == pass_direction::none) return "taking the baseline";
  std::string text = "cycle " + std::to_string(std::max(1, at.cycle));
  if (at.cycles) text += " of " + std::to_string(*at.cycles);
  return text + ", " + decimals(at.percent, 1) + "% done";
}

std::string ended(operation_ending how) {
  // In the order of the enumeration; a sweep that never ran says nothing here.
  static constexpr const char* said[] = {"failed",
                                         "completed",
                                         "was cancelled",
                                         "was stopped by the Stop box",
                                         "was stopped by an alarm",
                                         "ended when the head was lost",
                                         "failed"};
  return said[static_cast<std::size_t>(how)];
}

}  // namespace

std::string state_line(const instrument_state& s) {
  const sweep_standing& at = s.standing();
  if (s.sweeping()) {
    if (!s.head_present()) return "Sweep waiting for the head, which is gone (" + where(at) + ")";
    if (s.paused())
      return "Sweep paused by " + s.pause_reason() + " (" + where(at) +
             "); Resume or F8 goes on, Escape ends it";
    std::string text = "Sweep running: " + where(at);
    if (at.pass != pass_direction::none && at.seconds_left)
      text += ", about " + duration_text(*at.seconds_left) + " left";
    return text;
  }
  if (!s.operation().empty()) return s.operation() + " running";
  std::string text = s.head_present() ? std::string() : "No head: plug it in. ";
  if (s.last_sweep_ending() != operation_ending::none) {
    text += "Last sweep " + ended(s.last_sweep_ending()) + " at " + decimals(at.percent, 1) + "%";
  } else if (text.empty()) {
    text = "Ready";
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace brevane
