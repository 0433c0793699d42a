#pragma once
// A scan record as the Maps window shows it: a reopened one whole, and the older cycles of
// the live sweep's record one at a time.

#include <QString>
#include <functional>

#include "display/maps_data.h"
#include "logging/scan_record_reader.h"

namespace brevane {

// Every reading of the record as cells, with the raster in force as it changed.
maps_data maps_from_record(const scan_record& record);

// Reads a cycle's cells back from the record at path(), asked each time: a new sweep writes a
// new record. A cycle that cannot be read has no cells.
maps_data::cycle_reader record_cycle_reader(std::function<QString()> path);

}  // namespace brevane
