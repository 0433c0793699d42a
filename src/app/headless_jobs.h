#pragma once
// The jobs the program runs without the operator, once the head is there: a sweep and a list
// upload. Each says what it did on stdout, or why not on stderr, and returns the exit status.

#include <QString>
#include <functional>
#include <string>

namespace brevane {

namespace device {
class device_link;
}
struct command_line;
struct instrument;
class main_window;
class scan_record_writer;

// Waits, with events running, until the head is there or the time is up.
bool wait_for_head(device::device_link& link, int ms);

// What stderr says when no head answered.
std::string absent_head_message(const command_line& options);

// --sweep. finish_export, when given, writes what was asked for besides the logs and says why
// it could not (the maps picture).
int run_sweep_job(const command_line& options, instrument& inst, const QString& data_folder,
                  const scan_record_writer& record,
                  const std::function<std::string()>& finish_export);

// --upload-list.
int run_upload_job(const command_line& options, instrument& inst, main_window& window);

}  // namespace brevane
