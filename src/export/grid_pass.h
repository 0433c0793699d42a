#pragma once
// The maps' grids of a record built from passes over it, for exports that must not hold a long
// record: one pass finds the axes (every position on the map, every cycle), and a later pass
// fills one cycle's plane at a time. The cells are those map_grids makes of the whole record.

#include <cstddef>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "display/maps_data.h"
#include "logging/scan_record_reader.h"

namespace brevane {

class grid_axes {
 public:
  // What a first pass over the record hands over; finish() after it.
  scan_record_stream listener();
  void finish();

  // As map_grids has them.
  const std::vector<int>& cycles() const { return cycles_; }
  const std::vector<int>& z() const { return z_; }
  const std::vector<int>& x() const { return x_; }
  bool empty() const { return cycles_.empty(); }
  std::size_t plane_size() const { return z_.size() * x_.size(); }
  // Where a reading's cell lies in a plane (row-major, row 0 the lowest Z); none when the
  // reading is no cell on the maps.
  std::optional<std::size_t> cell(const reading_event& e) const;

 private:
  maps_data limits_;                    // only its limits: the same test the window paints with
  std::set<std::pair<int, int>> seen_;  // (z, x) of every cell
  int highest_ = 0;
  std::vector<int> cycles_, z_, x_;
};

// One cycle's two planes, NaN where no reading was taken.
struct grid_planes {
  std::vector<double> thermal, sonic;

  void reset(std::size_t size);
  // The reading replaces the cell's values, absent ones included, as a later reading does on
  // the maps.
  void put(std::size_t cell, const reading_event& e);
};

// One cycle's planes from a second pass over the record.
grid_planes cycle_planes(const scan_record_source& record, const grid_axes& axes, int cycle,
                         std::string* refusal);

}  // namespace brevane
