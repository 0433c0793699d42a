#pragma once
// A scan record as the Maps window shows it: a reopened one whole, and the older cycles of
// the live sweep's record one at a time.

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "display/maps_data.h"
#include "logging/scan_record_reader.h"

namespace brevane {

// Every reading of the record as cells, with the raster in force as it changed.
maps_data maps_from_record(const scan_record& record);

// The maps of the record at path from one pass over it, in flat memory: the last cycle and the
// latest cells are kept, and the cycle asked for; other older cycles are read back from the
// record when shown. *summary: the record without its readings. nullopt with the refusal when
// the record cannot be read.
std::optional<maps_data> maps_from_file(const QString& path, std::optional<int> cycle,
                                        scan_record* summary, std::string* refusal);

// Reads a cycle's cells back from the record at path(), asked each time: a new sweep writes a
// new record. A cycle that cannot be read has no cells.
maps_data::cycle_reader record_cycle_reader(std::function<QString()> path);

}  // namespace brevane
