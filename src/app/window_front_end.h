#pragma once
// Front end 1, the operator's windows: the main window over the instrument's state, and the Maps
// window over its readings, each control wired to its procedure. A job or a service builds
// neither; it drives the same instrument through a plain panel.

#include <QString>
#include <memory>
#include <string>

namespace brevane {

struct command_line;
struct instrument;
class instrument_state;
class main_window;
class maps_window;
class plain_panel;
class scan_record_writer;

class window_front_end {
 public:
  // The main window comes first: the procedures are built over it.
  explicit window_front_end(instrument_state& state);
  ~window_front_end();
  window_front_end(const window_front_end&) = delete;
  window_front_end& operator=(const window_front_end&) = delete;

  main_window& window() { return *window_; }
  maps_window& maps() { return *maps_; }

  // Builds the Maps window and connects both windows to the instrument; then shows the main
  // window, with the record of --open, if any, in the Maps window. A record that cannot be
  // shown is said here, and false comes back.
  bool wire(const command_line& options, instrument& inst, scan_record_writer& record,
            const QString& data_folder);

 private:
  std::unique_ptr<main_window> window_;
  std::unique_ptr<maps_window> maps_;
};

// The controls of a job or a service, which have no window: a change reaches the procedure the
// window's change reaches.
void wire_plain_panel(plain_panel& front, instrument& inst);

}  // namespace brevane
