#pragma once
// What the instrument is doing and how it is set, below every front end: the sweep's settings
// (the controls as data), the head, the position last commanded, the operation running and what
// it waits for, the sweep's progress, a pause and its reason, and how the last operation ended.
// The procedures read their settings here; the main window's controls edit it; the status bar,
// the Maps window, the headless jobs and the remote interface show it. Every change is
// announced to the listeners.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/control_ranges.h"
#include "model/panel.h"
#include "model/reading_stream.h"

namespace brevane {

// How the last operation ended.
enum class operation_ending { none, completed, cancelled, stopped, alarm, head_lost, failed };
// The remote's word for it: "COMPLETED", "CANCELLED", "STOPPED", "ALARM", "HEADLOST", "FAILED";
// "NONE" before the first.
const char* ending_word(operation_ending how);
// The sweep's own end in those terms; by_alarm: the Stop that ended it was an alarm's.
operation_ending ending_of(sweep_end how, bool by_alarm);

// Where a sweep stands, as every view shows it.
struct sweep_standing {
  int cycle = 0;  // 0 while the baseline is taken
  std::optional<int> cycles;
  pass_direction pass = pass_direction::none;
  int row = 0;
  int point = 0;
  double percent = 0;
  std::optional<double> seconds_left;
  bool operator==(const sweep_standing&) const = default;
};

class instrument_state {
 public:
  instrument_state();

  // --- Settings: the controls as data ---
  bool checked(check_box box) const { return boxes_[index(box)]; }
  int value(scroll_bar bar) const { return bars_[index(bar)]; }
  int step_index() const { return step_index_; }
  int step() const { return step_choices[static_cast<std::size_t>(step_index_)]; }
  bool log_data() const { return log_data_; }
  bool log_images() const { return log_images_; }
  void set_checked(check_box box, bool ticked);
  void set_value(scroll_bar bar, int value);
  // An index outside the step choices changes nothing.
  void set_step_index(int index);
  void set_log_data(bool on);
  void set_log_images(bool on);
  // The settings' storage, for an in-memory panel that is written directly in tests; a write
  // here is not announced.
  bool& box_storage(check_box box) { return boxes_[index(box)]; }
  int& bar_storage(scroll_bar bar) { return bars_[index(bar)]; }

  // --- The head ---
  bool head_present() const { return head_present_; }
  void set_head_present(bool present);

  // --- The position last commanded ---
  int x() const { return x_; }
  int z() const { return z_; }
  bool position_known() const { return position_known_; }
  void set_x(int x);
  void set_z(int z);
  // "X 230 Z 160"; empty until the head has been moved.
  std::string position_text() const;

  // --- The operation ---
  const std::string& operation() const { return operation_; }
  bool sweeping() const { return sweeping_; }
  // What the operation in progress waits for, in words ("the temperature reading"); empty
  // when it waits for nothing.
  const std::string& waiting_for() const { return waiting_for_; }
  void operation_began(const std::string& name, bool sweep);
  // Kept without a word to the listeners: it changes at every exchange, and the views show it
  // only with what they show anyway.
  void note_waiting_for(const std::string& what) { waiting_for_ = what; }
  // The operation's own account of how it ended, taken by operation_ended over its guess.
  void note_ending(operation_ending how) { noted_ending_ = how; }
  void operation_ended(operation_ending how, const std::string& sentence);

  // --- The sweep ---
  const sweep_standing& standing() const { return standing_; }
  void set_standing(const sweep_standing& now);
  bool paused() const { return paused_; }
  // Why: "F8", "Pause", "alarm: temperature 94.4 °F above 90 °F at X 185, Z 150", "remote".
  const std::string& pause_reason() const { return pause_reason_; }
  void set_paused(bool paused, const std::string& reason = {});
  // Who asked for the pause that is to come ("F8", "the Pause button", "a remote client"),
  // said when it takes effect.
  void ask_pause(const std::string& who) { pause_asked_by_ = who; }
  // A pause asked for and not yet taken back, in effect or waiting for the exchange in progress:
  // the Pause buttons then read "Resume".
  bool pause_asked() const { return pause_asked_; }
  void set_pause_asked(bool asked);
  const std::string& pause_asked_by() const { return pause_asked_by_; }

  // --- How the last operation ended ---
  operation_ending last_ending() const { return last_ending_; }
  const std::string& last_operation() const { return last_operation_; }
  // The status bar's sentence of it ("Sweep completed: 460 readings; record …").
  const std::string& last_sentence() const { return last_sentence_; }
  bool last_was_sweep() const { return last_was_sweep_; }
  // How the last sweep ended, whatever ran since.
  operation_ending last_sweep_ending() const { return last_sweep_ending_; }

  // Hears every change, after it is made. Returns an id for unlisten().
  int listen(std::function<void()> heard);
  void unlisten(int id);

 private:
  template <typename E>
  static std::size_t index(E e) {
    return static_cast<std::size_t>(e);
  }
  void announce();
  void move(int& axis, int to);

  std::array<bool, 6> boxes_{};
  std::array<int, 5> bars_{};
  int step_index_ = start_step_index;
  bool log_data_ = false;
  bool log_images_ = false;
  bool head_present_ = false;
  int x_ = 0;
  int z_ = 0;
  bool position_known_ = false;
  std::string operation_;
  bool sweeping_ = false;
  std::string waiting_for_;
  sweep_standing standing_;
  bool paused_ = false;
  std::string pause_reason_;
  std::string pause_asked_by_;
  bool pause_asked_ = false;
  operation_ending last_ending_ = operation_ending::none;
  std::optional<operation_ending> noted_ending_;
  std::string last_operation_;
  std::string last_sentence_;
  bool last_was_sweep_ = false;
  operation_ending last_sweep_ending_ = operation_ending::none;
  struct listener {
    int id;
    std::function<void()> heard;
  };
  std::vector<listener> listeners_;
  int next_id_ = 1;
};

}  // namespace brevane
