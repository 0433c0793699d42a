#pragma once
// Whether a reading line holds a reading a head could have taken: its position within the
// head's reach and the record's limits (the first line's, widened by every raster line before
// it), its cycle at most one past the highest before it. Every reader of a record asks here,
// so that the exports, the Maps window and the remote read the same readings.

#include <string>

#include "model/reading_stream.h"

namespace brevane {

// The positions a head can reach.
inline constexpr int head_position_low = 0;
inline constexpr int head_position_high = 255;

class reading_checks {
 public:
  reading_checks() = default;
  explicit reading_checks(const raster_in_use& header_limits) : limits_(header_limits) {}

  // A raster line: its limits hold from the next reading on, and the earlier ones still do.
  void widen(const raster_in_use& r);
  // Why the reading is none a head could have taken here; empty when it is.
  std::string impossible(const reading_event& e) const;
  // A reading that passed: later ones count their cycles from it.
  void keep(const reading_event& e);

 private:
  raster_in_use limits_;
  int highest_cycle_ = 0;
};

}  // namespace brevane
