// The command exchange's waits in a pause and its riding out of a lost head: both hold the
// operation between two exchanges, with the window live and Escape, a close or a signal still
// ending it.
#include <QDeadlineTimer>

#include "device/command_exchange.h"
#include "device/device_errors.h"

namespace brevane::device {

void command_exchange::wait_while_paused(const std::string& command) {
  if (!guard_.paused()) return;
  if (hooks_.pause) hooks_.pause(true);
  while (guard_.paused()) {
    guard_.check_cancel(command);
    guard_.check_stop(command);
    sleep_in_loop(-1, command);
  }
  if (hooks_.pause) hooks_.pause(false);
}

void command_exchange::head_present() {
  if (guard_.busy()) head_returned_ = true;
  wake();
}

bool command_exchange::rides_out(const device_error& e) const {
  if (!hooks_.restore || restoring_) return false;
  if (return_wait_ && return_wait_->count() <= 0) return false;
  return dynamic_cast<const device::head_lost*>(&e) || dynamic_cast<const head_absent*>(&e);
}

void command_exchange::wait_for_return(const std::string& command) {
  // The loss is what is being handled here; it no longer ends the operation.
  guard_.forget_cancel();
  head_returned_ = false;
  if (hooks_.loss) hooks_.loss(true);
  const QDeadlineTimer deadline = return_wait_ ? QDeadlineTimer(return_wait_->count())
                                               : QDeadlineTimer(QDeadlineTimer::Forever);
  while (!head_returned_) {
    if (guard_.cancelled_by_loss()) guard_.forget_cancel();
    guard_.check_cancel(command);
    guard_.check_stop(command);
    if (deadline.hasExpired()) {
      throw device::head_lost(
          command, "Vexilor II not present",
          "The head went away and did not come back within " +
              std::to_string(
                  std::chrono::duration_cast<std::chrono::seconds>(*return_wait_).count()) +
              " s; " + guard_.operation() + " stopped.");
    }
    sleep_in_loop(return_wait_ ? deadline.remainingTime() : -1, command);
  }
  if (hooks_.loss) hooks_.loss(false);
}

void command_exchange::transact(std::uint8_t letter, std::initializer_list<int> arguments,
                                std::optional<std::size_t> echo_at,
                                const std::function<void()>& prepare) {
  for (;;) {
    bool restoring_here = false;
    try {
      if (restore_due_ && !restoring_) {
        // The head may have restarted: its position first, then the interrupted command.
        restoring_ = restoring_here = true;
        if (hooks_.restore) hooks_.restore();
        restoring_ = restoring_here = false;
        restore_due_ = false;
      }
      if (prepare) prepare();
      send(letter, arguments);
      if (echo_at) {
        pump_once();
        wait_for_echo(letter, *echo_at);
      }
      return;
    } catch (const device_error& e) {
      if (restoring_here) restoring_ = false;
      if (!rides_out(e)) throw;
    }
    wait_for_return(command_name(letter));
    restore_due_ = true;
  }
}

}  // namespace brevane::device
