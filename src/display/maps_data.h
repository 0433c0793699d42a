#pragma once
// The readings of a sweep as the Maps window shows them: one cell per raster point, kept per
// cycle, plus the latest reading of every cell across cycles, so that a new cycle paints over
// the previous one cell by cell and the live map is never blank between cycles. A live sweep
// on Repeat runs for days, so it keeps only the cycle in progress and reads the older ones
// back from its record when they are asked for.

#include <QDateTime>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "model/reading_stream.h"

namespace brevane {

struct map_cell {
  int x = 0;
  int z = 0;
  std::optional<double> temperature_f;
  std::optional<double> distance_in;
  QDateTime time;
};

// One cell per position, in rows bottom to top and each row left to right, as the painting
// walks them. Rows are contiguous: a repaint walks some 15,000 cells 30 times a second.
class map_layer {
 public:
  struct row {
    int z = 0;
    std::vector<map_cell> cells;
  };

  // Adds the cell, or replaces the one at its position.
  void put(const map_cell& cell);
  // The one rule for what a map cell holds: the last reading taken at each position, and
  // baseline readings are no cells.
  void add(const reading_event& reading);
  const map_cell* find(int x, int z) const;
  const std::vector<row>& rows() const { return rows_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::vector<row> rows_;
  std::size_t size_ = 0;
};

// Each cycle's cells, and the latest reading of each cell over all cycles.
class maps_data {
 public:
  struct cycle_cells {
    map_layer layer;
    QDateTime start;  // the time of the cycle's first cell
  };
  // A cycle's cells read back from where the sweep keeps them all.
  using cycle_reader = std::function<cycle_cells(int cycle)>;

  // From now on only the cycle in progress keeps its cells and start here; cells() and
  // cycle_start() read an older one back through read, and keep the two asked for last.
  void read_older_cycles(cycle_reader read);

  // Row starts and points become cells; baseline readings do not.
  void add(const reading_event& reading);
  void clear();

  // The scan limits and steps in use; a change widens the limits so that earlier cells keep
  // their place.
  void set_raster(const raster_in_use& raster);
  const std::optional<raster_in_use>& raster() const { return raster_; }

  // Whether a cell at (x, z) belongs on the maps: inside the scan limits in force (all of them
  // when they changed). A row start taken where the head stood before the first run is not.
  // The painting and the exported grids both ask here, so they show the same cells.
  bool on_map(int x, int z) const {
    return !raster_ ||
           (x >= raster_->xmin && x <= raster_->xmax && z >= raster_->zmin && z <= raster_->zmax);
  }

  // The highest cycle with a cell; 0 when there is none.
  int cycles() const { return cycles_.empty() ? 0 : cycles_.rbegin()->first; }
  // The time of a cycle's first cell; null when it has none.
  QDateTime cycle_start(int cycle) const;
  bool empty() const { return latest_.empty(); }

  // nullopt: the latest reading of each cell over all cycles; otherwise that cycle's cells
  // (none when the cycle has no cell). A cycle read back stays valid until two others were.
  const map_layer& cells(std::optional<int> cycle) const;

 private:
  struct read_back {
    int cycle;
    cycle_cells cells;
  };
  // An older cycle, read back or kept from the last time; none when there is no reader.
  const cycle_cells* older(int cycle) const;

  // Every cycle's cells, or only the last one's when older cycles are read back.
  std::map<int, cycle_cells> cycles_;
  map_layer latest_;
  std::optional<raster_in_use> raster_;
  cycle_reader read_;
  // The older cycles read back last, the latest asked for first; a list, so that a layer
  // handed out stays where it is while another is read.
  mutable std::list<read_back> read_back_;
};

// Feeds a sweep's reading stream into maps_data. on_change is called at the first change after
// each take_change(), so a burst of readings asks for one repaint.
class maps_listener : public reading_observer {
 public:
  explicit maps_listener(maps_data& data) : data_(data) {}

  std::function<void()> on_change;
  // True when the data changed since the last call.
  bool take_change() { return std::exchange(changed_, false); }

  void sweep_started(const raster_in_use& raster, const QDateTime& when) override;
  void reading_taken(const reading_event& reading) override;
  void readings_held(const std::vector<reading_event>& cycle) override;
  void raster_changed(const raster_in_use& raster) override;

 private:
  void changed();

  maps_data& data_;
  bool changed_ = false;
};

}  // namespace brevane
