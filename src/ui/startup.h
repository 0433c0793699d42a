#pragma once
// Start-up: the state's start values, empty extremes boxes, and the data folder.

#include <QString>
#include <string>

#include "logging/data_folder.h"

namespace brevane {

class panel;
struct main_window_state;

struct data_folder_result {
  QString path;         // the folder the logs write into; empty when none could be made
  std::string message;  // a problem with the usual place, for the status bar and stderr
  std::string note;     // where an installed program keeps its data, for the status bar
  folder_lock lock;     // this run's hold on the folder, released at exit
};

// The user's folders an installed program may write into.
struct user_folders {
  QString documents;  // the platform's documents folder; empty when there is none
  QString home;
};

// True for a folder in the system's own tree (/usr/bin, /usr/local/bin, /opt/...), where a
// program is installed and nothing of a user's belongs, whoever runs it.
bool is_system_folder(const QString& folder);

struct default_place {
  QString path;
  bool installed = false;  // the program is installed: its data goes to the user's folders
};
// Where the data goes when no folder is chosen: "data" beside a program run from its build or
// unpacked folder; "Brevane" in the documents folder (else the home folder) for an installed
// one, that is one whose folder is not writable or is a system folder.
default_place default_data_folder(const QString& program_folder, bool program_folder_writable,
                                  const user_folders& user);

// Claims the chosen folder, or else the default place; a folder another Brevane holds gives
// way to a sibling. The working directory is left alone: every file is reached by its full
// path.
data_folder_result prepare_data_folder(const QString& program_folder, const user_folders& user,
                                       const QString& chosen = QString());

// The load step's state and boxes.
void load_step(main_window_state& state, panel& window);

}  // namespace brevane
