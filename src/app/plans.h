#pragma once
// Plans from the command line and the File menu: the settings --plan and --set ask for, the
// jobs that need no head (--save-plan, --dry-run), and File > Open Plan and Save Plan.

#include <QString>
#include <optional>
#include <string>

#include "scan/sweep_plan.h"

namespace brevane {

struct command_line;
struct instrument;
class main_window;
class panel;
class scan_record_writer;

// The settings the command line asks for: the start values (with --echo-timeout, and
// "Repeat" unticked for --sweep), then --plan, then each --set in order. nullopt with the
// one-line reason when something is refused.
std::optional<sweep_settings> command_line_settings(const command_line& options, std::string* why);

// --save-plan: 0 when written, 1 with the reason on stderr.
int save_plan_job(const command_line& options, const sweep_settings& settings);

// --sweep --dry-run: what the sweep would do and how long it would take, on stdout; 0.
int dry_run_job(const command_line& options, const sweep_settings& settings);

// Sets the window's controls from the command line's settings, before anything starts; the
// record names the plan file.
void apply_command_line_settings(const command_line& options, const sweep_settings& settings,
                                 panel& window, instrument& inst, scan_record_writer& record);

// File > Open Plan and File > Save Plan. Open is refused while a device operation runs;
// settings a plan leaves out take their start values, with this echo timeout.
void wire_plan_menu(main_window& window, instrument& inst, scan_record_writer& record,
                    const QString& data_folder, int start_echo_timeout_ms);

}  // namespace brevane
