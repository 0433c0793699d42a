#pragma once
// Scan records for the benchmarks: a writer in a folder of its own, and readings laid out in
// rows of a row start and 155 points (X 100..255), 61 rows (Z 141..201), two passes a cycle.

#include <QDateTime>
#include <QTemporaryDir>

#include "logging/scan_record.h"
#include "support/memory_panel.h"

namespace brevane::bench {

struct record_parts {
  QTemporaryDir folder;
  testing::memory_panel window;
  scan_record_writer writer{
      window, folder.path(), head_description{"simulated", "latency=0", {}, {}},
      3000,   "1.00",        [](const std::string&) {}};
  QDateTime start = QDateTime::currentDateTime();
  raster_in_use raster{100, 255, 140, 201, 1, 1};

  // A completed sweep of n readings: ten baseline readings, then points.
  void write(long n) {
    writer.sweep_started(raster, start);
    for (int k = 1; k <= 10; ++k) {
      reading_event e;
      e.kind = reading_kind::baseline;
      e.point = k;
      e.temperature_f = 70.056;
      e.time = start;
      writer.reading_taken(e);
    }
    writer.baseline_taken(70.056);
    for (long i = 0; i < n - 10; ++i) writer.reading_taken(point_reading(i, start.addMSecs(i * 9)));
    writer.sweep_ended(sweep_end::completed, "", start, false);
  }

  static reading_event point_reading(long n, const QDateTime& when) {
    reading_event e;
    e.kind = n % 156 == 0 ? reading_kind::row_start : reading_kind::point;
    e.cycle = static_cast<int>(1 + n / (156 * 61 * 2));
    e.pass = (n / (156 * 61)) % 2 == 0 ? pass_direction::upward : pass_direction::downward;
    e.row = static_cast<int>(1 + (n / 156) % 61);
    e.point = static_cast<int>(n % 156);
    e.x = 100 + e.point;
    e.z = 140 + e.row;
    e.temperature_f = 417 * 0.168 + static_cast<double>(n % 13) * 0.168;
    e.distance_in = 100.0 + static_cast<double>(n % 7) / 2.54;
    e.time = when;
    return e;
  }
};

}  // namespace brevane::bench
