#pragma once
// The command line's work on a scan record that needs no window.

#include <QString>
#include <string>

#include "app/command_line.h"

namespace brevane {

// --open RECORD --export-NAME FILE ... [--cycle N] [--palette P]: every export asked for, one
// after another, each reading the record in flat memory; or, after_sweep, the exports a sweep
// writes from its record as it ends (a sweep paints its picture from its own maps). A damaged
// record exports its good lines, and its damaged lines are named once on stderr. 0 when every
// file is written, 1 with the reasons on stderr otherwise. A picture needs the application
// object, for the fonts.
int export_record_files(const QString& record, const command_line& options,
                        const std::string& program_version, bool after_sweep);

// Whether the command line asks a sweep to export its record as it ends.
bool sweep_exports(const command_line& options);

}  // namespace brevane
