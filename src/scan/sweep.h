#pragma once
// The raster sweep: a thermal baseline, then cycles of an upward and a downward pass over
// the scan limits with a thermal and a distance reading at every point, painting the maps
// after each pass.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/reading_stream.h"
#include "scan/sweep_alarm.h"
#include "scan/sweep_count.h"
#include "scan/sweep_progress.h"

namespace brevane {

namespace device {
class command_exchange;
}
class clock;
class image_maps;
class instrument_state;
class panel;
struct sweep_standing;

// Where a sweep stands, as the instrument's state keeps it.
sweep_standing standing_of(const sweep_status& s);
class sonic_reading;
class thermal_reading;
struct main_window_state;

// What a sweep cut short by a crash, a kill or a power cut goes on from, rebuilt from its
// record: the baseline and the last reading the record holds.
struct sweep_resumption {
  std::optional<double> avgt;  // none: the baseline itself was cut short
  int baseline_held = 0;       // the baseline readings held then, and the sum of their
  double baseline_sum = 0;     // whole-degree temperatures
  reading_event last;          // the last reading held; its kind, place and position
  // The readings held of the cycle in progress: the Maps window shows them, and the grey maps
  // of the pass in progress are painted from them at its end.
  std::vector<reading_event> cycle_readings;
};

class sweep_procedure {
 public:
  enum class outcome { completed, stopped };

  sweep_procedure(device::command_exchange& exchange, main_window_state& state, panel& window,
                  thermal_reading& thermal, sonic_reading& sonic, image_maps& maps,
                  reading_stream& stream, const clock& time_source);

  // With cycles set, runs that many cycles whatever "Repeat" says; otherwise "Repeat" decides.
  // With from, goes on after its last reading: the head moves back to it, and the reports
  // from there are those the sweep would have sent had it never stopped.
  outcome sweep(std::optional<int> cycles = std::nullopt, const sweep_resumption* from = nullptr);

  long points_swept() const { return points_; }
  // How the last sweep ended, as the start of a sentence: "Sweep completed", "Sweep stopped by
  // the Stop box", or the message of what ended it.
  const std::string& end_sentence() const { return end_sentence_; }
  int cycles_completed() const { return cycles_done_; }

  // Where the sweep stands and how long it has left, with the limits and boxes as they stand
  // now; any time, also between sweeps (the last one's end).
  sweep_status status() const;
  // Hears the status when the status bar shows it: at the first row start, then at most once
  // a second, and once more when the sweep ends.
  std::function<void(const sweep_status&)> on_progress;

  // The alarms watched at every reading. In the window one pauses the sweep before its next
  // report, as the Pause button does; with ends_sweep (--sweep) it ends the sweep there as the
  // Stop box does. on_alarm hears the reason once the sweep has acted on it.
  alarm_watch& alarms() { return alarms_; }
  const alarm_watch& alarms() const { return alarms_; }
  void set_alarm_ends_sweep(bool ends) { alarm_ends_sweep_ = ends; }
  std::function<void(const std::string& reason)> on_alarm;
  // The alarm that ended the last sweep; empty when none did.
  const std::string& ending_alarm() const { return ending_alarm_; }

 private:
  outcome run_cycles(std::optional<int> cycles);
  // One pass over the rows, upward or downward, and its pictures; false when it was stopped.
  bool run_pass(bool upward);
  bool row_start(int z, bool upward);
  bool x_run(bool upward);
  bool x_point(int x, bool upward, bool increasing);
  bool stop_requested() const;
  sweep_boxes boxes() const;
  // Counts what a step sent and shows the status when it is due.
  void step_done(const exchange_tally& sent);
  void announce();
  reading_event event(reading_kind kind) const;
  void reading_taken(reading_kind kind, std::optional<double> temperature,
                     std::optional<double> distance);
  // Tells the stream of a reading and acts on the alarms it sets off.
  void tell(const reading_event& e);
  bool ended_by_alarm() const { return alarm_ends_sweep_ && !alarm_.empty(); }
  void pass_begins(int zmin, int zmax, int step);
  void announce_raster();
  void pass_ended();
  void ended(sweep_end how, const std::string& message, bool by_alarm = false);
  std::string place() const;
  void interrupted(interruption what);
  void restore_position();
  void take_sweep_baseline();
  // The grey maps of the pass in progress, as its held readings painted them.
  void refill_maps();
  // While a resumed sweep passes over what its record holds: the place moves on, nothing is
  // sent. False once the last reading held is passed.
  bool passing_over(reading_kind kind);

  device::command_exchange& exchange_;
  main_window_state& state_;
  panel& window_;
  thermal_reading& thermal_;
  sonic_reading& sonic_;
  image_maps& maps_;
  reading_stream& stream_;
  const clock& clock_;
  // The settings the sweep reads, at the moments the original read its controls.
  instrument_state& settings_;

  int direction_ = 0;  // 0: next X run increasing, 1: decreasing
  long points_ = 0;
  int cycles_done_ = 0;
  // Progress of the cycle in progress, for the status bar.
  int cycle_ = 0;
  pass_direction pass_ = pass_direction::none;
  raster_in_use in_use_;
  raster_in_use announced_;
  int row_ = 0, rows_ = 0, point_ = 0, points_in_run_ = 0;
  int baseline_readings_ = 0;
  std::string end_sentence_;
  sweep_progress progress_;
  alarm_watch alarms_;
  bool alarm_ends_sweep_ = false;
  // The alarm the sweep acts on: the pause it asked for, or the end.
  std::string alarm_;
  std::string ending_alarm_;
  std::optional<sweep_resumption> resume_;
  bool skipping_ = false;
};

}  // namespace brevane
