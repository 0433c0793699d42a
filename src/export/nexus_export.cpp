#include "export/nexus_export.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
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
  units(f, f.column(data.id(), "z", as_int32(g.z())), position_units, "Z (head position)");
  units(f, f.column(data.id(), "x", as_int32(g.x())), position_units, "X (head position)");
}

// One dataset per setting, typed as the record has it.
void write_settings(hdf5::file& f, hid_t entry, const QJsonObject& settings) {
  handle group = f.group(entry, "parameters", "NXparameters");
  for (auto it = settings.begin(); it != settings.end(); ++it) {
    const QByteArray key = it.key().toUtf8();
    const QJsonValue v = it.value();
    if (v.isBool()) {
      f.truth(group.id(), key.constData(), v.toBool());
    } else if (v.isDouble()) {
      const double d = v.toDouble();
      if (d == std::floor(d) && std::abs(d) < 9e15)
        f.number(group.id(), key.constData(), static_cast<std::int64_t>(d));
      else
        f.number(group.id(), key.constData(), d);
    } else if (v.isString()) {
      f.text(group.id(), key.constData(), v.toString().toStdString());
    } else if (!v.isNull()) {
      const QJsonDocument doc =
          v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject());
      f.text(group.id(), key.constData(), doc.toJson(QJsonDocument::Compact).toStdString());
    }
  }
}

// Every reading, one dataset per column of the CSV export.
void write_readings(hdf5::file& f, hid_t entry, const std::vector<recorded_reading>& readings) {
  handle table = f.group(entry, "readings", "NXcollection");
  const std::size_t n = readings.size();
  std::vector<std::int32_t> cycle(n), row(n), point(n), x(n), z(n);
  std::vector<std::string_view> pass(n), kind(n);
  std::vector<double> temperature(n), distance(n);
  std::vector<std::int64_t> ms(n);
  for (std::size_t i = 0; i < n; ++i) {
    const reading_event& e = readings[i].event;
    cycle[i] = e.cycle;
    const char* p = pass_name(e.pass);
    pass[i] = p ? p : "";
    kind[i] = kind_name(e.kind);
    row[i] = e.row;
    point[i] = e.point;
    x[i] = e.x;
    z[i] = e.z;
    temperature[i] = e.temperature_f.value_or(not_taken);
    distance[i] = e.distance_in.value_or(not_taken);
    ms[i] = readings[i].ms;
  }
  f.column(table.id(), "cycle", cycle);
  f.fixed_texts(table.id(), "pass", pass);
  f.fixed_texts(table.id(), "kind", kind);
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
  std::vector<std::string> what;
  std::vector<std::int64_t> before, ms;
  std::vector<std::int32_t> cycle, x, z;
  for (const recorded_interruption& i : record.interruptions) {
    what.push_back(interruption_name(i.what));
    before.push_back(static_cast<std::int64_t>(i.before_reading));
    cycle.push_back(i.where.cycle);
    x.push_back(i.where.x);
    z.push_back(i.where.z);
    ms.push_back(record.header.start.msecsTo(i.where.time));
  }
  f.texts(table.id(), "what", what);
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
  f.text(entry.id(), "sweep_end", scan_record_ending(record));
  if (record.end && !record.end->message.empty())
    f.text(entry.id(), "sweep_end_message", record.end->message);
  if (record.avgt)
    units(f, f.number(entry.id(), "baseline_average", *record.avgt), "degF",
          "baseline temperature (\u00b0F)");
  if (!record.problems.empty()) f.texts(entry.id(), "record_problems", record.problems);
  {
    handle head = f.group(entry.id(), "instrument", "NXinstrument");
    f.text(head.id(), "name", h.head_kind == "usb" ? "USB scanning head" : "simulated head");
    const std::pair<const char*, const std::string*> fields[] = {{"kind", &h.head_kind},
                                                                 {"options", &h.head_options},
                                                                 {"serial", &h.head_serial},
                                                                 {"path", &h.head_path}};
    for (const auto& [name, value] : fields)
      if (!value->empty()) f.text(head.id(), name, *value);
  }
  write_map(f, entry.id(), grids, map_kind::thermal);
  write_map(f, entry.id(), grids, map_kind::sonic);
  write_settings(f, entry.id(), h.settings);
  write_readings(f, entry.id(), record.readings);
  write_events(f, entry.id(), record);
}

}  // namespace

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
