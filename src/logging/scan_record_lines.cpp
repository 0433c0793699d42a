#include "logging/scan_record_lines.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>
#include <utility>

#include "common/json_keys.h"
#include "common/numbers.h"
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
  std::optional<record_time> time(const char* key, const QDateTime& start_utc) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    auto t = v.isDouble() ? time_from_ms(v.toDouble(), start_utc) : std::nullopt;
    if (!t) note(key, "a number of milliseconds in range");
    return t;
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

// Why a raster is none a head can scan (positions 0-255, a step at least 1); empty when it is.
std::string impossible_raster(const raster_in_use& r) {
  const std::pair<const char*, int> positions[] = {
      {"xmin", r.xmin}, {"xmax", r.xmax}, {"zmin", r.zmin}, {"zmax", r.zmax}};
  for (const auto& [key, v] : positions)
    if (v < head_position_low || v > head_position_high)
      return std::string("\"") + key + "\" " + std::to_string(v) +
             " is not a position of the head (" + std::to_string(head_position_low) + "-" +
             std::to_string(head_position_high) + ")";
  if (r.xmin > r.xmax || r.zmin > r.zmax) return "its lower limits lie above its upper limits";
  if (r.row_step < 1 || r.row_step > head_position_high || r.point_step < 1 ||
      r.point_step > head_position_high)
    return "its steps are not 1-" + std::to_string(head_position_high);
  return {};
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
  if (const QJsonValue cycles = o.value(QLatin1String("cycles")); cycles.isDouble()) {
    const double n = cycles.toDouble();
    if (n >= 1 && n <= 1e9 && n == static_cast<double>(static_cast<int>(n)))
      h.cycles = static_cast<int>(n);
  }
  const QJsonObject logs = o.value(QLatin1String("logs")).toObject();
  if (const QJsonValue v = logs.value(QLatin1String("data")); v.isBool()) h.log_data = v.toBool();
  if (const QJsonValue v = logs.value(QLatin1String("images")); v.isBool())
    h.log_images = v.toBool();
  const QJsonObject settings = o.value(QLatin1String("settings")).toObject();
  fields f{settings, {}};
  const auto raster = raster_from(f);
  const auto step = f.whole("step"), gain = f.whole("gain"), timeout = f.whole("echo_timeout_ms");
  if (!h.start.isValid() || !f.missing.empty()) {
    *why = h.start.isValid() ? "its settings are incomplete: " + f.missing
                             : std::string("its first line has no valid start time");
    return std::nullopt;
  }
  if (const std::string bad = impossible_raster(*raster); !bad.empty()) {
    *why = "its settings' limits are impossible: " + bad;
    return std::nullopt;
  }
  h.raster = *raster;
  h.step = *step;
  h.gain = *gain;
  h.echo_timeout_ms = *timeout;
  h.settings = settings;
  for (std::size_t i = 0; i < check_box_names.size(); ++i)
    h.checks[i] = settings.value(QLatin1StringView(check_box_names[i])).toBool();
  return h;
}

}  // namespace

recorded_reading reading_of(reading_kind kind, pass_direction pass, int cycle, int row, int point,
                            int x, int z, std::optional<double> temperature_f,
                            std::optional<double> distance_in, const record_time& time) {
  recorded_reading r;
  r.event = {kind, cycle, pass, row, point, x, z, temperature_f, distance_in, time.when};
  r.ms = time.ms;
  return r;
}

namespace {

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
  const auto time = f.time("ms", start);
  if (!f.missing.empty()) return std::nullopt;
  return reading_of(*kind, r.event.pass, *cycle, *row, *point, *x, *z, *temperature, *distance,
                    *time);
}

std::optional<recorded_end> end_from_line(fields& f) {
  const auto how_text = f.text("how");
  const auto how = how_text ? end_from(QLatin1StringView(how_text->toLatin1())) : std::nullopt;
  if (how_text && !how) f.missing = "\"how\" names no way a sweep ends";
  const QJsonValue readings = f.o.value(QLatin1String("readings"));
  const auto count = try_truncate<long>(readings.toDouble(-1));
  if (!readings.isDouble() || !count || *count < 0)
    f.note("readings", "a count of readings in range");
  if (!f.missing.empty()) return std::nullopt;
  recorded_end e;
  e.how = *how;
  e.message = text_of(f.o.value(QLatin1String("message")));
  e.readings = *count;
  e.when = QDateTime::fromString(f.o.value(QLatin1String("end")).toString(), Qt::ISODateWithMs);
  return e;
}

QJsonDocument json_of(std::string_view line, QJsonParseError* error) {
  return QJsonDocument::fromJson(
      QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())), error);
}

std::string not_an_object(const QJsonParseError& error) {
  return "not a JSON object" + (error.error != QJsonParseError::NoError
                                    ? " (" + error.errorString().toStdString() + " at " +
                                          std::to_string(error.offset) + ")"
                                    : std::string());
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

}  // namespace

std::optional<raster_in_use> raster_of_line(std::string_view line) {
  // Most lines are readings: only a line that names the type is parsed whole.
  if (line.find("\"raster\"") == std::string_view::npos) return std::nullopt;
  const QJsonDocument doc = json_of(line, nullptr);
  if (!doc.isObject() || first_duplicate_key(line)) return std::nullopt;
  const QJsonObject o = doc.object();
  if (o.value(QLatin1String("type")) != QLatin1String(type_raster)) return std::nullopt;
  fields f{o, {}};
  auto r = raster_from(f);
  if (!r || !impossible_raster(*r).empty()) return std::nullopt;
  return r;
}

std::optional<record_time> time_from_ms(double ms, const QDateTime& start_utc) {
  const auto whole = try_truncate<qint64>(ms);
  if (!whole) return std::nullopt;
  record_time t{*whole, start_utc.addMSecs(*whole)};
  if (!t.when.isValid()) return std::nullopt;  // past the end of the calendar
  return t;
}

std::optional<recorded_reading> json_reading_line(std::string_view line, const QDateTime& start_utc,
                                                  std::string* why) {
  QJsonParseError error{};
  const QJsonDocument doc = json_of(line, &error);
  if (!doc.isObject()) {
    *why = not_an_object(error);
    return std::nullopt;
  }
  const QJsonObject o = doc.object();
  if (o.value(QLatin1String("type")) != QLatin1String(type_reading)) {
    *why = "its \"type\" is not \"reading\"";
    return std::nullopt;
  }
  fields f{o, {}};
  auto r = reading_from(f, start_utc);
  if (!r) *why = f.missing;
  return r;
}

bool scan_record_parser::add_line(std::string_view line, bool too_long, std::string* refusal) {
  ++number_;
  const std::string where = "line " + std::to_string(number_) + ": ";
  if (too_long) {
    if (number_ == 1) {
      *refusal = "its first line is over 1 MB";
      return false;
    }
    damaged(where + "longer than 1 MB, skipped");
    return true;
  }
  if (number_ == 1) {
    const QJsonDocument doc = json_of(line, nullptr);
    if (!doc.isObject()) {
      *refusal = "its first line is not a JSON object";
      return false;
    }
    if (const auto twice = first_duplicate_key(line)) {
      *refusal = "its first line holds a key twice: " + duplicate_key_text(*twice);
      return false;
    }
    auto header = header_from(doc.object(), refusal);
    if (!header) return false;
    record_.header = std::move(*header);
    checks_ = reading_checks(record_.header.raster);
    if (stream_.header) stream_.header(record_.header);
    // In UTC each reading's time is a plain number to add to, not a zone to copy.
    start_utc_ = record_.header.start.toUTC();
    return true;
  }
  if (!ended_) {
    if (auto r = quick_reading_line(line, start_utc_)) {
      add_reading(std::move(*r), where);
      return true;
    }
  }
  if (!blank(line)) add_event_line(line, where);
  return true;
}

void scan_record_parser::add_event_line(std::string_view line, const std::string& where) {
  QJsonParseError error{};
  const QJsonDocument doc = json_of(line, &error);
  if (!doc.isObject()) {
    damaged(where + not_an_object(error));
    return;
  }
  // A reader keeps the last of two equal keys; which one the writer meant is unknowable.
  if (const auto twice = first_duplicate_key(line)) {
    damaged(where + duplicate_key_text(*twice));
    return;
  }
  const QJsonObject o = doc.object();
  fields f{o, {}};
  const QJsonValue type = o.value(QLatin1String("type"));
  if (ended_) {
    damaged(where + "comes after the end line, skipped");
  } else if (type == QLatin1String(type_reading)) {
    if (auto r = reading_from(f, start_utc_)) add_reading(std::move(*r), where);
  } else if (type == QLatin1String(type_baseline)) {
    const QJsonValue avgt = o.value(QLatin1String("avgt"));
    if (avgt.isDouble())
      record_.avgt = avgt.toDouble();
    else
      f.note("avgt", "a number");
  } else if (type == QLatin1String(type_raster)) {
    if (auto r = raster_from(f)) {
      f.missing = impossible_raster(*r);
      if (f.missing.empty()) {
        record_.raster_changes.push_back({*r, record_.reading_count});
        checks_.widen(*r);
        if (stream_.raster_changed) stream_.raster_changed(*r);
      }
    }
  } else if (const auto what = interruption_from(QLatin1StringView(type.toString().toLatin1()))) {
    const auto cycle = f.whole("cycle"), row = f.whole("row"), point = f.whole("point"),
               x = f.whole("x"), z = f.whole("z");
    const auto time = f.time("ms", start_utc_);
    if (f.missing.empty()) {
      reading_event at;
      const QJsonValue pass = o.value(QLatin1String("pass"));
      at.pass = pass == QLatin1String("upward")     ? pass_direction::upward
                : pass == QLatin1String("downward") ? pass_direction::downward
                                                    : pass_direction::none;
      at.cycle = *cycle;
      at.row = *row;
      at.point = *point;
      at.x = *x;
      at.z = *z;
      at.time = time->when;
      record_.interruptions.push_back({*what, at, record_.reading_count});
      record_.last_ms = std::max(record_.last_ms, time->ms);
    }
  } else if (type == QLatin1String(type_end)) {
    record_.end = end_from_line(f);
    ended_ = record_.end.has_value();
  } else {
    f.missing = "its \"type\" is not one a record has";
  }
  if (!f.missing.empty()) damaged(where + f.missing);
}

void scan_record_parser::damaged(std::string problem) {
  if (record_.problems.size() < scan_record_problems_kept)
    record_.problems.push_back(std::move(problem));
  else
    ++record_.problems_left_out;
}

void scan_record_parser::add_reading(recorded_reading r, const std::string& where) {
  if (const std::string bad = checks_.impossible(r.event); !bad.empty()) {
    damaged(where + bad);
    return;
  }
  checks_.keep(r.event);
  ++record_.reading_count;
  record_.last_ms = std::max(record_.last_ms, r.ms);
  if (stream_.reading)
    stream_.reading(r);
  else
    record_.readings.push_back(std::move(r));
}

std::optional<scan_record> scan_record_parser::finish(const std::string& read_error,
                                                      std::string* refusal) {
  if (number_ == 0) {
    *refusal = read_error.empty() ? "it is empty" : "it cannot be read: " + read_error;
    return std::nullopt;
  }
  if (!read_error.empty())
    record_.problems.push_back("line " + std::to_string(number_ + 1) +
                               ": cannot be read: " + read_error);
  if (!record_.end)
    record_.problems.push_back("the record ended unexpectedly after line " +
                               std::to_string(number_) + ": the sweep's end is not recorded");
  return std::move(record_);
}

}  // namespace brevane
