#include "logging/scan_record_reader.h"

#include <QDir>
#include <QFile>

#include "common/file_input.h"
#include "common/line_splitter.h"
#include "logging/scan_record_fields.h"
#include "logging/scan_record_lines.h"

namespace brevane {

namespace {

std::string named(const QString& path) {
  return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

namespace {

std::optional<scan_record> read_with(scan_record_parser& parser, const QString& path,
                                     std::string* refusal, qint64* whole_end = nullptr) {
  std::string why, read_error;
  QFile file;
  if (const files::open_result opened = files::open_regular(path, file); !opened.ok()) {
    if (refusal)
      *refusal =
          named(path) + (opened.not_a_file.empty() ? " cannot be read: " + opened.error
                                                   : " is not a scan record: " + opened.not_a_file);
    return std::nullopt;
  }
  line_splitter lines(scan_record_line_limit);
  const auto add = [&](std::string_view line, bool too_long) {
    return parser.add_line(line, too_long, &why);
  };
  std::vector<char> chunk(1 << 16);
  bool refused = false;
  qint64 offset = 0, after_last_lf = 0;
  for (;;) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) {
      read_error = file.errorString().toStdString();
      break;
    }
    if (n == 0) break;
    const std::string_view piece(chunk.data(), static_cast<std::size_t>(n));
    if (const auto lf = piece.rfind('\n'); lf != std::string_view::npos)
      after_last_lf = offset + static_cast<qint64>(lf) + 1;
    offset += n;
    if (!lines.add(piece, add)) {
      refused = true;
      break;
    }
  }
  if (whole_end) *whole_end = after_last_lf;
  // A torn last line is no line of the record when it is to be continued.
  refused = refused || (!whole_end && !lines.finish(add));
  std::optional<scan_record> record;
  if (!refused) record = parser.finish(read_error, &why);
  if (!record && refusal) *refusal = named(path) + " is not a scan record: " + why;
  return record;
}

}  // namespace

std::optional<scan_record> read_scan_record(const QString& path, std::string* refusal,
                                            qint64* whole_end) {
  scan_record_parser parser;
  return read_with(parser, path, refusal, whole_end);
}

scan_record_source record_file(const QString& path) {
  return [path](const scan_record_stream& stream, std::string* refusal) {
    scan_record_parser parser(stream);
    return read_with(parser, path, refusal);
  };
}

scan_record_source record_held(const scan_record& record) {
  return [&record](const scan_record_stream& stream, std::string*) {
    scan_record summary;
    static_cast<scan_record_summary&>(summary) = record;
    summary.reading_count = record.readings.size();
    if (stream.header) stream.header(record.header);
    auto change = record.raster_changes.begin();
    for (std::size_t i = 0; i < record.readings.size(); ++i) {
      for (; change != record.raster_changes.end() && change->before_reading <= i; ++change)
        if (stream.raster_changed) stream.raster_changed(change->raster);
      if (stream.reading) stream.reading(record.readings[i]);
    }
    for (; change != record.raster_changes.end(); ++change)
      if (stream.raster_changed) stream.raster_changed(change->raster);
    return std::optional<scan_record>(std::move(summary));
  };
}

std::optional<scan_record> parse_scan_record(std::string_view bytes, const std::string& name,
                                             std::string* refusal) {
  scan_record_parser parser;
  line_splitter lines(scan_record_line_limit);
  std::string why;
  const auto add = [&](std::string_view line, bool too_long) {
    return parser.add_line(line, too_long, &why);
  };
  std::optional<scan_record> record;
  if (lines.add(bytes, add) && lines.finish(add)) record = parser.finish({}, &why);
  if (!record && refusal) *refusal = name + " is not a scan record: " + why;
  return record;
}

std::string scan_record_ending(const scan_record& record) {
  return record.end ? scan_record_fields::end_name(record.end->how) : "ended unexpectedly";
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
