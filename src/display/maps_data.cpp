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

void maps_data::add(const reading_event& reading) {
  if (reading.kind == reading_kind::baseline) return;
  const map_cell cell{reading.x, reading.z, reading.temperature_f, reading.distance_in,
                      reading.time};
  map_layer& layer = cycles_[reading.cycle];
  if (layer.empty()) cycle_starts_[reading.cycle] = reading.time;
  layer.put(cell);
  latest_.put(cell);
}

void maps_data::clear() {
  cycles_.clear();
  cycle_starts_.clear();
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

QDateTime maps_data::cycle_start(int cycle) const {
  const auto found = cycle_starts_.find(cycle);
  return found == cycle_starts_.end() ? QDateTime() : found->second;
}

const map_layer& maps_data::cells(std::optional<int> cycle) const {
  if (!cycle) return latest_;
  static const map_layer none;
  const auto found = cycles_.find(*cycle);
  return found == cycles_.end() ? none : found->second;
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
