#pragma once
// File > Export… of the Maps window: a scan record in the field's formats and as a table.

#include <QString>
#include <optional>
#include <string>

#include "export/export_formats.h"

namespace brevane {

// The name offered for an export of record: the record's own folder and name, the format's
// extension.
QString proposed_export_name(const QString& record, export_format format);

// The name "Save Picture…" offers for the picture of cycle (the latest readings when none) of
// the record: its folder, "<record's name> cycle N.png" or "<record's name> latest.png";
// without a record, "maps.png" in fallback_folder.
QString proposed_picture_name(const QString& record, std::optional<int> cycle,
                              const QString& fallback_folder);

// Writes the record at record_path in format to target (TIFF and PNG: cycle, the last when
// none). An error text, empty when written.
std::string export_scan(const QString& record_path, export_format format, const QString& target,
                        std::optional<int> cycle);

}  // namespace brevane
