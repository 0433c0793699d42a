#include "export/nexus_tables.h"

#include <utility>

#include "display/maps_layout.h"
#include "logging/scan_record_fields.h"

namespace brevane::nexus {

using hdf5::handle;
using scan_record_fields::kind_name;
using scan_record_fields::pass_name;

namespace {

constexpr std::initializer_list<pass_direction> pass_order = {
    pass_direction::none, pass_direction::upward, pass_direction::downward};
constexpr std::initializer_list<reading_kind> kind_order = {
    reading_kind::baseline, reading_kind::row_start, reading_kind::point};

std::vector<std::int32_t> as_int32(const std::vector<int>& v) {
  return {v.begin(), v.end()};
}

// NXdata's x and z are NX_FLOAT; a head position is a whole count, exact in a double.
std::vector<double> as_float(const std::vector<int>& v) {
  return {v.begin(), v.end()};
}

// NXdata over (cycle, z, x): the signal and its three axes, in the NXdata standard's words.
// The signal's planes are written as the readings come (see map_cubes).
hdf5::handle open_map(hdf5::file& f, hid_t entry, const grid_axes& g, map_kind kind) {
  const bool thermal = kind == map_kind::thermal;
  const char* signal = thermal ? "temperature" : "distance";
  handle data = f.group(entry, thermal ? "thermal" : "sonic", "NXdata");
  f.attribute(data.id(), "signal", signal);
  f.attribute(data.id(), "axes", std::vector<std::string>{"cycle", "z", "x"});
  f.attribute(data.id(), "cycle_indices", std::int64_t{0});
  f.attribute(data.id(), "z_indices", std::int64_t{1});
  f.attribute(data.id(), "x_indices", std::int64_t{2});
  f.attribute(data.id(), "title", thermal ? "Thermal map" : "Sonic map");
  handle cube = f.cube(data.id(), signal, {g.cycles().size(), g.z().size(), g.x().size()});
  units(f, cube, thermal ? "degF" : "in", thermal ? "temperature (\u00b0F)" : "distance (in)");
  units(f, f.column(data.id(), "cycle", as_int32(g.cycles())), nullptr, "cycle");
  units(f, f.column(data.id(), "z", as_float(g.z())), position_units, "Z (head position)");
  units(f, f.column(data.id(), "x", as_float(g.x())), position_units, "X (head position)");
  return cube;
}

}  // namespace

void units(hdf5::file& f, const handle& d, const char* unit, const char* long_name) {
  if (unit) f.attribute(d.id(), "units", unit);
  f.attribute(d.id(), "long_name", long_name);
}

map_cubes::map_cubes(hdf5::file& f, hid_t entry, const grid_axes& g)
    : f_(f),
      g_(g),
      thermal_(open_map(f, entry, g, map_kind::thermal)),
      sonic_(open_map(f, entry, g, map_kind::sonic)),
      written_(g.cycles().size(), false) {}

void map_cubes::add(const reading_event& e) {
  const auto cell = g_.cell(e);
  if (!cell || e.cycle < 1 || static_cast<std::size_t>(e.cycle) > written_.size()) return;
  if (e.cycle > cycle_) {
    write_plane();
    cycle_ = e.cycle;
    planes_.reset(g_.plane_size());
  }
  if (e.cycle == cycle_) {
    planes_.put(*cell, e);
    return;
  }
  const auto plane = static_cast<hsize_t>(e.cycle - 1);
  const hsize_t row = *cell / g_.x().size(), column = *cell % g_.x().size();
  f_.write_cell(thermal_.id(), plane, row, column, e.temperature_f.value_or(not_taken));
  f_.write_cell(sonic_.id(), plane, row, column, e.distance_in.value_or(not_taken));
}

void map_cubes::finish() {
  write_plane();
  planes_.reset(g_.plane_size());
  for (std::size_t i = 0; i < written_.size(); ++i)
    if (!written_[i]) {
      f_.write_plane(thermal_.id(), i, planes_.thermal);
      f_.write_plane(sonic_.id(), i, planes_.sonic);
    }
}

void map_cubes::write_plane() {
  if (cycle_ < 1) return;
  const auto i = static_cast<std::size_t>(cycle_ - 1);
  f_.write_plane(thermal_.id(), i, planes_.thermal);
  f_.write_plane(sonic_.id(), i, planes_.sonic);
  written_[i] = true;
}

readings_table::readings_table(hdf5::file& f, hid_t entry, std::size_t rows) : f_(f) {
  handle table = f.group(entry, "readings", "NXcollection");
  const hid_t t = table.id();
  cycle_ = f.growing_column(t, "cycle", H5T_STD_I32LE, rows);
  pass_ = f.growing_column(t, "pass", H5T_STD_I32LE, rows);
  f.attribute(pass_.id(), "names", names_of(pass_order, pass_name));
  kind_ = f.growing_column(t, "kind", H5T_STD_I32LE, rows);
  f.attribute(kind_.id(), "names", names_of(kind_order, kind_name));
  row_ = f.growing_column(t, "row", H5T_STD_I32LE, rows);
  point_ = f.growing_column(t, "point", H5T_STD_I32LE, rows);
  x_ = f.growing_column(t, "x", H5T_STD_I32LE, rows);
  units(f, x_, position_units, "X (head position)");
  z_ = f.growing_column(t, "z", H5T_STD_I32LE, rows);
  units(f, z_, position_units, "Z (head position)");
  temperature_ = f.growing_column(t, "temperature_f", H5T_IEEE_F64LE, rows);
  units(f, temperature_, "degF", "temperature (\u00b0F)");
  distance_ = f.growing_column(t, "distance_in", H5T_IEEE_F64LE, rows);
  units(f, distance_, "in", "distance (in)");
  ms_ = f.growing_column(t, "ms", H5T_STD_I64LE, rows);
  units(f, ms_, "ms", "time since the sweep's start");
}

void readings_table::add(const recorded_reading& r) {
  const reading_event& e = r.event;
  for (const auto& [column, v] :
       {std::pair{&cycle, e.cycle}, std::pair{&row, e.row}, std::pair{&point, e.point},
        std::pair{&x, e.x}, std::pair{&z, e.z}})
    column->push_back(v);
  pass.push_back(code_of(e.pass, pass_order));
  kind.push_back(code_of(e.kind, kind_order));
  temperature.push_back(e.temperature_f.value_or(not_taken));
  distance.push_back(e.distance_in.value_or(not_taken));
  ms.push_back(r.ms);
  if (ms.size() >= rows_at_once) flush();
}

void readings_table::flush() {
  const std::pair<const handle*, std::vector<std::int32_t>*> whole[] = {
      {&cycle_, &cycle}, {&pass_, &pass}, {&kind_, &kind}, {&row_, &row},
      {&point_, &point}, {&x_, &x},       {&z_, &z}};
  for (const auto& [column, values] : whole) {
    f_.append(column->id(), H5T_NATIVE_INT32, values->data(), values->size());
    values->clear();
  }
  f_.append(temperature_.id(), H5T_NATIVE_DOUBLE, temperature.data(), temperature.size());
  f_.append(distance_.id(), H5T_NATIVE_DOUBLE, distance.data(), distance.size());
  f_.append(ms_.id(), H5T_NATIVE_INT64, ms.data(), ms.size());
  temperature.clear();
  distance.clear();
  ms.clear();
}

}  // namespace brevane::nexus
