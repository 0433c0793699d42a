#pragma once
// Taking up a sweep that a crash, a kill or a power cut cut short: from the command line
// (--resume with --sweep), File > Resume Sweep… and the remote interface alike.

#include <QString>
#include <optional>
#include <string>

#include "scan/sweep_resume.h"

namespace brevane {

struct command_line;
struct instrument;
class main_window;
class panel;
class scan_record_writer;

// The data folder a record belongs to: the folder that holds its scans/ folder.
QString record_data_folder(const QString& record);

// What the resume needs to know of this program's head.
struct head_identity {
  std::string kind;  // "simulated" or "usb"
  std::string serial;
  bool any_head = false;
};
head_identity head_of(const command_line& options);

// Reads the record, checks it may be continued here (its data folder is this program's, held
// by its lock, so no other program continues it), sets the controls from it and makes the
// record writer, the data log and the image log go on where it stopped. nullopt with why when
// refused; nothing is changed then.
std::optional<resume_plan> take_up_record(const QString& record, const head_identity& head,
                                          std::optional<int> cycles, const QString& data_folder,
                                          instrument& inst, panel& window,
                                          scan_record_writer& writer, std::string* why);

// The newest record in the data folder's scans/ that has no end line; empty when none.
QString newest_unended_record(const QString& data_folder);

// File > Resume Sweep…: proposes the newest record without an end line, takes up the one the
// operator chooses and runs it as the Sweep button runs a sweep.
void resume_window_sweep(main_window& window, instrument& inst, scan_record_writer& record,
                         const QString& data_folder, const head_identity& head);

}  // namespace brevane
