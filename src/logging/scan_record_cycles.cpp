#include "logging/scan_record_cycles.h"

#include <QDir>
#include <QFile>
#include <algorithm>

#include "logging/scan_record_lines.h"
#include "logging/scan_record_quick_line.h"

namespace brevane {

namespace {

std::string named(const QString& path) {
  return "the scan record " + QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

std::optional<recorded_reading> reading_of_line(std::string_view line, const QDateTime& start_utc) {
  if (auto r = quick_reading_line(line, start_utc)) return r;
  // Event lines are few; the writer's reading lines all take the fast path.
  if (line.find("\"reading\"") == std::string_view::npos) return std::nullopt;
  std::string why;
  return json_reading_line(line, start_utc, &why);
}

std::string scan_record_cycles::begin(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    path_.clear();
    return named(path) + " cannot be read: " + file.errorString().toStdString();
  }
  // The first line names the start the readings' times count from. Another record by the
  // same name (the first deleted, another sweep started within its second) has another.
  const QByteArray first = file.readLine(qint64{scan_record_line_limit});
  if (path == path_ && first == first_line_ && file.size() >= indexed_) return {};
  path_.clear();
  starts_.clear();
  indexed_ = 0;
  first_line_ = first;
  std::string why;
  const auto header =
      parse_scan_record(std::string_view(first.constData(), first.size()), named(path), &why);
  if (!header) return why;
  start_utc_ = header->header.start.toUTC();
  checks_ = reading_checks(header->header.raster);
  path_ = path;
  return {};
}

std::string scan_record_cycles::for_each_line(
    qint64 offset, const std::function<bool(std::string_view, qint64)>& line, qint64* end) const {
  *end = offset;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
    return named(path_) + " cannot be read: " + file.errorString().toStdString();
  std::string carry;        // the start of a line that goes on in the next piece
  std::size_t carried = 0;  // its length, also past the limit, where carry stops growing
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) return named(path_) + " cannot be read: " + file.errorString().toStdString();
    if (n == 0) return {};
    std::string_view data(chunk.data(), static_cast<std::size_t>(n));
    while (!data.empty()) {
      const std::size_t line_end = data.find('\n');
      if (line_end == std::string_view::npos) {
        // A line no reading comes near is skipped whole, without keeping it.
        if (carried <= scan_record_line_limit) carry.append(data);
        carried += data.size();
        break;
      }
      std::string_view text = data.substr(0, line_end);
      const std::size_t length = carried + text.size();
      if (carried > 0) text = carry.append(text);
      const qint64 at = *end;
      *end += static_cast<qint64>(length) + 1;
      if (length <= scan_record_line_limit && !line(text, at)) return {};
      carry.clear();
      carried = 0;
      data.remove_prefix(line_end + 1);
    }
  }
}

std::string scan_record_cycles::read(const QString& path, int cycle, const reading_sink& each) {
  if (path.isEmpty()) return "there is no scan record";
  if (std::string why = begin(path); !why.empty()) return why;
  const auto at_or_after = [this](int c) {
    return std::lower_bound(starts_.begin(), starts_.end(), c,
                            [](const cycle_start& s, int v) { return s.cycle < v; });
  };

  // The index grows from where it stopped until it holds the cycle or a later one.
  if (at_or_after(cycle) == starts_.end()) {
    qint64 end = indexed_;
    std::string why = for_each_line(
        indexed_,
        [&](std::string_view line, qint64 offset) {
          if (const auto raster = raster_of_line(line)) {
            checks_.widen(*raster);
            return true;
          }
          const auto r = reading_of_line(line, start_utc_);
          if (!r || !checks_.impossible(r->event).empty()) return true;
          const int c = r->event.cycle;
          if (starts_.empty() || c > starts_.back().cycle) starts_.push_back({c, offset, checks_});
          checks_.keep(r->event);
          return c < cycle;
        },
        &end);
    if (!why.empty()) return why;
    // The line that ended the search is in the index already.
    indexed_ = end;
  }
  const auto start = at_or_after(cycle);
  if (start == starts_.end() || start->cycle != cycle) return {};

  qint64 end = 0;
  reading_checks checks = start->checks;
  return for_each_line(
      start->offset,
      [&](std::string_view line, qint64) {
        if (const auto raster = raster_of_line(line)) {
          checks.widen(*raster);
          return true;
        }
        const auto r = reading_of_line(line, start_utc_);
        if (!r || !checks.impossible(r->event).empty()) return true;
        checks.keep(r->event);
        if (r->event.cycle == cycle) each(*r);
        return r->event.cycle <= cycle;
      },
      &end);
}

}  // namespace brevane
