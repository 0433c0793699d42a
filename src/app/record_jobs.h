#pragma once
// The command line's work on a scan record that needs no window.

#include <QString>
#include <optional>

namespace brevane {

// --open RECORD --export-csv TABLE: 0 when the table is written, 1 with a message on stderr
// when the record cannot be read or the table cannot be written.
int export_record_csv(const QString& record, const QString& table);

// --open RECORD --export-png PICTURE [--cycle N]: the Maps window's picture of that cycle (the
// last one by default); 0 when written, 1 with a message on stderr otherwise. Needs the
// application object, for the fonts.
int export_record_png(const QString& record, std::optional<int> cycle, const QString& picture);

}  // namespace brevane
