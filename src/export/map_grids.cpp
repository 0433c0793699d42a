#include "export/map_grids.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "display/record_maps.h"

namespace brevane {

namespace {

std::size_t index_of(const std::vector<int>& axis, int v) {
  return static_cast<std::size_t>(std::lower_bound(axis.begin(), axis.end(), v) - axis.begin());
}

void sort_unique(std::vector<int>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

}  // namespace

map_grids::map_grids(maps_data data) : data_(std::move(data)) {
  for (int c = 1; c <= data_.cycles(); ++c) {
    cycles_.push_back(c);
    for (const map_layer::row& row : data_.cells(c).rows())
      for (const map_cell& cell : row.cells)
        if (data_.on_map(cell.x, row.z)) {
          z_.push_back(row.z);
          x_.push_back(cell.x);
        }
    // Kept small as it grows: a long record repeats the same few hundred positions.
    sort_unique(z_);
    sort_unique(x_);
  }
}

std::vector<double> map_grids::plane(int cycle, map_kind kind) const {
  std::vector<double> values(z_.size() * x_.size(), std::numeric_limits<double>::quiet_NaN());
  if (cycle < 1) return values;
  for (const map_layer::row& row : data_.cells(cycle).rows()) {
    const std::size_t r = index_of(z_, row.z);
    for (const map_cell& cell : row.cells) {
      if (!data_.on_map(cell.x, row.z)) continue;
      const auto& v = kind == map_kind::thermal ? cell.temperature_f : cell.distance_in;
      if (v) values[r * x_.size() + index_of(x_, cell.x)] = *v;
    }
  }
  return values;
}

map_grids grids_from_record(const scan_record& record) {
  return map_grids(maps_from_record(record));
}

}  // namespace brevane
