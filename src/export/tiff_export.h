#pragma once
// One cycle of a scan record as a 32-bit float TIFF for ImageJ/Fiji and every image library:
// two pages, the thermal map (°F) then the sonic map (inches), drawn as the Maps window draws
// them (row 0 the highest Z, column 0 the lowest X), NaN where no reading was taken. Each
// page has its scale in the resolution tags (pixels per head position) and its values'
// bounds; the first page's description makes the pages a calibrated two-channel ImageJ
// hyperstack, and its info (IJMetadata) is JSON with the maps' names and units, the X of
// every column, the Z of every row and the settings.

#include <QString>
#include <optional>
#include <string>

#include "logging/scan_record_reader.h"

namespace brevane {

// cycle: the last one when none. Writes target whole or not at all. An error text, empty when
// written.
std::string export_tiff(const scan_record& record, const QString& record_path,
                        std::optional<int> cycle, const QString& target,
                        const std::string& program_version);
// The same, reading the record twice as it goes instead of holding it. *summary: the record
// without its readings, when written.
std::string export_tiff(const scan_record_source& record, const QString& record_path,
                        std::optional<int> cycle, const QString& target,
                        const std::string& program_version, scan_record* summary);

}  // namespace brevane
