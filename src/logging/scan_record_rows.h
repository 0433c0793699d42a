#pragma once
// The readings of a scan record as the CSV export's rows, read back from the file while its
// sweep may still be writing it. A sweep that repeats without end takes readings for as long
// as it runs, so they are not kept in memory: the record already holds each of them, written
// whole and in order. The byte offset of every 256th reading is remembered as the record is
// read, so a block of rows anywhere in a long record costs at most 256 lines of search. A
// reading no head could have taken (see reading_checks) is refused, naming its line.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <string>
#include <vector>

#include "logging/scan_record_checks.h"

namespace brevane {

class scan_record_rows {
 public:
  static constexpr long long readings_per_mark = 256;

  // Appends readings start .. start + count - 1 (0-based, in the order taken) of the record
  // at path to rows, one CSV row each with its line feed. Empty when done; otherwise why,
  // naming the record, and rows holds what was read before it failed.
  std::string read(const QString& path, long long start, long long count, QByteArray& rows);

 private:
  std::string begin(const QString& path);

  QString path_;
  QDateTime start_utc_;
  raster_in_use limits_;  // the header's
  // Where the line of a reading begins: its offset, the number of the line before it and
  // the checks as they stood there.
  struct mark {
    qint64 offset = 0;
    long line = 0;
    reading_checks checks;
  };
  // marks_[k]: the mark of reading k * readings_per_mark.
  std::vector<mark> marks_;
};

}  // namespace brevane
