#pragma once
// Start-up: the state's start values, empty extremes boxes, and the data folder.

#include <QLockFile>
#include <QString>
#include <memory>
#include <string>

namespace brevane {

class panel;
struct main_window_state;

struct data_folder_result {
  QString path;                     // the folder the logs write into; empty when none could be made
  std::string message;              // for the status bar when the usual place could not be used
  std::unique_ptr<QLockFile> lock;  // this run's hold on the folder, released at exit
};

// Claims the chosen folder, or when none is chosen "data" beside the program, or else under
// the user's application data location; a folder another Brevane holds gives way to a sibling.
// The working directory is left alone: every file is reached by its full path.
data_folder_result prepare_data_folder(const QString& program_folder, const QString& fallback_base,
                                       const QString& chosen = QString());

// The load step's state and boxes.
void load_step(main_window_state& state, panel& window);

}  // namespace brevane
