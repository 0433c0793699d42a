#include "logging/scan_record_checks.h"

#include <algorithm>
#include <utility>

namespace brevane {

void reading_checks::widen(const raster_in_use& r) {
  limits_.xmin = std::min(limits_.xmin, r.xmin);
  limits_.xmax = std::max(limits_.xmax, r.xmax);
  limits_.zmin = std::min(limits_.zmin, r.zmin);
  limits_.zmax = std::max(limits_.zmax, r.zmax);
}

std::string reading_checks::impossible(const reading_event& e) const {
  const auto outside = [](const char* key, int v, int low, int high, const char* of) {
    return std::string("\"") + key + "\" " + std::to_string(v) + " is outside " + of + " (" +
           std::to_string(low) + "-" + std::to_string(high) + ")";
  };
  for (const auto& [key, v] : {std::pair{"x", e.x}, std::pair{"z", e.z}})
    if (v < head_position_low || v > head_position_high)
      return outside(key, v, head_position_low, head_position_high, "the head's positions");
  // A point is taken inside the limits in force; a row start only at a Z inside them (its X is
  // wherever the head stood), and the baseline wherever the head stood.
  if (e.kind == reading_kind::point && (e.x < limits_.xmin || e.x > limits_.xmax))
    return outside("x", e.x, limits_.xmin, limits_.xmax, "the record's limits");
  if (e.kind != reading_kind::baseline && (e.z < limits_.zmin || e.z > limits_.zmax))
    return outside("z", e.z, limits_.zmin, limits_.zmax, "the record's limits");
  // Cycles count up one at a time from the baseline's 0: a cycle that skips ahead names more
  // cycles than the readings hold.
  const bool baseline = e.kind == reading_kind::baseline;
  if (baseline ? e.cycle != 0 : e.cycle < 1)
    return "\"cycle\" " + std::to_string(e.cycle) + " is no cycle a " +
           (baseline ? "baseline" : "reading") + " has";
  if (e.cycle > highest_cycle_ + 1)
    return "\"cycle\" " + std::to_string(e.cycle) + " skips ahead of cycle " +
           std::to_string(highest_cycle_);
  return {};
}

void reading_checks::keep(const reading_event& e) {
  highest_cycle_ = std::max(highest_cycle_, e.cycle);
}

}  // namespace brevane
