#pragma once
// The jobs the command line runs without the operator: a sweep with its summary, and a list
// upload. Each returns the program's exit status and says on stderr why it is not 0.

#include <QString>
#include <functional>

namespace brevane {

struct command_line;
struct instrument;
class panel;
class maps_data;
class maps_listener;
class scan_record_writer;
struct resume_plan;
namespace device {
class report_trace;
}

struct sweep_job {
  const command_line& options;
  instrument& inst;
  panel& window;
  scan_record_writer& record;
  const device::report_trace& trace;
  // The readings the --export-png picture is painted from, and what gathers them.
  maps_data& exported;
  maps_listener& export_listener;
  QString data_folder;
  // The sweep to take up again (--resume); none for a new one.
  const resume_plan* resume;
  // The field's formats, made from the sweep's own record as from --open; empty when none.
  std::function<int(const QString& record_path)> export_data;
};

// A --sweep that an --alarm ended, with everything it was asked for kept.
inline constexpr int exit_status_alarm = 4;

// --sweep: waits for the head, runs the cycles, writes the picture and prints the summary. 0
// only when the sweep completed and every log and record it was asked for kept every reading.
int run_sweep_job(const sweep_job& job);

// --upload-list: waits for the head and sends the list. 0 only when every entry was sent and
// the trace, when asked for, kept every report.
int run_upload_job(const command_line& options, instrument& inst, panel& window,
                   const device::report_trace& trace);

}  // namespace brevane
