#pragma once
// The command line's work on a scan record that needs no window.

#include <QString>

namespace brevane {

// --open RECORD --export-csv TABLE: 0 when the table is written, 1 with a message on stderr
// when the record cannot be read or the table cannot be written.
int export_record_csv(const QString& record, const QString& table);

}  // namespace brevane
