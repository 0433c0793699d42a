#include "device/operation_guard.h"

#include "device/device_errors.h"

namespace brevane::device {

bool operation_guard::begin(const std::string& name) {
  if (busy()) return false;
  operation_ = name.empty() ? "operation" : name;
  forget_cancel();
  if (on_busy_changed) on_busy_changed(true);
  return true;
}

void operation_guard::end() {
  if (!busy()) return;
  operation_.clear();
  paused_ = false;
  forget_cancel();
  if (ended_) ended_();
  if (on_busy_changed) on_busy_changed(false);
}

void operation_guard::cancel(const std::string& reason) {
  if (!busy()) return;
  cancel_requested_ = true;
  cancel_reason_ = reason;
  cancelled_by_loss_ = false;
  wake();
}

void operation_guard::cancel_for_loss() {
  if (!busy()) return;
  cancel_requested_ = true;
  cancel_reason_ = "head lost";
  cancelled_by_loss_ = true;
  wake();
}

void operation_guard::forget_cancel() {
  cancel_requested_ = false;
  cancel_reason_.clear();
  cancelled_by_loss_ = false;
}

void operation_guard::throw_cancelled(const std::string& command) const {
  if (cancelled_by_loss_) {
    throw head_lost(command, "Vexilor II not present",
                    "The head went away while waiting for " + command + "; " + operation_ +
                        " stopped.");
  }
  throw operation_cancelled(
      command, "Cancelled waiting for " + command,
      operation_ + " cancelled (" + cancel_reason_ + ") while waiting for " + command + ".");
}

void operation_guard::check_cancel(const std::string& command) const {
  if (cancel_requested_) throw_cancelled(command);
}

void operation_guard::stop_before_next_report(const std::string& reason) {
  if (stop_reason_.empty()) stop_grace_ = QDeadlineTimer(stop_grace_ms);
  stop_reason_ = reason;
  wake();  // a pause, a lost head or the head at start waiting ends here too
}

void operation_guard::throw_stopped(const std::string& command, const std::string& when) const {
  throw operation_stopped(command, "Stopped by " + stop_reason_,
                          doing() + " stopped by " + stop_reason_ + " " + when + ".");
}

void operation_guard::check_stop(const std::string& command) const {
  if (stopping()) throw_stopped(command, "before " + command + " was sent");
}

void operation_guard::set_paused(bool paused) {
  paused_ = busy() && paused;
  if (!paused_) wake();
}

}  // namespace brevane::device
