#pragma once
// A reopened scan record as the Maps window shows it.

#include "display/maps_data.h"
#include "logging/scan_record_reader.h"

namespace brevane {

// Every reading of the record as cells, with the raster in force as it changed.
maps_data maps_from_record(const scan_record& record);

}  // namespace brevane
