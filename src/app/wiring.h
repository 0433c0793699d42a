#pragma once
// Connects every control of the window to its procedure, each device operation under the
// one-operation guard.

#include <QString>

namespace brevane {

class main_window;
struct instrument;

void wire_window(main_window& window, instrument& inst, const QString& default_list_file);

}  // namespace brevane
