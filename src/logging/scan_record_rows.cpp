#include "logging/scan_record_rows.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <string_view>

#include "logging/scan_record_csv.h"
#include "logging/scan_record_cycles.h"
#include "logging/scan_record_lines.h"
#include "logging/scan_record_reader.h"

namespace brevane {

namespace {

std::string named(const QString& path) {
  return "the scan record " + QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

std::string scan_record_rows::begin(const QString& path) {
  path_.clear();
  marks_.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return named(path) + " cannot be read: " + file.errorString().toStdString();
  // The first line names the start the readings' times count from.
  const QByteArray first = file.readLine(qint64{scan_record_line_limit});
  std::string why;
  const auto header =
      parse_scan_record(std::string_view(first.constData(), first.size()), named(path), &why);
  if (!header) return why;
  start_utc_ = header->header.start.toUTC();
  limits_ = header->header.raster;
  path_ = path;
  return {};
}

std::string scan_record_rows::read(const QString& path, long long start, long long count,
                                   QByteArray& rows) {
  if (count <= 0) return {};
  if (path != path_)
    if (std::string why = begin(path); !why.empty()) return why;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return named(path) + " cannot be read: " + file.errorString().toStdString();

  // From the last mark at or before start; the first reading's line is found from the top.
  long long index = 0;
  mark at{0, 0, reading_checks(limits_)};
  if (!marks_.empty()) {
    const auto k = std::min<std::size_t>(static_cast<std::size_t>(start / readings_per_mark),
                                         marks_.size() - 1);
    index = static_cast<long long>(k) * readings_per_mark;
    at = marks_[k];
  }
  qint64 offset = at.offset;
  long number = at.line;
  reading_checks& checks = at.checks;
  if (!file.seek(offset))
    return named(path) + " cannot be read: " + file.errorString().toStdString();

  const long long end = start + count;
  std::string carry;  // the start of a line that goes on in the next piece
  std::vector<char> chunk(1 << 16);
  while (index < end) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) return named(path) + " cannot be read: " + file.errorString().toStdString();
    if (n == 0) break;
    std::string_view data(chunk.data(), static_cast<std::size_t>(n));
    while (!data.empty() && index < end) {
      const std::size_t line_end = data.find('\n');
      if (line_end == std::string_view::npos) {
        carry.append(data);
        if (carry.size() > scan_record_line_limit)
          return named(path) + " has a line longer than any reading's";
        break;
      }
      std::string_view line = data.substr(0, line_end);
      if (!carry.empty()) line = carry.append(line);
      const qint64 line_offset = offset;
      offset += static_cast<qint64>(line.size()) + 1;
      ++number;
      if (const auto raster = raster_of_line(line)) {
        checks.widen(*raster);
      } else if (const auto r = reading_of_line(line, start_utc_)) {
        if (const std::string bad = checks.impossible(r->event); !bad.empty())
          return named(path) + " line " + std::to_string(number) + ": " + bad;
        if (index % readings_per_mark == 0 &&
            static_cast<std::size_t>(index / readings_per_mark) == marks_.size())
          marks_.push_back({line_offset, number - 1, checks});
        checks.keep(r->event);
        if (index >= start) append_csv_row(rows, *r);
        ++index;
      }
      carry.clear();
      data.remove_prefix(line_end + 1);
    }
  }
  if (index < end)
    return named(path) + " holds " + std::to_string(index) + " readings, not " +
           std::to_string(end);
  return {};
}

}  // namespace brevane
