#pragma once
// The maps as data: for each cycle of a record, the thermal and the sonic grid over (z, x),
// each cell the last reading taken at that position in that cycle and NaN where none was
// (a sensor off, a point not reached, a sweep cut short). The cells are the Maps window's own
// (maps_data decides what a cell holds and which cells are on the map), so a grid holds
// exactly what the window paints.

#include <vector>

#include "display/maps_data.h"
#include "display/maps_render.h"
#include "logging/scan_record_reader.h"

namespace brevane {

class map_grids {
 public:
  explicit map_grids(maps_data data);

  // 1, 2, ... up to the last cycle with a cell; the baseline (cycle 0) is no map.
  const std::vector<int>& cycles() const { return cycles_; }
  // Every Z and every X that some cycle visited on the map, ascending: one set of axes for
  // all the cycles, so the grids stack. Both run directions' columns are among the X.
  const std::vector<int>& z() const { return z_; }
  const std::vector<int>& x() const { return x_; }
  bool empty() const { return cycles_.empty(); }

  // One cycle's grid: z().size() rows of x().size() values, row 0 the lowest Z and column 0
  // the lowest X. All NaN for a cycle the record does not hold.
  std::vector<double> plane(int cycle, map_kind kind) const;

 private:
  maps_data data_;
  std::vector<int> cycles_, z_, x_;
};

// The grids of every reading of the record, with its raster changes applied.
map_grids grids_from_record(const scan_record& record);

}  // namespace brevane
