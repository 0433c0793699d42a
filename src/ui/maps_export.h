#pragma once
// File > Export… of the Maps window: a scan record in the field's formats and as a table.

#include <QString>
#include <optional>
#include <string>

namespace brevane {

enum class export_format { nexus, tiff, csv, png };

struct export_choice {
  export_format format;
  const char* filter;     // the file dialog's line for it
  const char* extension;  // with its dot
};
inline constexpr export_choice export_choices[] = {
    {export_format::nexus, "NeXus, both maps and every reading (*.nxs)", ".nxs"},
    {export_format::tiff, "TIFF, the cycle shown, 32-bit float (*.tif)", ".tif"},
    {export_format::csv, "CSV table of the readings (*.csv)", ".csv"},
    {export_format::png, "PNG picture of the maps (*.png)", ".png"},
};

// The name offered for an export of record: the record's own folder and name, the format's
// extension.
QString proposed_export_name(const QString& record, export_format format);

// The name "Save Picture…" offers for the picture of cycle (the latest readings when none) of
// the record: its folder, "<record's name> cycle N.png" or "<record's name> latest.png";
// without a record, "maps.png" in fallback_folder.
QString proposed_picture_name(const QString& record, std::optional<int> cycle,
                              const QString& fallback_folder);

// Writes the record at record_path as NeXus, TIFF (cycle; the last when none) or CSV to
// target. An error text, empty when written.
std::string export_scan(const QString& record_path, export_format format, const QString& target,
                        std::optional<int> cycle);

}  // namespace brevane
