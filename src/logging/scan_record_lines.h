#pragma once
// A scan record's lines one at a time, as the reader meets them: the first names the format and
// holds the settings; each later one is a reading, an event or the end. Whatever hands over the
// lines (a file, a buffer) decides where they come from.

#include <QDateTime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "logging/scan_record_checks.h"
#include "logging/scan_record_reader.h"

namespace brevane {

class scan_record_parser {
 public:
  scan_record_parser() = default;
  // Hands the header, the raster changes and the readings to stream as they come; the readings
  // are then counted, not kept.
  explicit scan_record_parser(scan_record_stream stream) : stream_(std::move(stream)) {}

  // One line without its LF; too_long when it was cut at scan_record_line_limit. False, with
  // why the file is no record in refusal, when reading must stop: only ever at the first line.
  bool add_line(std::string_view line, bool too_long, std::string* refusal);
  // The record after the last line. read_error: why the file could not be read to its end, or
  // empty. nullopt, with the refusal, when there was no line at all.
  std::optional<scan_record> finish(const std::string& read_error, std::string* refusal);

 private:
  void add_event_line(std::string_view line, const std::string& where);
  // A damaged line: named while few, counted after.
  void damaged(std::string problem);
  // A whole reading is kept only where a head could have taken it; otherwise it is a damaged
  // line, named, so that no number in a file decides how much an export allocates.
  void add_reading(recorded_reading r, const std::string& where);

  scan_record_stream stream_;
  scan_record record_;
  long number_ = 0;
  bool ended_ = false;
  QDateTime start_utc_;
  reading_checks checks_;
};

// The raster a "raster" line sets; none for any other line and for a damaged one.
std::optional<raster_in_use> raster_of_line(std::string_view line);

// A reading line as the full JSON parser reads it; nullopt with the reason when it is no whole
// reading line. The fast path must agree with it on every line the fast path takes.
std::optional<recorded_reading> json_reading_line(std::string_view line, const QDateTime& start_utc,
                                                  std::string* why);

// A line's "ms" as the time since the start and the time itself; nullopt when it is no number
// of milliseconds that a time can hold (a fraction is dropped, as it always was).
struct record_time {
  qint64 ms = 0;
  QDateTime when;
};
std::optional<record_time> time_from_ms(double ms, const QDateTime& start_utc);

// The reading a line's fields make, once each of them was read; both parsers build it here.
recorded_reading reading_of(reading_kind kind, pass_direction pass, int cycle, int row, int point,
                            int x, int z, std::optional<double> temperature_f,
                            std::optional<double> distance_in, const record_time& time);

}  // namespace brevane
