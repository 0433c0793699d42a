#include "export/grid_pass.h"

#include <algorithm>
#include <limits>

namespace brevane {

scan_record_stream grid_axes::listener() {
  scan_record_stream s;
  s.header = [this](const scan_record_header& h) { limits_.set_raster(h.raster); };
  s.raster_changed = [this](const raster_in_use& r) { limits_.set_raster(r); };
  s.reading = [this](const recorded_reading& r) {
    if (r.event.kind == reading_kind::baseline) return;
    seen_.emplace(r.event.z, r.event.x);
    highest_ = std::max(highest_, r.event.cycle);
  };
  return s;
}

void grid_axes::finish() {
  cycles_.clear();
  z_.clear();
  x_.clear();
  for (int c = 1; c <= highest_; ++c) cycles_.push_back(c);
  // Which cells are on the map is known only once the limits stopped widening.
  for (const auto& [z, x] : seen_)
    if (limits_.on_map(x, z)) {
      z_.push_back(z);
      x_.push_back(x);
    }
  for (std::vector<int>* axis : {&z_, &x_}) {
    std::sort(axis->begin(), axis->end());
    axis->erase(std::unique(axis->begin(), axis->end()), axis->end());
  }
}

std::optional<std::size_t> grid_axes::cell(const reading_event& e) const {
  if (e.kind == reading_kind::baseline || !limits_.on_map(e.x, e.z)) return std::nullopt;
  const auto z = std::lower_bound(z_.begin(), z_.end(), e.z);
  const auto x = std::lower_bound(x_.begin(), x_.end(), e.x);
  if (z == z_.end() || *z != e.z || x == x_.end() || *x != e.x) return std::nullopt;
  return static_cast<std::size_t>(z - z_.begin()) * x_.size() +
         static_cast<std::size_t>(x - x_.begin());
}

void grid_planes::reset(std::size_t size) {
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  thermal.assign(size, none);
  sonic.assign(size, none);
}

void grid_planes::put(std::size_t cell, const reading_event& e) {
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  thermal[cell] = e.temperature_f.value_or(none);
  sonic[cell] = e.distance_in.value_or(none);
}

grid_planes cycle_planes(const scan_record_source& record, const grid_axes& axes, int cycle,
                         std::string* refusal) {
  grid_planes planes;
  planes.reset(axes.plane_size());
  scan_record_stream s;
  s.reading = [&](const recorded_reading& r) {
    if (r.event.cycle != cycle) return;
    if (const auto cell = axes.cell(r.event)) planes.put(*cell, r.event);
  };
  if (!record(s, refusal)) planes.reset(0);
  return planes;
}

}  // namespace brevane
