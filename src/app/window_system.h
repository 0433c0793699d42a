#pragma once
// Everything before the window system starts: choosing the platform, and never letting a
// display that cannot be reached abort the program.

#include <optional>
#include <string>

namespace brevane {

// A headless job without a display runs on the offscreen platform; the window without one
// cannot start: the reason, for one line on stderr.
std::optional<std::string> choose_platform(bool headless_job);

// True when a display is named (DISPLAY or WAYLAND_DISPLAY; always elsewhere than Linux).
bool display_available();

// Until window_system_started(), a fatal message of the platform plugin ends the program with
// one line and status 2 instead of a core dump. Also keeps a benign start-up warning quiet.
void install_fatal_display_handler();
void window_system_started();

}  // namespace brevane
