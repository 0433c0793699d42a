#pragma once
// A scan record as a tidy CSV table for a spreadsheet: one row per reading, absent readings
// as empty cells, numbers with '.' in any locale and written so they read back exactly.

#include <QByteArray>
#include <QString>
#include <string>

#include "logging/scan_record_reader.h"

namespace brevane {

inline constexpr const char* scan_csv_header =
    "cycle,pass,kind,row,point,x,z,temperature_f,distance_in,ms";

// One row of the table, with its line feed, appended to out; the remote DATA:READ? sends the
// same rows.
void append_csv_row(QByteArray& out, const recorded_reading& reading);

// Writes the table to path (replacing it). An error text, empty on success.
std::string export_scan_csv(const scan_record& record, const QString& path);
// The same from a record read as it is written out, so that a long record costs no more
// memory than a short one. *summary: the record without its readings, when it could be read;
// a record that cannot be read is refused in its own words.
std::string export_scan_csv(const scan_record_source& record, const QString& path,
                            scan_record* summary);

}  // namespace brevane
