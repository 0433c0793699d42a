#include "export/nexus_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "common/apart.h"
#include "common/file_output.h"
#include "export/grid_pass.h"
#include "export/hdf5_file.h"
#include "export/nexus_tables.h"
#include "logging/scan_record_fields.h"

namespace brevane {

namespace {

using namespace scan_record_fields;
using hdf5::handle;
using namespace nexus;

std::string iso(const QDateTime& t) {
  return t.toString(Qt::ISODateWithMs).toStdString();
}

std::string hdf5_version() {
  unsigned major = 0, minor = 0, release = 0;
  H5get_libversion(&major, &minor, &release);
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release);
}

template <typename T>
void words(hdf5::file& f, hid_t parent, const char* name, const std::vector<T>& values,
           std::initializer_list<T> order, const char* (*word)(T)) {
  std::vector<std::int32_t> codes;
  codes.reserve(values.size());
  for (const T v : values) codes.push_back(code_of(v, order));
  f.attribute(f.column(parent, name, codes).id(), "names", names_of(order, word));
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

// Everything but the maps and the readings; the entry, for them.
handle write_entry(hdf5::file& f, const scan_record& record, const QString& title) {
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
      if (record.problems_left_out > 0)
        lines += "\n... and " + std::to_string(record.problems_left_out) + " more damaged lines";
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
  write_settings(f, entry.id(), h.settings);
  write_events(f, entry.id(), record);
  return entry;
}

// The whole file at path, the readings read once more from the record as they are written.
// "cannot be ...: why" when it cannot be made.
std::string write_file(const std::string& path, const scan_record_source& source,
                       const scan_record& record, const grid_axes& grids, const QString& title,
                       const QString& target, const std::string& program_version) {
  hdf5::file f(path);
  f.attribute(f.root(), "NX_class", "NXroot");
  f.attribute(f.root(), "default", "entry");
  f.attribute(f.root(), "file_name", QFileInfo(target).fileName().toStdString());
  f.attribute(f.root(), "file_time", iso(QDateTime::currentDateTimeUtc()));
  f.attribute(f.root(), "creator", "Brevane " + program_version);
  f.attribute(f.root(), "HDF5_Version", hdf5_version());
  std::string refusal;
  {
    handle entry = write_entry(f, record, title);
    map_cubes maps(f, entry.id(), grids);
    readings_table readings(f, entry.id(), record.reading_count);
    scan_record_stream stream;
    stream.reading = [&](const recorded_reading& r) {
      if (f.failed()) return;
      maps.add(r.event);
      readings.add(r);
    };
    if (!f.failed() && !source(stream, &refusal)) return "cannot be made: " + refusal;
    maps.finish();
    readings.flush();
  }
  const std::string why = f.close();
  if (why.empty()) return {};
  return (f.failed_writing() ? "cannot be written: " : "cannot be made: HDF5: ") + why;
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
  return export_nexus(record_held(record), record_path, target, program_version, nullptr);
}

std::string export_nexus(const scan_record_source& source, const QString& record_path,
                         const QString& target, const std::string& program_version,
                         scan_record* summary) {
  // The first pass finds the maps' axes; the second writes the readings and the maps.
  grid_axes grids;
  std::string refusal;
  auto record = source(grids.listener(), &refusal);
  if (!record) return refusal;
  grids.finish();
  const QString title = QFileInfo(record_path).fileName();
  std::string made;
  const std::string why = files::write_whole_by_name(target, [&](const QString& temporary) {
    const std::string path = QFile::encodeName(temporary).toStdString();
    made = run_apart(
        [&] { return write_file(path, source, *record, grids, title, target, program_version); });
    if (!made.empty() && made.rfind("cannot be ", 0) != 0) made = "cannot be written: " + made;
    return made;
  });
  if (summary) *summary = std::move(*record);
  const std::string name = "the NeXus file " + QDir::toNativeSeparators(target).toStdString();
  if (!made.empty()) return name + " " + made;
  if (!why.empty()) return name + " cannot be written: " + why;
  return {};
}

}  // namespace brevane
