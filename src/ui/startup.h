#pragma once
// Start-up: the state's start values, empty extremes boxes, and the data folder.

#include <QString>
#include <string>

namespace brevane {

class panel;
struct main_window_state;

struct data_folder_result {
  QString path;         // the folder the logs write into; empty when none could be made
  std::string message;  // for the status bar when the usual place could not be used
};

// Makes sure "data" exists beside the program, or else under the user's application data
// location. The working directory is left alone: every file is reached by its full path.
data_folder_result prepare_data_folder(const QString& program_folder, const QString& fallback_base);

// The load step's state and boxes.
void load_step(main_window_state& state, panel& window);

}  // namespace brevane
