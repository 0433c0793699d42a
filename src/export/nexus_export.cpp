#include "export/nexus_export.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "common/file_output.h"
#include "export/hdf5_file.h"
#include "export/map_grids.h"
#include "logging/scan_record_fields.h"

namespace brevane {

namespace {

using namespace scan_record_fields;
using hdf5::handle;

constexpr double not_taken = std::numeric_limits<double>::quiet_NaN();
// Head positions are the positioner's own counts: a pure number.
constexpr const char* position_units = "1";

std::string iso(const QDateTime& t) {
  return t.toString(Qt::ISODateWithMs).toStdString();
}

std::string hdf5_version() {
  unsigned major = 0, minor = 0, release = 0;
  H5get_libversion(&major, &minor, &release);
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release);
}

void units(hdf5::file& f, const handle& d, const char* unit, const char* long_name) {
  if (unit) f.attribute(d.id(), "units", unit);
  f.attribute(d.id(), "long_name", long_name);
}

std::vector<std::int32_t> as_int32(const std::vector<int>& v) {
  return {v.begin(), v.end()};
}

// NXdata's x and z are NX_FLOAT; a head position is a whole count, exact in a double.
std::vector<double> as_float(const std::vector<int>& v) {
  return {v.begin(), v.end()};
}

// A column of words as codes, 0 for the first of names; the names, joined by commas, are its
// attribute "names", so that names.split(",")[code] is the word.
template <typename T>
void words(hdf5::file& f, hid_t parent, const char* name, const std::vector<T>& values,
           std::initializer_list<T> order, const char* (*word)(T)) {
  // 32-bit: the NeXus tools print bytes as characters.
  std::vector<std::int32_t> codes;
  codes.reserve(values.size());
  for (const T v : values) {
    const auto at = std::find(order.begin(), order.end(), v) - order.begin();
    codes.push_back(static_cast<std::int32_t>(at));
  }
  std::string names;
  for (const T* v = order.begin(); v != order.end(); ++v) {
    if (v != order.begin()) names += ',';
    if (const char* w = word(*v)) names += w;
  }
  f.attribute(f.column(parent, name, codes).id(), "names", names);
}

// NXdata over (cycle, z, x): the signal and its three axes, in the NXdata standard's words.
void write_map(hdf5::file& f, hid_t entry, const map_grids& g, map_kind kind) {
  const bool thermal = kind == map_kind::thermal;
  const char* signal = thermal ? "temperature" : "distance";
  handle data = f.group(entry, thermal ? "thermal" : "sonic", "NXdata");
  f.attribute(data.id(), "signal", signal);
  f.attribute(data.id(), "axes", std::vector<std::string>{"cycle", "z", "x"});
  f.attribute(data.id(), "cycle_indices", std::int64_t{0});
  f.attribute(data.id(), "z_indices", std::int64_t{1});
  f.attribute(data.id(), "x_indices", std::int64_t{2});
  f.attribute(data.id(), "title", thermal ? "Thermal map" : "Sonic map");
  {
    handle cube = f.cube(data.id(), signal, {g.cycles().size(), g.z().size(), g.x().size()});
    units(f, cube, thermal ? "degF" : "in", thermal ? "temperature (\u00b0F)" : "distance (in)");
    for (std::size_t i = 0; i < g.cycles().size(); ++i)
      f.write_plane(cube.id(), i, g.plane(g.cycles()[i], kind));
  }
  units(f, f.column(data.id(), "cycle", as_int32(g.cycles())), nullptr, "cycle");
  units(f, f.column(data.id(), "z", as_float(g.z())), position_units, "Z (head position)");
  units(f, f.column(data.id(), "x", as_float(g.x())), position_units, "X (head position)");
}

// One dataset per setting, typed as the record has it. A key that is no HDF5 name ("a/b",
// ".", "") is kept under an escaped name, its own spelling in the description.
void write_settings(hdf5::file& f, hid_t entry, const QJsonObject& settings) {
  handle group = f.group(entry, "parameters", "NXparameters");
  for (auto it = settings.begin(); it != settings.end(); ++it) {
    const std::string key = it.key().toStdString();
    const std::string name = link_name(key);
    const char* n = name.c_str();
    const QJsonValue v = it.value();
    handle d;
    if (v.isBool()) {
      d = f.truth(group.id(), n, v.toBool());
    } else if (v.isDouble()) {
      const double x = v.toDouble();
      d = x == std::floor(x) && std::abs(x) < 9e15
              ? f.number(group.id(), n, static_cast<std::int64_t>(x))
              : f.number(group.id(), n, x);
    } else if (v.isString()) {
      d = f.text(group.id(), n, v.toString().toStdString());
    } else if (!v.isNull()) {
      const QJsonDocument doc =
          v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject());
      d = f.text(group.id(), n, doc.toJson(QJsonDocument::Compact).toStdString());
    }
    if (d.valid() && name != key) f.attribute(d.id(), "description", key);
  }
}

// Every reading, one dataset per column of the CSV export.
void write_readings(hdf5::file& f, hid_t entry, const std::vector<recorded_reading>& readings) {
  handle table = f.group(entry, "readings", "NXcollection");
  const std::size_t n = readings.size();
  std::vector<std::int32_t> cycle(n), row(n), point(n), x(n), z(n);
  std::vector<pass_direction> pass(n);
  std::vector<reading_kind> kind(n);
  std::vector<double> temperature(n), distance(n);
  std::vector<std::int64_t> ms(n);
  for (std::size_t i = 0; i < n; ++i) {
    const reading_event& e = readings[i].event;
    cycle[i] = e.cycle;
    pass[i] = e.pass;
    kind[i] = e.kind;
    row[i] = e.row;
    point[i] = e.point;
    x[i] = e.x;
    z[i] = e.z;
    temperature[i] = e.temperature_f.value_or(not_taken);
    distance[i] = e.distance_in.value_or(not_taken);
    ms[i] = readings[i].ms;
  }
  f.column(table.id(), "cycle", cycle);
  words(f, table.id(), "pass", pass,
        {pass_direction::none, pass_direction::upward, pass_direction::downward}, pass_name);
  words(f, table.id(), "kind", kind,
        {reading_kind::baseline, reading_kind::row_start, reading_kind::point}, kind_name);
  f.column(table.id(), "row", row);
  f.column(table.id(), "point", point);
  units(f, f.column(table.id(), "x", x), position_units, "X (head position)");
  units(f, f.column(table.id(), "z", z), position_units, "Z (head position)");
  units(f, f.column(table.id(), "temperature_f", temperature), "degF", "temperature (\u00b0F)");
  units(f, f.column(table.id(), "distance_in", distance), "in", "distance (in)");
  units(f, f.column(table.id(), "ms", ms), "ms", "time since the sweep's start");
}

// The raster changes and the pauses and head losses, with the reading each came before.
void write_events(hdf5::file& f, hid_t entry, const scan_record& record) {
  {
    handle table = f.group(entry, "raster_changes", "NXcollection");
    std::vector<std::int64_t> before;
    std::vector<std::int32_t> xmin, xmax, zmin, zmax, row_step, point_step;
    for (const recorded_raster_change& c : record.raster_changes) {
      before.push_back(static_cast<std::int64_t>(c.before_reading));
      xmin.push_back(c.raster.xmin);
      xmax.push_back(c.raster.xmax);
      zmin.push_back(c.raster.zmin);
      zmax.push_back(c.raster.zmax);
      row_step.push_back(c.raster.row_step);
      point_step.push_back(c.raster.point_step);
    }
    f.column(table.id(), "before_reading", before);
    f.column(table.id(), "xmin", xmin);
    f.column(table.id(), "xmax", xmax);
    f.column(table.id(), "zmin", zmin);
    f.column(table.id(), "zmax", zmax);
    f.column(table.id(), "row_step", row_step);
    f.column(table.id(), "point_step", point_step);
  }
  handle table = f.group(entry, "interruptions", "NXcollection");
  std::vector<interruption> what;
  std::vector<std::int64_t> before, ms;
  std::vector<std::int32_t> cycle, x, z;
  for (const recorded_interruption& i : record.interruptions) {
    what.push_back(i.what);
    before.push_back(static_cast<std::int64_t>(i.before_reading));
    cycle.push_back(i.where.cycle);
    x.push_back(i.where.x);
    z.push_back(i.where.z);
    ms.push_back(record.header.start.msecsTo(i.where.time));
  }
  words(f, table.id(), "what", what,
        {interruption::paused, interruption::resumed, interruption::head_lost,
         interruption::head_back},
        interruption_name);
  f.column(table.id(), "before_reading", before);
  f.column(table.id(), "cycle", cycle);
  f.column(table.id(), "x", x);
  f.column(table.id(), "z", z);
  units(f, f.column(table.id(), "ms", ms), "ms", "time since the sweep's start");
}

void write_entry(hdf5::file& f, const scan_record& record, const map_grids& grids,
                 const QString& title) {
  const scan_record_header& h = record.header;
  handle entry = f.group(f.root(), "entry", "NXentry");
  // The default plot opens with no clicks: file -> entry -> thermal.
  f.attribute(entry.id(), "default", "thermal");
  f.text(entry.id(), "title", title.toStdString());
  f.text(entry.id(), "start_time", iso(h.start));
  // A record cut short does not know when the sweep ended; no time is made up for it.
  if (record.end && record.end->when.isValid())
    f.text(entry.id(), "end_time", iso(record.end->when));
  {
    handle program = f.text(entry.id(), "program_name", "Brevane");
    f.attribute(program.id(), "version", h.program_version);
  }
  {
    // What NXentry has no field for lies in a collection of this program's own.
    handle own = f.group(entry.id(), "brevane", "NXcollection");
    f.text(own.id(), "sweep_end", scan_record_ending(record));
    if (record.end && !record.end->message.empty())
      f.text(own.id(), "sweep_end_message", record.end->message);
    if (record.avgt)
      units(f, f.number(own.id(), "baseline_average", *record.avgt), "degF",
            "baseline temperature (\u00b0F)");
    if (!record.problems.empty()) {
      // One line a problem: a text, as every text here.
      std::string lines;
      for (const std::string& p : record.problems) lines += (lines.empty() ? "" : "\n") + p;
      f.text(own.id(), "record_problems", lines);
    }
  }
  {
    handle head = f.group(entry.id(), "instrument", "NXinstrument");
    f.text(head.id(), "name", h.head_kind == "usb" ? "USB scanning head" : "simulated head");
    // NXinstrument defines only its name; the head's own words go in a collection.
    handle own = f.group(head.id(), "brevane", "NXcollection");
    const std::pair<const char*, const std::string*> fields[] = {{"kind", &h.head_kind},
                                                                 {"options", &h.head_options},
                                                                 {"serial", &h.head_serial},
                                                                 {"path", &h.head_path}};
    for (const auto& [name, value] : fields)
      if (!value->empty()) f.text(own.id(), name, *value);
  }
  write_map(f, entry.id(), grids, map_kind::thermal);
  write_map(f, entry.id(), grids, map_kind::sonic);
  write_settings(f, entry.id(), h.settings);
  write_readings(f, entry.id(), record.readings);
  write_events(f, entry.id(), record);
}

}  // namespace

std::string link_name(std::string_view key) {
  const bool dots_only = key.find_first_not_of('.') == std::string_view::npos;
  if (key.empty()) return "%";
  std::string name;
  name.reserve(key.size());
  for (const char c : key) {
    if (c == '/')
      name += "%2F";
    else if (c == '%')
      name += "%25";
    else if (c == '\0')
      name += "%00";
    else if (c == '.' && dots_only)
      name += "%2E";
    else
      name += c;
  }
  return name;
}

std::string export_nexus(const scan_record& record, const QString& record_path,
                         const QString& target, const std::string& program_version) {
  const map_grids grids = grids_from_record(record);
  QByteArray image;
  std::string why;
  {
    // About 60 bytes a reading in its table and 16 a cell in the two maps, plus the rest.
    hdf5::file f(record.readings.size() * 60 +
                 grids.cycles().size() * grids.z().size() * grids.x().size() * 16 + (1 << 20));
    f.attribute(f.root(), "NX_class", "NXroot");
    f.attribute(f.root(), "default", "entry");
    f.attribute(f.root(), "file_name", QFileInfo(target).fileName().toStdString());
    f.attribute(f.root(), "file_time", iso(QDateTime::currentDateTimeUtc()));
    f.attribute(f.root(), "creator", "Brevane " + program_version);
    f.attribute(f.root(), "HDF5_Version", hdf5_version());
    write_entry(f, record, grids, QFileInfo(record_path).fileName());
    why = f.close(&image);
  }
  if (!why.empty())
    return "the NeXus file " + QDir::toNativeSeparators(target).toStdString() +
           " cannot be made: HDF5: " + why;
  why = files::write_whole(target, image);
  if (why.empty()) return {};
  return "the NeXus file " + QDir::toNativeSeparators(target).toStdString() +
         " cannot be written: " + why;
}

}  // namespace brevane
