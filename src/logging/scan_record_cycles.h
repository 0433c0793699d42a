#pragma once
// One cycle's readings read back from a scan record, while its sweep may still be writing it.
// A sweep on Repeat runs for days; the Maps window keeps only the cycle in progress and asks
// here for the older ones it shows. Where each cycle's readings begin is remembered as the
// record is read: one offset a cycle, so a week of cycles costs a few hundred kilobytes. A
// reading no head could have taken (see reading_checks) is left out, as the reader leaves it.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logging/scan_record_checks.h"
#include "logging/scan_record_reader.h"

namespace brevane {

// The reading a record's line holds, by the fast path or the general parser; none for the
// other lines and for damaged ones.
std::optional<recorded_reading> reading_of_line(std::string_view line, const QDateTime& start_utc);

class scan_record_cycles {
 public:
  using reading_sink = std::function<void(const recorded_reading&)>;

  // Calls each for every reading of cycle (1, 2, ...) of the record at path, in the order
  // taken; none when the record has not reached that cycle. Empty when done; otherwise why,
  // naming the record.
  std::string read(const QString& path, int cycle, const reading_sink& each);

 private:
  // Starts the index again unless path is the record it was made of.
  std::string begin(const QString& path);
  // Reads the whole lines from offset on, handing each with its offset to line until it
  // returns false. *end: the offset after the last whole line handed over.
  std::string for_each_line(qint64 offset,
                            const std::function<bool(std::string_view, qint64)>& line,
                            qint64* end) const;

  QString path_;
  QByteArray first_line_;
  QDateTime start_utc_;
  // Each cycle met and where its first reading begins, in the record's order; a record
  // numbers its cycles upwards, so this is sorted by cycle.
  struct cycle_start {
    int cycle;
    qint64 offset;
    reading_checks checks;  // as they stood before its first reading
  };
  std::vector<cycle_start> starts_;
  qint64 indexed_ = 0;     // where the next line to index begins
  reading_checks checks_;  // as they stand at indexed_
};

}  // namespace brevane
