#include "logging/scan_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>

#include "device/simulated_head_options.h"
#include "logging/scan_record_fields.h"
#include "model/panel.h"

namespace brevane {

using namespace scan_record_fields;

namespace {

// A time as ISO 8601 with its offset from UTC written out, so the record reads the same in
// any zone.
QString iso_with_offset(const QDateTime& when) {
  return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QJsonValue optional_number(const std::optional<double>& v) {
  return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonValue text_or_null(const std::string& s) {
  return s.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(s));
}

// Local wall-clock milliseconds since 1970, read from the fields without asking the zone data.
qint64 local_ms(const QDateTime& t) {
  constexpr qint64 julian_day_1970 = 2440588;
  return (t.date().toJulianDay() - julian_day_1970) * 86400000LL + t.time().msecsSinceStartOfDay();
}

// A pause or an end an alarm caused: the reading that set it off, in the words of the status
// bar. Readers that know no reason key read the line as before.
void put_alarm(QJsonObject& o, const std::string& alarm) {
  o.insert(QLatin1String("reason"), QLatin1String("alarm"));
  o.insert(QLatin1String("message"), QString::fromStdString(alarm));
}

void put_raster(QJsonObject& o, const raster_in_use& r) {
  o.insert(QLatin1String("xmin"), r.xmin);
  o.insert(QLatin1String("xmax"), r.xmax);
  o.insert(QLatin1String("zmin"), r.zmin);
  o.insert(QLatin1String("zmax"), r.zmax);
  o.insert(QLatin1String("row_step"), r.row_step);
  o.insert(QLatin1String("point_step"), r.point_step);
}

}  // namespace

head_description simulated_head_description(const device::simulated_head_options& options) {
  std::string text = "latency=" + std::to_string(options.latency_ms);
  if (options.jitter_percent > 0) text += ",jitter=" + std::to_string(options.jitter_percent);
  if (options.silent_after) text += ",silent-after=" + std::to_string(*options.silent_after);
  if (options.unplug_after) text += ",unplug-after=" + std::to_string(*options.unplug_after);
  if (options.replug_after_ms) text += ",replug-after=" + std::to_string(*options.replug_after_ms);
  if (options.replay)
    text += ",replay=" + *options.replay;
  else
    text += ",seed=" + std::to_string(options.seed);
  return head_description{"simulated", text, {}, {}};
}

QString scan_record_name(const QDateTime& start, int n) {
  QString name = QStringLiteral("scan ") + start.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
  if (n > 1) name += QLatin1Char(' ') + QString::number(n);
  return name + QStringLiteral(".jsonl");
}

scan_record_writer::scan_record_writer(const panel& window, QString data_folder,
                                       head_description head, int echo_timeout_ms,
                                       std::string program_version,
                                       std::function<void(const std::string&)> report)
    : window_(window),
      folder_(std::move(data_folder)),
      head_(std::move(head)),
      echo_timeout_ms_(echo_timeout_ms),
      program_version_(std::move(program_version)),
      report_(std::move(report)) {
  backstop_.setSingleShot(true);
  backstop_.setInterval(static_cast<int>(files::sync_interval_ms));
  backstop_.callOnTimeout([this] {
    if (pacer_.pending() && sync()) pacer_.synced(last_local_ms_ - offset_ms_ - start_utc_ms_);
  });
}

scan_record_writer::~scan_record_writer() {
  close();
}

std::string scan_record_writer::shown_path() const {
  return QDir::toNativeSeparators(path_).toStdString();
}

void scan_record_writer::fail(long readings_lost, const std::string& why) {
  // Nothing more is written to a record that failed: a hole in it would pass for readings
  // never taken.
  (void)file_.close();
  kept_.lost(readings_lost, why);
  if (failed_) return;
  failed_ = true;
  if (report_) report_(why);
}

void scan_record_writer::close() {
  if (!file_.is_open() || !sync()) return;
  if (const std::string why = file_.close(); !why.empty())
    fail(0, "The scan record " + shown_path() + " could not be closed: " + why);
}

void scan_record_writer::paced_sync(qint64 ms) {
  if (!file_.is_open()) return;
  if (pacer_.written(ms)) {
    if (sync()) pacer_.synced(ms);
    backstop_.stop();
  } else if (!backstop_.isActive()) {
    backstop_.start();
  }
}

bool scan_record_writer::sync() {
  if (!file_.is_open()) return false;
  // A deleted record (or data folder) takes every line with it when it closes.
  if (file_.removed()) {
    fail(readings_, "The scan record " + shown_path() +
                        " was deleted while the sweep wrote it; its readings are lost");
    return false;
  }
  if (const std::string why = file_.sync(); !why.empty()) {
    fail(0, "The scan record " + shown_path() + " could not be saved to the disk: " + why);
    return false;
  }
  return true;
}

bool scan_record_writer::open(const QDateTime& start) {
  if (folder_.isEmpty()) {
    fail(0, "The scan record was not written: there is no data folder");
    return false;
  }
  const QString scans = QDir(folder_).filePath(QLatin1String(scans_folder_name));
  // A new scans/ folder and its entry in the data folder are synced, or a power cut could
  // take the whole record with them.
  if (const std::string why = files::make_folder(scans); !why.empty()) {
    fail(0, "The scan record was not written: the folder " +
                QDir::toNativeSeparators(scans).toStdString() + " cannot be made (" + why + ")");
    return false;
  }
  // Never replace a record: each name is tried with an exclusive create.
  for (int n = 1; n <= 1000; ++n) {
    const QString name = QDir(scans).filePath(scan_record_name(start, n));
    bool taken = false;
    std::string why = file_.create_new(name, &taken);
    if (taken) continue;
    path_ = name;
    const bool created = why.empty();
    // The record's own entry, so that a power cut cannot lose the file it is writing.
    if (created) why = files::sync_folder(scans);
    if (!why.empty()) {
      fail(0, "The scan record " + shown_path() + " cannot be written: " + why);
      if (created) QFile::remove(name);
      path_.clear();
      return false;
    }
    return true;
  }
  fail(0, "The scan record was not written: too many records named " +
              scan_record_name(start).toStdString() + " in " +
              QDir::toNativeSeparators(scans).toStdString());
  return false;
}

void scan_record_writer::write_line(const QJsonObject& line) {
  if (!file_.is_open()) return;
  QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact);
  text.append('\n');
  // One write per line, cut back when it fails: the record keeps whole lines only.
  if (const std::string why = file_.append(std::string_view(text.constData(), text.size()));
      !why.empty())
    fail(line.value(QLatin1String("type")).toString() == QLatin1String(type_reading) ? 1 : 0,
         "The scan record " + shown_path() + " stopped at the reading " +
             std::to_string(readings_) + ": " + why);
}

void scan_record_writer::reopen(const continuation& c, const QDateTime& when) {
  path_ = c.path;
  readings_ = c.readings;
  start_utc_ms_ = c.start.toMSecsSinceEpoch();
  std::string why = file_.open_append(path_);
  // Only the torn line goes: the record cannot have grown since it was read, its folder is
  // locked.
  if (why.empty() && QFileInfo(path_).size() > c.whole_end) why = file_.cut_back(c.whole_end);
  if (!why.empty()) {
    fail(0, "The scan record " + shown_path() + " cannot be continued: " + why);
    return;
  }
  const qint64 ms = ms_since_start(when);
  const char* pass = pass_name(c.where.pass);
  // A resume line like the one after a pause, with what only a restart has: the gap.
  write_line(QJsonObject{{QLatin1String("type"), QLatin1String(interruption_name(interruption::resumed))},
                         {QLatin1String("restart"), true},
                         {QLatin1String("gap_ms"), static_cast<double>(ms - c.last_ms)},
                         {QLatin1String("cycle"), c.where.cycle},
                         {QLatin1String("pass"), pass ? QJsonValue(QLatin1String(pass)) : QJsonValue()},
                         {QLatin1String("row"), c.where.row},
                         {QLatin1String("point"), c.where.point},
                         {QLatin1String("x"), c.where.x},
                         {QLatin1String("z"), c.where.z},
                         {QLatin1String("ms"), static_cast<double>(ms)}});
  sync();
}

void scan_record_writer::sweep_started(const raster_in_use& raster, const QDateTime& when) {
  close();
  failed_ = false;
  readings_ = 0;
  path_.clear();
  start_utc_ms_ = when.toMSecsSinceEpoch();
  offset_hour_ = -1;
  pacer_ = files::sync_pacer();
  if (continuation_) {
    const continuation c = std::move(*continuation_);
    continuation_.reset();
    reopen(c, when);
    return;
  }
  if (!open(when)) return;

  QJsonObject head{{QLatin1String("kind"), QString::fromStdString(head_.kind)}};
  if (head_.kind == "simulated") {
    head.insert(QLatin1String("options"), QString::fromStdString(head_.options));
  } else {
    head.insert(QLatin1String("serial"), text_or_null(head_.serial));
    head.insert(QLatin1String("path"), text_or_null(head_.path));
  }
  QJsonObject settings;
  put_raster(settings, raster);
  settings.insert(QLatin1String("step"), raster.point_step);
  settings.insert(QLatin1String("gain"), window_.value(scroll_bar::gain));
  for (std::size_t i = 0; i < check_box_names.size(); ++i)
    settings.insert(QLatin1String(check_box_names[i]), window_.checked(static_cast<check_box>(i)));
  settings.insert(QLatin1String("echo_timeout_ms"), echo_timeout_ms_);

  QJsonObject line{{QLatin1String("type"), QLatin1String(type_sweep)},
                   {QLatin1String("format"), QLatin1String(format_name)},
                   {QLatin1String("version"), format_version},
                   {QLatin1String("program_version"), QString::fromStdString(program_version_)},
                   {QLatin1String("head"), head},
                   {QLatin1String("start"), iso_with_offset(when)},
                   {QLatin1String("settings"), settings}};
  // Readers skip keys they do not know, so the record stays at its version.
  if (!plan_file_.isEmpty()) line.insert(QLatin1String("plan"), plan_file_);
  // What a resumed sweep needs to end where this one would have.
  line.insert(QLatin1String("cycles"), cycles_ ? QJsonValue(*cycles_) : QJsonValue());
  line.insert(QLatin1String("logs"), QJsonObject{{QLatin1String("data"), window_.log_data_checked()},
                                                 {QLatin1String("images"),
                                                  window_.log_images_checked()}});
  write_line(line);
}

// Turning each local reading time into UTC would ask the system's zone data (a file check)
// for every reading, too slow for the line's budget. The offset is asked once per local hour,
// and again when local time runs backwards, as it does when summer time ends.
qint64 scan_record_writer::ms_since_start(const QDateTime& when) {
  const qint64 local = local_ms(when);
  const qint64 hour = local / 3600000;
  if (hour != offset_hour_ || local < last_local_ms_) {
    offset_ms_ = when.offsetFromUtc() * 1000LL;
    offset_hour_ = hour;
  }
  last_local_ms_ = local;
  return local - offset_ms_ - start_utc_ms_;
}

void scan_record_writer::fill_reading_line(const reading_event& r) {
  // Numbers are replaced in place in a line that has every key, which allocates nothing. A
  // replaced text would pile up inside the object, so a new kind or pass gets a new line.
  if (reading_line_.isEmpty() || r.kind != line_kind_ || r.pass != line_pass_) {
    const char* pass = pass_name(r.pass);
    reading_line_ = QJsonObject{
        {QLatin1String("type"), QLatin1String(type_reading)},
        {QLatin1String("kind"), QLatin1String(kind_name(r.kind))},
        {QLatin1String("pass"), pass ? QJsonValue(QLatin1String(pass)) : QJsonValue()},
    };
    for (const char* key :
         {"cycle", "row", "point", "x", "z", "temperature_f", "distance_in", "ms"})
      reading_line_.insert(QLatin1String(key), QJsonValue());
    line_kind_ = r.kind;
    line_pass_ = r.pass;
  }
  QJsonObject& o = reading_line_;
  o[QLatin1String("cycle")] = r.cycle;
  o[QLatin1String("row")] = r.row;
  o[QLatin1String("point")] = r.point;
  o[QLatin1String("x")] = r.x;
  o[QLatin1String("z")] = r.z;
  o[QLatin1String("temperature_f")] = optional_number(r.temperature_f);
  o[QLatin1String("distance_in")] = optional_number(r.distance_in);
  o[QLatin1String("ms")] = static_cast<double>(ms_since_start(r.time));
}

void scan_record_writer::reading_taken(const reading_event& r) {
  if (!file_.is_open()) {
    if (failed_) kept_.lost(1, {});
    return;
  }
  fill_reading_line(r);
  write_line(reading_line_);
  if (!file_.is_open()) return;
  ++readings_;
  paced_sync(static_cast<qint64>(reading_line_.value(QLatin1String("ms")).toDouble()));
}

void scan_record_writer::baseline_taken(double avgt) {
  write_line(QJsonObject{{QLatin1String("type"), QLatin1String(type_baseline)},
                         {QLatin1String("avgt"), avgt}});
}

void scan_record_writer::raster_changed(const raster_in_use& raster) {
  QJsonObject line{{QLatin1String("type"), QLatin1String(type_raster)}};
  put_raster(line, raster);
  write_line(line);
}

void scan_record_writer::sweep_interrupted(interruption what, const reading_event& where,
                                           const std::string& alarm) {
  const char* pass = pass_name(where.pass);
  QJsonObject line{{QLatin1String("type"), QLatin1String(interruption_name(what))},
                   {QLatin1String("cycle"), where.cycle},
                   {QLatin1String("pass"), pass ? QJsonValue(QLatin1String(pass)) : QJsonValue()},
                   {QLatin1String("row"), where.row},
                   {QLatin1String("point"), where.point},
                   {QLatin1String("x"), where.x},
                   {QLatin1String("z"), where.z},
                   {QLatin1String("ms"), static_cast<double>(ms_since_start(where.time))}};
  if (!alarm.empty()) put_alarm(line, alarm);
  write_line(line);
  // A sweep that waits may wait long; what it has is on the disk meanwhile.
  sync();
}

void scan_record_writer::pass_ended(int, pass_direction) {
  sync();
}

void scan_record_writer::sweep_ended(sweep_end how, const std::string& message,
                                     const QDateTime& when, bool by_alarm) {
  QJsonObject line{{QLatin1String("type"), QLatin1String(type_end)},
                   {QLatin1String("how"), QLatin1String(end_name(how))},
                   {QLatin1String("message"), QString::fromStdString(message)},
                   {QLatin1String("readings"), static_cast<double>(readings_)},
                   {QLatin1String("end"), iso_with_offset(when)}};
  if (by_alarm) put_alarm(line, message);
  write_line(line);
  close();
}

}  // namespace brevane
