#pragma once
// Connects every control of the window to its procedure, each device operation under the
// one-operation guard.

#include <QString>

namespace brevane {

class main_window;
class scan_record_writer;
struct instrument;

// record: the sweeps' record, named in the status bar when a sweep ends.
void wire_window(main_window& window, instrument& inst, const scan_record_writer& record,
                 const QString& default_list_file);

}  // namespace brevane
