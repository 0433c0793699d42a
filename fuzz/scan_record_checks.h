#pragma once
// Reads arbitrary data as a scan record in two ways and checks what Open Scan and the exports
// rely on. Used by the fuzz target and by its regression tests.
//
// 1. The data as a whole file: a record or a refusal, every problem naming its line, every
//    reading's time the start plus its milliseconds, and the record paints into map cells.
// 2. Each line of the data after a valid first line: whatever the fast path reads, the full
//    JSON parser reads the same way, and the record keeps exactly that reading or names the
//    line as one no head could have written.

#include <QDateTime>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "display/record_maps.h"
#include "logging/scan_record_lines.h"
#include "logging/scan_record_quick_line.h"
#include "logging/scan_record_reader.h"

namespace brevane::fuzzing {

inline constexpr std::string_view valid_first_line =
    R"({"format":"brevane-scan","version":1,"start":"2026-12-06T05:04:10.000+01:00",)"
    R"("settings":{"xmin":100,"xmax":255,"zmin":140,"zmax":200,"row_step":10,)"
    R"("point_step":10,"step":10,"gain":10,"echo_timeout_ms":3000},"type":"sweep"})";

// The first field in which two readings differ; empty when they agree.
inline std::string reading_difference(const recorded_reading& a, const recorded_reading& b) {
  const reading_event &x = a.event, &y = b.event;
  if (x.kind != y.kind) return "kind";
  if (x.pass != y.pass) return "pass";
  if (x.cycle != y.cycle || x.row != y.row || x.point != y.point) return "cycle, row or point";
  if (x.x != y.x || x.z != y.z) return "x or z";
  if (x.temperature_f != y.temperature_f) return "temperature_f";
  if (x.distance_in != y.distance_in) return "distance_in";
  if (a.ms != b.ms || x.time != y.time) return "ms";
  return {};
}

inline std::string check_whole_file(std::string_view file) {
  std::string refusal;
  const auto record = parse_scan_record(file, "fuzz.jsonl", &refusal);
  if (!record) {
    if (!refusal.starts_with("fuzz.jsonl is not a scan record: ")) return "refusal " + refusal;
    return {};
  }
  for (const std::string& problem : record->problems)
    if (!problem.starts_with("line ") && !problem.starts_with("the record ended"))
      return "a problem names no line: " + problem;
  const QDateTime start = record->header.start.toUTC();
  for (const recorded_reading& r : record->readings)
    if (r.event.time != start.addMSecs(r.ms) || !r.event.time.isValid())
      return "a reading's time is not the start plus its ms";
  if (record->end && record->end->readings < 0) return "a negative count of readings";
  const maps_data cells = maps_from_record(*record);
  static_cast<void>(cycle_readings(*record));
  if (cells.cycles() < 0) return "a negative cycle count";
  return {};
}

inline std::string check_lines_after_header(std::string_view data) {
  const std::string header(valid_first_line);
  std::string refusal;
  const auto start_record = parse_scan_record(header, "header", &refusal);
  if (!start_record) return "the valid first line is refused: " + refusal;
  const QDateTime start = start_record->header.start.toUTC();
  std::size_t number = 1;
  while (!data.empty()) {
    const std::size_t end = data.find('\n');
    const std::string_view line = data.substr(0, end);
    data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
    ++number;
    const auto quick = quick_reading_line(line, start);
    if (!quick || line.size() > scan_record_line_limit) continue;
    const std::string at = "line " + std::to_string(number) + ": ";
    std::string why;
    const auto full = json_reading_line(line, start, &why);
    if (!full) return at + "the fast path reads it, the JSON parser refuses it: " + why;
    if (const std::string d = reading_difference(*quick, *full); !d.empty())
      return at + "the fast path and the JSON parser read " + d + " differently";
    // Kept as read, or named as a reading no head could take.
    const auto alone = parse_scan_record(header + "\n" + std::string(line), "one", &refusal);
    if (!alone) return at + "the record is refused: " + refusal;
    const bool kept =
        alone->readings.size() == 1 && reading_difference(alone->readings[0], *quick).empty();
    const bool named = alone->readings.empty() && !alone->problems.empty() &&
                       alone->problems.front().starts_with("line 2: ");
    if (!kept && !named)
      return at + "the record neither keeps the reading the fast path reads nor names it";
  }
  return {};
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_scan_record(std::span<const std::uint8_t> data) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  if (std::string failure = check_whole_file(text); !failure.empty())
    return "as a whole file: " + failure;
  if (std::string failure = check_lines_after_header(text); !failure.empty())
    return "after a valid first line: " + failure;
  return {};
}

}  // namespace brevane::fuzzing
