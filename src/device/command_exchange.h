#pragma once
// The request/echo exchange with the head: the two report buffers, the write step, the
// bounded echo wait and the small command procedures. One device operation runs at a time:
// its guard stands beside the exchange.

#include <QObject>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/device_constants.h"
#include "device/operation_guard.h"
#include "device/transport.h"

class QEventLoop;

namespace brevane {
class instrument_state;
}

namespace brevane::device {

class device_error;
class report_trace;

class command_exchange {
 public:
  command_exchange(transport& link, int echo_timeout_ms = default_echo_timeout_ms);
  ~command_exchange();
  command_exchange(const command_exchange&) = delete;
  command_exchange& operator=(const command_exchange&) = delete;

  output_report& output() { return output_; }
  input_report& input() { return input_; }
  const output_report& output() const { return output_; }
  const input_report& input() const { return input_; }
  int dataread = 0;  // set to 1 by the read handler for every stored report

  // The instrument's state hears each position commanded and what each wait is for.
  void set_state(instrument_state* state) { state_ = state; }
  void set_trace(report_trace* trace) { trace_ = trace; }
  report_trace* trace() const { return trace_; }
  void set_echo_timeout(int ms) { echo_timeout_ms_ = ms; }
  int echo_timeout_ms() const { return echo_timeout_ms_; }

  // Called by the read handler after it stored a report in input(); wakes the wait.
  void report_stored();
  // Called when the head is gone; a wait in progress ends at once.
  void head_lost();

  // The one-operation guard beside the exchange: its cancel, stop and pause end or hold the
  // exchange's waits.
  operation_guard& guard() { return guard_; }
  const operation_guard& guard() const { return guard_; }
  // True when no operation runs and nothing waits: a stop has nothing to end.
  bool idle() const { return !guard_.busy() && waits_.empty(); }

  // --- Exchange steps ---
  // Writes the output report to the head. Throws when the head is not there to take it.
  void write_output(const std::string& command);
  // Lets pending events run once.
  static void pump_once();
  // Lets events run until input byte `byte` holds `letter`, the deadline passes, or a cancel.
  void wait_for_echo(std::uint8_t letter, std::size_t byte = echo_byte);
  // Lets events run until any report has been stored (dataread != 0).
  void wait_for_any_report(const std::string& command);
  // Runs events until done() holds; bounded by the echo timeout and cancellable.
  void wait_until(const std::function<bool()>& done, const std::string& command);
  // Runs events until present() holds (true) or ms pass (false), waking at every change of
  // the head. A stop or the program's close end it as they end an exchange's wait.
  bool wait_for_head(const std::function<bool()>& present, int ms);
  // Clears input byte 3 (and more), sets bytes 0..2 and writes; throws before writing when an
  // argument is outside 0..255.
  void send(std::uint8_t letter, std::initializer_list<int> arguments);
  // One command: prepare() (clearing the input bytes the answer will fill), send, and, when
  // echo_at is given, wait for the echo there. While an operation rides out a lost head (see
  // below), a command the loss interrupted is sent again once the head is back.
  void transact(std::uint8_t letter, std::initializer_list<int> arguments,
                std::optional<std::size_t> echo_at, const std::function<void()>& prepare = {});

  // --- A head that comes back ---
  // How long an operation that rides out a lost head waits for its return: nullopt waits until
  // the operator ends it, 0 does not wait at all (the operation ends as any other does).
  void set_head_return_wait(std::optional<std::chrono::milliseconds> wait) { return_wait_ = wait; }
  // Called by the device link after every change while the head is attached; wakes a wait.
  void head_present();
  // An operation that sets these rides out a lost head (when the wait above allows): it is
  // told when a pause takes effect and ends and when the head is lost and back, and restore
  // runs once the head is back, before the interrupted report goes out again.
  struct interruption_hooks {
    std::function<void(bool paused)> pause;
    std::function<void(bool lost)> loss;
    std::function<void()> restore;
  };
  void set_interruption_hooks(interruption_hooks hooks) { hooks_ = std::move(hooks); }

  // --- Procedures ---
  void xpos(int pos);
  void zpos(int pos);
  void leds(int a);
  // One sensor reading (T or S): clears the echo and the reading's bytes, sends and waits for
  // the echo; the head's counts, 0 when the bytes make no reading.
  int read_counts(std::uint8_t letter);
  // A pause of d milliseconds that keeps the window responsive but cannot be cut short by
  // device events; a cancel ends it.
  void dtimer(double d);
  // Sets six parameters (each 0..255) and waits for the echo.
  void set_parameters(const std::array<int, 6>& parameters);
  // Reads back the six parameters.
  std::array<std::uint8_t, 6> read_parameters();

 private:
  void wake();
  void operation_ended();
  void wait_while_paused(const std::string& command);
  bool rides_out(const device_error& e) const;
  void wait_for_return(const std::string& command);
  // Every wait sleeps here: an event loop until a wake or ms (negative: no deadline). Throws
  // when the program is closing, for no event loop may run then and waiting on would spin.
  void sleep_in_loop(qint64 ms, const std::string& command);

  transport& link_;
  int echo_timeout_ms_;
  output_report output_{};
  input_report input_{};
  report_trace* trace_ = nullptr;
  instrument_state* state_ = nullptr;
  operation_guard guard_;
  std::vector<QEventLoop*> waits_;
  std::optional<std::chrono::milliseconds> return_wait_{std::chrono::milliseconds(0)};
  interruption_hooks hooks_;
  bool head_returned_ = false;
  bool restore_due_ = false;
  bool restoring_ = false;
};

// What a command does, in the words of a message: "the temperature reading" for T.
std::string command_name(std::uint8_t letter);

}  // namespace brevane::device
