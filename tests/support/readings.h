#pragma once
// A reading at one raster point, as the sweep streams it.

#include <QDateTime>
#include <optional>

#include "model/reading_stream.h"

namespace brevane {

inline reading_event point_reading(int cycle, int x, int z, std::optional<double> t,
                                   std::optional<double> d) {
  reading_event e;
  e.kind = reading_kind::point;
  e.cycle = cycle;
  e.x = x;
  e.z = z;
  e.temperature_f = t;
  e.distance_in = d;
  e.time = QDateTime(QDate(2026, 12, 6), QTime(5, 4, 10));
  return e;
}

}  // namespace brevane
