#pragma once
// A scan record as a tidy CSV table for a spreadsheet: one row per reading, absent readings
// as empty cells, numbers with '.' in any locale and written so they read back exactly.

#include <QByteArray>
#include <QString>
#include <string>

namespace brevane {

struct scan_record;
struct recorded_reading;

inline constexpr const char* scan_csv_header =
    "cycle,pass,kind,row,point,x,z,temperature_f,distance_in,ms";

// One row of the table, with its line feed, appended to out; the remote DATA:READ? sends the
// same rows.
void append_csv_row(QByteArray& out, const recorded_reading& reading);

// Writes the table to path (replacing it). An error text, empty on success.
std::string export_scan_csv(const scan_record& record, const QString& path);

}  // namespace brevane
