#pragma once
// The command line's work on a scan record that needs no window.

#include <QString>
#include <optional>
#include <string>

#include "display/maps_scale.h"

namespace brevane {

// --open RECORD --export-csv TABLE: 0 when the table is written, 1 with a message on stderr
// when the record cannot be read or the table cannot be written.
int export_record_csv(const QString& record, const QString& table);

// --open RECORD --export-png PICTURE [--cycle N]: the Maps window's picture of that cycle (the
// last one by default) in colours, titled with the record's name, the cycle and its start; 0
// when written, 1 with a message on stderr otherwise. Needs the application object, for the
// fonts.
int export_record_png(const QString& record, std::optional<int> cycle, const QString& picture,
                      palette_kind colours);

// --export-nexus FILE and --export-tiff FILE [--cycle N] from the record (either may be empty):
// 0 when every file asked for is written, 1 with the reason on stderr otherwise. A damaged
// record exports its good lines; name_damaged names the others on stderr (off when the CSV
// export has named them already). Needs no application object.
int export_record_data(const QString& record, std::optional<int> cycle, const QString& nexus,
                       const QString& tiff, const std::string& program_version,
                       bool name_damaged = true);

}  // namespace brevane
