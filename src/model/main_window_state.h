#pragma once
// The state the main window owns for the whole run. The report buffers and the read flag
// belong to the command exchange; the scope keeps its own trace values.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "model/control_ranges.h"

namespace brevane {

// 501 x 501 cells, first index X (posx - 100), second Z (posz - 140).
class map_grid {
 public:
  static constexpr int size = 501;
  map_grid() : cells_(static_cast<std::size_t>(size) * size, 0) {}
  static bool in_range(int i, int j) { return i >= 0 && i < size && j >= 0 && j < size; }
  std::int16_t& at(int i, int j) { return cells_[static_cast<std::size_t>(i) * size + j]; }
  std::int16_t at(int i, int j) const { return cells_[static_cast<std::size_t>(i) * size + j]; }
  void clear() { std::fill(cells_.begin(), cells_.end(), std::int16_t{0}); }
  bool all_zero() const {
    for (auto v : cells_)
      if (v != 0) return false;
    return true;
  }

 private:
  std::vector<std::int16_t> cells_;
};

struct main_window_state {
  std::string tem;       // latest filtered date stem
  std::int16_t pos = 0;  // argument of the next X or Z move
  int posx = 0;          // last commanded X position
  int posz = 0;          // last commanded Z position
  std::int16_t step_d = 0;
  double mint = 0.0;
  double maxt = 0.0;
  double dmin = 0.0;
  double dmax = 0.0;
  std::int16_t last_temperature = 0;  // the last temperature, rounded
  std::int16_t last_distance = 0;     // the last distance in whole inches
  double avgt = 0.0;
  std::int16_t cnt = 0;
  std::int16_t wp = 0;
  map_grid thermal_map;
  map_grid sonic_map;
};

// Start-up values that differ from the defaults.
inline void apply_startup_values(main_window_state& s) {
  s.step_d = step_choices[start_step_index];
  s.maxt = 0.0;
  s.mint = 100.0;
  s.dmin = 9999.0;
  s.dmax = 0.0;
  s.wp = 0;
}

}  // namespace brevane
