#pragma once
// The one-operation guard: which operation runs, and what is to end or hold it (a cancel, a
// stop after a signal, a pause). It sits beside the command exchange, whose waits it wakes,
// so the front ends ask it, not the exchange, whether they may start something.

#include <QDeadlineTimer>
#include <functional>
#include <string>

namespace brevane::device {

class operation_guard {
 public:
  bool busy() const { return !operation_.empty(); }
  const std::string& operation() const { return operation_; }
  // False (and nothing changes) when another operation runs.
  bool begin(const std::string& name);
  void end();
  std::function<void(bool busy)> on_busy_changed;

  // Ends the wait of the operation in progress, and every later wait of it.
  void cancel(const std::string& reason);
  // The head went away: a cancel that names the loss, not anyone's request.
  void cancel_for_loss();
  // Forgets a pending cancel: a lost head that is being ridden out no longer ends anything.
  void forget_cancel();
  bool cancel_requested() const { return cancel_requested_; }
  bool cancelled_by_loss() const { return cancelled_by_loss_; }
  // Throws operation_cancelled (head_lost for a loss) when a cancel is pending; long loops
  // call it between steps.
  void check_cancel(const std::string& command) const;
  [[noreturn]] void throw_cancelled(const std::string& command) const;

  // Lets the exchange in progress finish, then refuses every later report: a signal must not
  // cut a reading in half. An answer still awaited gets stop_grace_ms more; every other wait
  // (a pause, a lost head, the head at start) ends at once. Stays in force for the rest of the
  // run.
  void stop_before_next_report(const std::string& reason);
  static constexpr int stop_grace_ms = 1000;
  bool stopping() const { return !stop_reason_.empty(); }
  const std::string& stop_reason() const { return stop_reason_; }
  const QDeadlineTimer& stop_grace() const { return stop_grace_; }
  // Throws operation_stopped once a stop is in force; a loop that sends nothing for long
  // (reading a list) calls it, as a report about to go out would.
  void check_stop(const std::string& command) const;
  [[noreturn]] void throw_stopped(const std::string& command, const std::string& when) const;

  // While paused, the next report waits to be sent until the pause ends; Escape, a close or a
  // signal still end the operation. A new operation starts unpaused.
  void set_paused(bool paused);
  bool paused() const { return paused_; }

 private:
  friend class command_exchange;
  // Set by the exchange: wakes every wait in progress, and forgets what belonged to the
  // operation that ended.
  std::function<void()> wake_;
  std::function<void()> ended_;
  void wake() const {
    if (wake_) wake_();
  }
  std::string doing() const { return operation_.empty() ? std::string("the command") : operation_; }

  std::string operation_;
  bool cancel_requested_ = false;
  std::string cancel_reason_;
  bool cancelled_by_loss_ = false;
  std::string stop_reason_;
  QDeadlineTimer stop_grace_{QDeadlineTimer::Forever};
  bool paused_ = false;
};

}  // namespace brevane::device
