#pragma once
// A fast path for the bulk of a record: reading lines exactly as the writer writes them. A
// general JSON parse costs several microseconds a line, too slow for records of hundreds of
// thousands of readings. Anything this does not fully recognise goes to the general parser,
// which also names what is wrong.

#include <QDateTime>
#include <optional>
#include <string_view>

#include "logging/scan_record_reader.h"

namespace brevane {

// The reading of one flat JSON object with each of the reading line's keys exactly once and
// valid values; nullopt for any other line. start_utc: the record's start, in UTC.
std::optional<recorded_reading> quick_reading_line(std::string_view line,
                                                   const QDateTime& start_utc);

}  // namespace brevane
