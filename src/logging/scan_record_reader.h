#pragma once
// Reads a scan record back: its settings, every reading, the raster changes, the baseline's
// average and how the sweep ended. A damaged line is named and skipped; the good lines around
// it are kept. A file that is not a record is refused.

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/reading_stream.h"

namespace brevane {

struct scan_record_header {
  int version = 0;
  std::string program_version;
  std::string head_kind;  // "simulated" or "usb"
  std::string head_options;
  std::string head_serial;
  std::string head_path;
  QDateTime start;
  raster_in_use raster;
  int step = 0;
  int gain = 0;
  std::array<bool, 6> checks{};  // indexed by check_box
  int echo_timeout_ms = 0;
  QJsonObject settings;   // every setting as recorded, for the exports that carry them all
  std::string plan_file;  // the plan the settings came from; empty for none
  std::optional<int> cycles;  // the cycles the sweep was asked for; none: Repeat decided
  // The logs the sweep kept, so that a resumed one keeps them too; none: not recorded.
  std::optional<bool> log_data;
  std::optional<bool> log_images;
};

struct recorded_reading {
  reading_event event;  // event.time is the start plus ms
  qint64 ms = 0;        // since the sweep's start
};

struct recorded_raster_change {
  raster_in_use raster;
  std::size_t before_reading = 0;  // index of the first reading that uses it
};

struct recorded_interruption {
  interruption what = interruption::paused;
  reading_event where;             // the place: cycle, pass, row, point, x, z and the time
  std::size_t before_reading = 0;  // index of the first reading after it
};

struct recorded_end {
  sweep_end how = sweep_end::completed;
  std::string message;
  long readings = 0;
  QDateTime when;
};

// All of a record but its readings: what a streamed reading hands over at its end.
struct scan_record_summary {
  scan_record_header header;
  std::size_t reading_count = 0;  // every good reading, kept or streamed
  std::vector<recorded_raster_change> raster_changes;
  std::vector<recorded_interruption> interruptions;
  std::optional<double> avgt;
  std::optional<recorded_end> end;    // none: the record ended unexpectedly
  std::vector<std::string> problems;  // "line N: reason"
  std::size_t problems_left_out = 0;  // damaged lines past the first scan_record_problems_kept
  qint64 last_ms = 0;  // the latest "ms" of a reading or an event, since the start
};

struct scan_record : scan_record_summary {
  std::vector<recorded_reading> readings;  // empty when they were streamed
};

// Lines longer than this are skipped unkept: no reading comes near it.
inline constexpr std::size_t scan_record_line_limit = 1 << 20;
// Damaged lines named at most; the rest are counted. A file of a million damaged lines would
// otherwise cost its own size again in their names.
inline constexpr std::size_t scan_record_problems_kept = 1000;

// nullopt with refusal set when the file cannot be read or is not a scan record. Only a
// regular file is read: a device, a FIFO or a folder is refused. With whole_end, a last line
// without its line feed (torn by a crash) is left out, and *whole_end is where it begins.
std::optional<scan_record> read_scan_record(const QString& path, std::string* refusal,
                                            qint64* whole_end = nullptr);
// The same from a record's bytes; name stands for the file in the refusal.
std::optional<scan_record> parse_scan_record(std::string_view bytes, const std::string& name,
                                             std::string* refusal);

// What a record holds, handed over in the order of its lines: the header first, each raster
// change before the readings that use it. A long record is read this way in flat memory.
struct scan_record_stream {
  std::function<void(const scan_record_header&)> header;
  std::function<void(const raster_in_use&)> raster_changed;
  std::function<void(const recorded_reading&)> reading;
};

// Reads a record once more each time it is called, handing its lines to the stream: what an
// export reads, as many times as it needs. The record it returns holds no readings, only
// their count; nullopt with the refusal as read_scan_record has it.
using scan_record_source =
    std::function<std::optional<scan_record>(const scan_record_stream&, std::string* refusal)>;
// The record in the file at path, read again on each call.
scan_record_source record_file(const QString& path);
// A record already in memory (which must outlive the source).
scan_record_source record_held(const scan_record& record);

// "completed", "echo timeout", ... or "ended unexpectedly" when the last line is missing.
std::string scan_record_ending(const scan_record& record);

// The readings of one cycle (1, 2, ...), or of the last cycle that has any when cycle is 0.
std::vector<recorded_reading> cycle_readings(const scan_record& record, int cycle = 0);

}  // namespace brevane
