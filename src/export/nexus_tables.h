#pragma once
// The parts of a NeXus file that grow with a record: both maps' cubes and the table of
// readings, written as the readings come so that a long record is never whole in memory.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "export/grid_pass.h"
#include "export/hdf5_file.h"
#include "model/reading_stream.h"

namespace brevane::nexus {

inline constexpr double not_taken = std::numeric_limits<double>::quiet_NaN();
// Head positions are the positioner's own counts: a pure number.
inline constexpr const char* position_units = "1";

void units(hdf5::file& f, const hdf5::handle& d, const char* unit, const char* long_name);

// A column of words is written as codes, 0 for the first of names; the names, joined by
// commas, are its attribute "names", so that names.split(",")[code] is the word.
template <typename T>
std::int32_t code_of(T v, std::initializer_list<T> order) {
  // 32-bit: the NeXus tools print bytes as characters.
  return static_cast<std::int32_t>(std::find(order.begin(), order.end(), v) - order.begin());
}

template <typename T>
std::string names_of(std::initializer_list<T> order, const char* (*word)(T)) {
  std::string names;
  for (const T* v = order.begin(); v != order.end(); ++v) {
    if (v != order.begin()) names += ',';
    if (const char* w = word(*v)) names += w;
  }
  return names;
}

// Both maps as NXdata over (cycle, z, x), their cubes filled as the readings come: the cycle
// in progress is kept as a plane and written when the next begins; a reading that goes back
// to a cycle already written rewrites its one cell. So the maps cost one plane of memory
// however many cycles the record holds.
class map_cubes {
 public:
  map_cubes(hdf5::file& f, hid_t entry, const grid_axes& g);
  void add(const reading_event& e);
  // The last plane, and a blank one for every cycle without a cell on the maps.
  void finish();

 private:
  void write_plane();

  hdf5::file& f_;
  const grid_axes& g_;
  hdf5::handle thermal_, sonic_;
  std::vector<bool> written_;
  int cycle_ = 0;
  grid_planes planes_;
};

// Every reading, one dataset per column of the CSV export, appended a chunk at a time.
class readings_table {
 public:
  // rows: how many readings will come.
  readings_table(hdf5::file& f, hid_t entry, std::size_t rows);
  void add(const recorded_reading& r);
  void flush();

 private:
  static constexpr std::size_t rows_at_once = 1 << 16;
  hdf5::file& f_;
  hdf5::handle cycle_, pass_, kind_, row_, point_, x_, z_, temperature_, distance_, ms_;
  std::vector<std::int32_t> cycle, pass, kind, row, point, x, z;
  std::vector<double> temperature, distance;
  std::vector<std::int64_t> ms;
};

}  // namespace brevane::nexus
