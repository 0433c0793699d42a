#pragma once
// A scan record as a tidy CSV table for a spreadsheet: one row per reading, absent readings
// as empty cells, numbers with '.' in any locale and written so they read back exactly.

#include <QString>
#include <string>

namespace brevane {

struct scan_record;

inline constexpr const char* scan_csv_header =
    "cycle,pass,kind,row,point,x,z,temperature_f,distance_in,ms";

// Writes the table to path (replacing it). An error text, empty on success.
std::string export_scan_csv(const scan_record& record, const QString& path);

}  // namespace brevane
