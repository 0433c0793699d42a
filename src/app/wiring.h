#pragma once
// Connects every control of the window to its procedure, each device operation under the
// one-operation guard.

#include <QString>
#include <optional>
#include <string>

#include "scan/operation_runner.h"

namespace brevane {

class main_window;
class panel;
class maps_alarms;
class scan_record_writer;
struct instrument;
struct resume_plan;

// record: the sweeps' record, named in the status bar when a sweep ends.
void wire_window(main_window& window, instrument& inst, const scan_record_writer& record,
                 const QString& default_list_file);

// What the device buttons run, each under the guard. The remote commands run the very same,
// so the window shows what a client does exactly as if the button had been clicked.
// Temp and Distance: the reading (°F, inches), or nothing when the operation did not complete.
std::optional<double> take_temperature(instrument& inst);
std::optional<double> take_distance(instrument& inst);
bool go_home(instrument& inst);
// Moves the head to (x, z), each 0 to 255, with the jog's commands: the remote POSition and
// the Maps window's double-click.
bool move_head(instrument& inst, int x, int z);
// Why a sweep cannot start now, though the guard is free: no head, or the Stop box ticked.
std::optional<std::string> sweep_refusal(const instrument& inst);
// The Sweep button, with the status bar's Pause offered while it runs. reserved: the guard was
// already taken with operation_runner::reserve. cycles: run that many whatever Repeat says.
// With resume, the sweep goes on from the record it was taken up from, with its cycles.
bool run_window_sweep(panel& window, instrument& inst, const scan_record_writer& record,
                      bool reserved = false, std::optional<int> cycles = std::nullopt,
                      const resume_plan* resume = nullptr);
// The Pause button: pauses the sweep after the exchange in progress, or resumes it.
void toggle_pause(panel& window, instrument& inst);
// With controls (the operator's window), the Maps window's alarm boxes take the last run's alarms
// and are the sweep's alarm setting, whoever changes it.
void wire_alarms(instrument& inst, maps_alarms* controls);

}  // namespace brevane
