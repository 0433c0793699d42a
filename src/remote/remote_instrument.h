#pragma once
// What the remote interface asks of the instrument. The program implements it over the same
// procedures, panel and one-operation guard as the window's buttons, so a remote command shows
// in the window exactly as if clicked; the tests implement it over a fake.
//
// Every call comes on the UI thread. The device operations (measure, move_to, home) may run
// the echo wait's nested event loop and return only when they have ended; meanwhile other
// clients' calls arrive, and the guard refuses those that need the head. Queries of state
// (position, settings, plan_json, sweep_status, reading_count, record_path) always answer.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "remote/instrument_status.h"

namespace brevane::remote {

// How a command ended. A refused or out-of-range command changes nothing.
struct outcome {
  enum class kind { done, out_of_range, refused };
  kind result = kind::done;
  // What the operator would be told: the allowed values, or why it could not run
  // ("a sweep is still running").
  std::string reason;

  static outcome done() { return {}; }
  static outcome out_of_range(std::string why) { return {kind::out_of_range, std::move(why)}; }
  static outcome refused(std::string why) { return {kind::refused, std::move(why)}; }
};

template <typename T>
struct answer {
  outcome status;
  T value{};
};

struct identity {
  std::string head;     // the head's model, or the simulated head's
  std::string serial;   // its serial number, or "SIM"
  std::string version;  // the program's version
};

struct position {
  int x = 0;
  int z = 0;
};

struct sweep_status {
  // WAITING: a sweep held until its head comes back.
  enum class phase { idle, running, paused, waiting };
  phase state = phase::idle;
  int cycle = 0;
  int pass = 0;
  int row = 0;
  int point = 0;
  double percent = 0.0;   // of the sweep, or of the cycle when it repeats without end
  int seconds_left = -1;  // -1 while there is no estimate yet
  // How the last sweep ended: NONE before the first, then COMPLETED, CANCELLED, STOPPED,
  // ALARM, HEADLOST or FAILED.
  std::string ending = "NONE";
};

class remote_instrument {
 public:
  virtual ~remote_instrument() = default;

  virtual identity identify() const = 0;

  // One reading each, exactly as the Temp and Distance buttons take it (°F, inches). Refused
  // while another operation runs; an echo wait that ends is refused with its message.
  virtual answer<double> measure_temperature() = 0;
  virtual answer<double> measure_distance() = 0;

  // The last commanded positions.
  virtual position commanded_position() const = 0;
  // Moves as the jog buttons do; out_of_range outside 0 to 255.
  virtual outcome move_to(int x, int z) = 0;
  virtual outcome home() = 0;

  // The plan's keys, by the names of a scan record's settings: xmin, xmax, zmin, zmax, step
  // and gain are whole numbers; repeat, sonic_off and temp_off are flags. A value outside
  // the control's range is out_of_range with the allowed values as the reason.
  virtual int integer_setting(std::string_view key) const = 0;
  virtual outcome set_integer_setting(std::string_view key, int value) = 0;
  virtual bool flag_setting(std::string_view key) const = 0;
  virtual outcome set_flag_setting(std::string_view key, bool value) = 0;

  // The sweep's alarms, by the reading each watches: "temperature_f" (a reading above it, °F)
  // and "distance_in" (below it, inches); none when off. The window's alarm boxes show the same
  // setting. Set at any time, a sweep running or not; out_of_range beyond what the head reads.
  virtual std::optional<double> alarm(std::string_view reading) const = 0;
  virtual outcome set_alarm(std::string_view reading, std::optional<double> threshold) = 0;

  // The plan as one line of JSON; a whole plan set at once, refused as a whole (out_of_range
  // for a plan that does not validate, refused while a sweep runs).
  virtual std::string plan_json() const = 0;
  virtual outcome set_plan_json(std::string_view json) = 0;

  // Starts the sweep as the Sweep button does and returns once it has started, so the sweep
  // counts as the operation in progress when this returns; it runs on from the event loop.
  virtual outcome start_sweep() = 0;
  virtual outcome pause_sweep() = 0;
  virtual outcome resume_sweep() = 0;
  // Goes on with the sweep a record left without its end, as File > Resume Sweep does.
  virtual outcome resume_record(const std::string& path) {
    (void)path;
    return outcome::refused("this instrument cannot resume a sweep from its record");
  }
  // Ends the operation in progress as Escape does; nothing when none runs.
  virtual void abort() = 0;
  virtual sweep_status sweep_state() const = 0;

  // How many readings the current or last sweep has taken so far; and count of them from
  // start (0-based) as the CSV export's rows without its header, each ending in a line feed.
  // The session checks start and count against reading_count() before it asks.
  virtual long long reading_count() const = 0;
  virtual answer<std::string> read_readings(long long start, int count) const = 0;
  // The scan record's path; empty when no sweep has written one.
  virtual std::string record_path() const = 0;

  // Calls then once no operation runs: at once, inside this call, when none does; else when
  // the one in progress ends. then may be called from inside the instrument's own code, so it
  // only takes note and asks to be run later.
  virtual void operation_complete(std::function<void()> then) = 0;

  // How many cycles a remote sweep runs; none: without end, for as long as Repeat is on.
  virtual std::optional<int> sweep_cycles() const = 0;
  virtual outcome set_sweep_cycles(std::optional<int> cycles) = 0;

  // What the status registers show now.
  virtual status_conditions conditions() const = 0;
  // *TST?: 0 when the head answers, else a positive number.
  virtual int self_test() = 0;

  // The reset state: the limits', step's and gain's start values, Repeat off, the Stop box
  // clear, both alarms off, the sensors on, one cycle. Refused while an operation runs.
  virtual outcome reset() = 0;
};

}  // namespace brevane::remote
