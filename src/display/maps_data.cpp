#include "display/maps_data.h"

#include <algorithm>

namespace brevane {

void map_layer::put(const map_cell& cell) {
  auto r = std::lower_bound(rows_.begin(), rows_.end(), cell.z,
                            [](const row& a, int z) { return a.z < z; });
  if (r == rows_.end() || r->z != cell.z) r = rows_.insert(r, row{cell.z, {}});
  auto c = std::lower_bound(r->cells.begin(), r->cells.end(), cell.x,
                            [](const map_cell& a, int x) { return a.x < x; });
  if (c != r->cells.end() && c->x == cell.x) {
    *c = cell;
    return;
  }
  r->cells.insert(c, cell);
  ++size_;
}

const map_cell* map_layer::find(int x, int z) const {
  const auto r =
      std::lower_bound(rows_.begin(), rows_.end(), z, [](const row& a, int v) { return a.z < v; });
  if (r == rows_.end() || r->z != z) return nullptr;
  const auto c = std::lower_bound(r->cells.begin(), r->cells.end(), x,
                                  [](const map_cell& a, int v) { return a.x < v; });
  return c != r->cells.end() && c->x == x ? &*c : nullptr;
}

void map_layer::add(const reading_event& reading) {
  if (reading.kind == reading_kind::baseline) return;
  put(map_cell{reading.x, reading.z, reading.temperature_f, reading.distance_in, reading.time});
}

void maps_data::read_older_cycles(cycle_reader read) {
  read_ = std::move(read);
  read_back_.clear();
  if (read_ && cycles_.size() > 1) cycles_.erase(cycles_.begin(), std::prev(cycles_.end()));
}

void maps_data::add(const reading_event& reading) {
  if (reading.kind == reading_kind::baseline) return;
  latest_.add(reading);
  const int last = cycles();
  if (read_ && reading.cycle < last) {
    // A cycle that is over is in the record; drop what was read of it before this reading.
    read_back_.remove_if([&](const read_back& r) { return r.cycle == reading.cycle; });
    return;
  }
  if (read_ && reading.cycle > last) cycles_.clear();
  cycle_cells& cycle = cycles_[reading.cycle];
  if (cycle.layer.empty()) cycle.start = reading.time;
  cycle.layer.add(reading);
}

void maps_data::clear() {
  cycles_.clear();
  read_back_.clear();
  latest_ = {};
  raster_.reset();
}

void maps_data::set_raster(const raster_in_use& raster) {
  if (!raster_) {
    raster_ = raster;
    return;
  }
  raster_in_use& r = *raster_;
  r.xmin = std::min(r.xmin, raster.xmin);
  r.xmax = std::max(r.xmax, raster.xmax);
  r.zmin = std::min(r.zmin, raster.zmin);
  r.zmax = std::max(r.zmax, raster.zmax);
  r.point_step = raster.point_step;
  r.row_step = raster.row_step;
}

const maps_data::cycle_cells* maps_data::older(int cycle) const {
  // Only a cycle that is over is read back: one still to come would be kept empty.
  if (!read_ || cycle < 1 || cycle >= cycles()) return nullptr;
  const auto kept = std::find_if(read_back_.begin(), read_back_.end(),
                                 [&](const read_back& r) { return r.cycle == cycle; });
  if (kept != read_back_.end()) {
    // The latest asked for goes first, so the one asked for before it stays.
    read_back_.splice(read_back_.begin(), read_back_, kept);
    return &kept->cells;
  }
  constexpr std::size_t read_back_kept = 2;
  if (read_back_.size() >= read_back_kept) read_back_.pop_back();
  read_back_.push_front(read_back{cycle, read_(cycle)});
  return &read_back_.front().cells;
}

QDateTime maps_data::cycle_start(int cycle) const {
  if (const auto found = cycles_.find(cycle); found != cycles_.end()) return found->second.start;
  const cycle_cells* read = older(cycle);
  return read ? read->start : QDateTime();
}

const map_layer& maps_data::cells(std::optional<int> cycle) const {
  if (!cycle) return latest_;
  static const map_layer none;
  if (const auto found = cycles_.find(*cycle); found != cycles_.end()) return found->second.layer;
  const cycle_cells* read = older(*cycle);
  return read ? read->layer : none;
}

void maps_listener::sweep_started(const raster_in_use& raster, const QDateTime&) {
  // A new sweep numbers its cycles from 1 again.
  data_.clear();
  data_.set_raster(raster);
  changed();
}

void maps_listener::reading_taken(const reading_event& reading) {
  if (reading.kind == reading_kind::baseline) return;
  data_.add(reading);
  changed();
}

void maps_listener::readings_held(const std::vector<reading_event>& cycle) {
  for (const reading_event& r : cycle) data_.add(r);
  changed();
}

void maps_listener::raster_changed(const raster_in_use& raster) {
  data_.set_raster(raster);
  changed();
}

void maps_listener::changed() {
  if (changed_) return;
  changed_ = true;
  if (on_change) on_change();
}

}  // namespace brevane
