#pragma once
// A scan record's lines one at a time, as the reader meets them: the first names the format and
// holds the settings; each later one is a reading, an event or the end. Whatever hands over the
// lines (a file, a buffer) decides where they come from.

#include <QDateTime>
#include <optional>
#include <string>
#include <string_view>

#include "logging/scan_record_reader.h"

namespace brevane {

class scan_record_parser {
 public:
  // One line without its LF; too_long when it was cut at scan_record_line_limit. False, with
  // why the file is no record in refusal, when reading must stop: only ever at the first line.
  bool add_line(std::string_view line, bool too_long, std::string* refusal);
  // The record after the last line. read_error: why the file could not be read to its end, or
  // empty. nullopt, with the refusal, when there was no line at all.
  std::optional<scan_record> finish(const std::string& read_error, std::string* refusal);

 private:
  void add_event_line(std::string_view line, const std::string& where);
  // A whole reading is kept only where a head could have taken it; otherwise it is a damaged
  // line, named, so that no number in a file decides how much an export allocates.
  void add_reading(recorded_reading r, const std::string& where);
  std::string impossible_reading(const reading_event& e) const;
  void widen_limits(const raster_in_use& r);

  scan_record record_;
  long number_ = 0;
  bool ended_ = false;
  QDateTime start_utc_;
  raster_in_use limits_;  // the header's limits, widened by every change since
  int highest_cycle_ = 0;
};

// The positions a head can reach.
inline constexpr int head_position_low = 0;
inline constexpr int head_position_high = 255;

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

}  // namespace brevane
