#include "logging/scan_record_reader.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>

#include "logging/scan_record_fields.h"
#include "logging/scan_record_quick_line.h"

namespace brevane {

using namespace scan_record_fields;

namespace {

// A field that must be there, with the reason when it is not.
struct fields {
  const QJsonObject& o;
  std::string missing;

  std::optional<int> whole(const char* key) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || d != std::floor(d) || std::abs(d) > 2e9) {
      note(key, "a whole number");
      return std::nullopt;
    }
    return static_cast<int>(d);
  }
  // Present as a number or null.
  std::optional<std::optional<double>> number_or_null(const char* key) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isNull()) return std::optional<double>();
    if (v.isDouble()) return std::optional<double>(v.toDouble());
    note(key, "a number or null");
    return std::nullopt;
  }
  std::optional<QString> text(const char* key) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isString()) {
      note(key, "a text");
      return std::nullopt;
    }
    return v.toString();
  }
  void note(const char* key, const char* what) {
    if (missing.empty()) missing = std::string("\"") + key + "\" is not " + what;
  }
};

std::optional<raster_in_use> raster_from(fields& f) {
  const auto xmin = f.whole("xmin"), xmax = f.whole("xmax"), zmin = f.whole("zmin"),
             zmax = f.whole("zmax"), row_step = f.whole("row_step"),
             point_step = f.whole("point_step");
  if (!f.missing.empty()) return std::nullopt;
  return raster_in_use{*xmin, *xmax, *zmin, *zmax, *row_step, *point_step};
}

std::string text_of(const QJsonValue& v) {
  return v.isString() ? v.toString().toStdString() : std::string();
}

// The first line; nullopt with the refusal when the file is not a record.
std::optional<scan_record_header> header_from(const QJsonObject& o, std::string* why) {
  if (o.value(QLatin1String("format")).toString() != QLatin1String(format_name)) {
    *why = "its first line does not name the format \"" + std::string(format_name) + "\"";
    return std::nullopt;
  }
  scan_record_header h;
  h.version = o.value(QLatin1String("version")).toInt();
  if (h.version != format_version) {
    *why = "its version " + std::to_string(h.version) + " is not one this program reads (" +
           std::to_string(format_version) + ")";
    return std::nullopt;
  }
  h.program_version = text_of(o.value(QLatin1String("program_version")));
  const QJsonObject head = o.value(QLatin1String("head")).toObject();
  h.head_kind = text_of(head.value(QLatin1String("kind")));
  h.head_options = text_of(head.value(QLatin1String("options")));
  h.head_serial = text_of(head.value(QLatin1String("serial")));
  h.head_path = text_of(head.value(QLatin1String("path")));
  h.start = QDateTime::fromString(o.value(QLatin1String("start")).toString(), Qt::ISODateWithMs);
  h.plan_file = text_of(o.value(QLatin1String("plan")));
  const QJsonObject settings = o.value(QLatin1String("settings")).toObject();
  fields f{settings, {}};
  const auto raster = raster_from(f);
  const auto step = f.whole("step"), gain = f.whole("gain"), timeout = f.whole("echo_timeout_ms");
  if (!h.start.isValid() || !f.missing.empty()) {
    *why = h.start.isValid() ? "its settings are incomplete: " + f.missing
                             : std::string("its first line has no valid start time");
    return std::nullopt;
  }
  h.raster = *raster;
  h.step = *step;
  h.gain = *gain;
  h.echo_timeout_ms = *timeout;
  for (std::size_t i = 0; i < check_box_names.size(); ++i)
    h.checks[i] = settings.value(QLatin1StringView(check_box_names[i])).toBool();
  return h;
}

// One reading line; the reason in f.missing when it is not whole.
std::optional<recorded_reading> reading_from(fields& f, const QDateTime& start) {
  recorded_reading r;
  const auto kind_text = f.text("kind");
  const auto kind = kind_text ? kind_from(QLatin1StringView(kind_text->toLatin1())) : std::nullopt;
  if (kind_text && !kind) f.missing = "\"kind\" is not baseline, row_start or point";
  const QJsonValue pass = f.o.value(QLatin1String("pass"));
  if (pass == QLatin1String("upward"))
    r.event.pass = pass_direction::upward;
  else if (pass == QLatin1String("downward"))
    r.event.pass = pass_direction::downward;
  else if (!pass.isNull())
    f.note("pass", "upward, downward or null");
  const auto cycle = f.whole("cycle"), row = f.whole("row"), point = f.whole("point"),
             x = f.whole("x"), z = f.whole("z");
  const auto temperature = f.number_or_null("temperature_f");
  const auto distance = f.number_or_null("distance_in");
  const QJsonValue ms = f.o.value(QLatin1String("ms"));
  if (!ms.isDouble()) f.note("ms", "a number");
  if (!f.missing.empty()) return std::nullopt;
  r.event.kind = *kind;
  r.event.cycle = *cycle;
  r.event.row = *row;
  r.event.point = *point;
  r.event.x = *x;
  r.event.z = *z;
  r.event.temperature_f = *temperature;
  r.event.distance_in = *distance;
  r.ms = static_cast<qint64>(ms.toDouble());
  r.event.time = start.addMSecs(r.ms);
  return r;
}

std::optional<recorded_end> end_from_line(fields& f) {
  const auto how_text = f.text("how");
  const auto how = how_text ? end_from(QLatin1StringView(how_text->toLatin1())) : std::nullopt;
  if (how_text && !how) f.missing = "\"how\" names no way a sweep ends";
  const QJsonValue readings = f.o.value(QLatin1String("readings"));
  if (!readings.isDouble()) f.note("readings", "a number");
  if (!f.missing.empty()) return std::nullopt;
  recorded_end e;
  e.how = *how;
  e.message = text_of(f.o.value(QLatin1String("message")));
  e.readings = static_cast<long>(readings.toDouble());
  e.when = QDateTime::fromString(f.o.value(QLatin1String("end")).toString(), Qt::ISODateWithMs);
  return e;
}

// Reads one line into line, without its LF. A line over the limit is skipped without being
// kept: false with too_long set. False at the end of the file.
bool next_line(QFile& file, QByteArray& line, bool* too_long) {
  *too_long = false;
  line.resize(scan_record_line_limit + 2);
  const qint64 n = file.readLine(line.data(), line.size());
  if (n <= 0) {
    line.clear();
    return false;
  }
  line.resize(n);
  if (line.endsWith('\n')) {
    line.chop(1);
    return true;
  }
  if (n <= scan_record_line_limit) return true;  // the last line, without its LF
  *too_long = true;
  char chunk[65536];
  for (;;) {
    const qint64 m = file.readLine(chunk, sizeof chunk);
    if (m <= 0 || chunk[m - 1] == '\n') break;
  }
  line.clear();
  return true;
}

}  // namespace

std::optional<scan_record> read_scan_record(const QString& path, std::string* refusal) {
  auto refuse = [&](const std::string& why) -> std::optional<scan_record> {
    if (refusal)
      *refusal = QDir::toNativeSeparators(path).toStdString() + " is not a scan record: " + why;
    return std::nullopt;
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (refusal)
      *refusal = QDir::toNativeSeparators(path).toStdString() +
                 " cannot be read: " + file.errorString().toStdString();
    return std::nullopt;
  }
  scan_record record;
  QByteArray line;
  bool too_long = false;
  long number = 0;
  bool ended = false;
  QDateTime start_utc;
  while (next_line(file, line, &too_long)) {
    ++number;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (too_long) {
      if (number == 1) return refuse("its first line is over 1 MB");
      record.problems.push_back(where + "longer than 1 MB, skipped");
      continue;
    }
    if (number > 1 && !ended) {
      if (auto r = quick_reading_line(
              std::string_view(line.constData(), static_cast<std::size_t>(line.size())),
              start_utc)) {
        record.readings.push_back(std::move(*r));
        continue;
      }
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (number == 1) {
      if (!doc.isObject()) return refuse("its first line is not a JSON object");
      std::string why;
      auto header = header_from(doc.object(), &why);
      if (!header) return refuse(why);
      record.header = std::move(*header);
      // In UTC each reading's time is a plain number to add to, not a zone to copy.
      start_utc = record.header.start.toUTC();
      continue;
    }
    if (line.trimmed().isEmpty()) continue;
    if (!doc.isObject()) {
      record.problems.push_back(where + "not a JSON object" +
                                (error.error != QJsonParseError::NoError
                                     ? " (" + error.errorString().toStdString() + " at " +
                                           std::to_string(error.offset) + ")"
                                     : std::string()));
      continue;
    }
    const QJsonObject o = doc.object();
    fields f{o, {}};
    const QJsonValue type = o.value(QLatin1String("type"));
    if (ended) {
      record.problems.push_back(where + "comes after the end line, skipped");
    } else if (type == QLatin1String(type_reading)) {
      if (auto r = reading_from(f, start_utc)) record.readings.push_back(*r);
    } else if (type == QLatin1String(type_baseline)) {
      const QJsonValue avgt = o.value(QLatin1String("avgt"));
      if (avgt.isDouble())
        record.avgt = avgt.toDouble();
      else
        f.note("avgt", "a number");
    } else if (type == QLatin1String(type_raster)) {
      if (auto r = raster_from(f)) record.raster_changes.push_back({*r, record.readings.size()});
    } else if (const auto what = interruption_from(QLatin1StringView(type.toString().toLatin1()))) {
      const auto cycle = f.whole("cycle"), row = f.whole("row"), point = f.whole("point"),
                 x = f.whole("x"), z = f.whole("z");
      const QJsonValue ms = o.value(QLatin1String("ms"));
      if (!ms.isDouble()) f.note("ms", "a number");
      if (f.missing.empty()) {
        reading_event where;
        const QJsonValue pass = o.value(QLatin1String("pass"));
        where.pass = pass == QLatin1String("upward")     ? pass_direction::upward
                     : pass == QLatin1String("downward") ? pass_direction::downward
                                                         : pass_direction::none;
        where.cycle = *cycle;
        where.row = *row;
        where.point = *point;
        where.x = *x;
        where.z = *z;
        where.time = start_utc.addMSecs(static_cast<qint64>(ms.toDouble()));
        record.interruptions.push_back({*what, where, record.readings.size()});
      }
    } else if (type == QLatin1String(type_end)) {
      record.end = end_from_line(f);
      ended = record.end.has_value();
    } else {
      f.missing = "its \"type\" is not one a record has";
    }
    if (!f.missing.empty()) record.problems.push_back(where + f.missing);
  }
  if (number == 0) return refuse("it is empty");
  if (file.error() != QFileDevice::NoError)
    record.problems.push_back("line " + std::to_string(number + 1) +
                              ": cannot be read: " + file.errorString().toStdString());
  if (!record.end)
    record.problems.push_back("the record ended unexpectedly after line " + std::to_string(number) +
                              ": the sweep's end is not recorded");
  return record;
}

std::string scan_record_ending(const scan_record& record) {
  return record.end ? end_name(record.end->how) : "ended unexpectedly";
}

std::vector<recorded_reading> cycle_readings(const scan_record& record, int cycle) {
  if (cycle == 0) {
    for (auto it = record.readings.rbegin(); it != record.readings.rend(); ++it)
      if (it->event.cycle > 0) {
        cycle = it->event.cycle;
        break;
      }
    if (cycle == 0) return {};
  }
  std::vector<recorded_reading> out;
  for (const recorded_reading& r : record.readings)
    if (r.event.cycle == cycle) out.push_back(r);
  return out;
}

}  // namespace brevane
