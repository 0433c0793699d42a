#include "scan/operation_runner.h"

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_errors.h"
#include "model/panel.h"

namespace brevane {

operation_runner::operation_runner(device::command_exchange& exchange, panel& window)
    : exchange_(exchange), window_(window) {}

bool operation_runner::run(const std::string& name, const std::function<void()>& body,
                           const std::string& keys) {
  if (!exchange_.begin_operation(name)) {
    // The running operation's own outcome stays as it is.
    refusal_ = name + " was not started: " + exchange_.operation() + " is still running.";
    window_.show_status(refusal_);
    return false;
  }
  return run_begun(name, body, keys);
}

bool operation_runner::reserve(const std::string& name) {
  return exchange_.begin_operation(name);
}

bool operation_runner::run_reserved(const std::string& name, const std::function<void()>& body,
                                    const std::string& keys) {
  // A body runs only under the guard it reserved; Escape during the wait for the event loop
  // only marks the operation cancelled, and its first report then ends it.
  if (exchange_.operation() != name) return false;
  return run_begun(name, body, keys);
}

bool operation_runner::run_begun(const std::string& name, const std::function<void()>& body,
                                 const std::string& keys) {
  last_error_.clear();
  refusal_.clear();
  const std::string started = name + " running (" + keys + ").";
  window_.show_status(started);
  try {
    body();
  } catch (const device::device_error& e) {
    last_error_ = e.what();
    window_.set_caption(e.caption());
  } catch (const overflow_error& e) {
    last_error_ = name + " stopped: " + e.what();
  }
  exchange_.end_operation();
  if (!last_error_.empty()) {
    window_.show_status(last_error_);
  } else if (const std::string now = window_.status(); now == started || now == refusal_) {
    // Otherwise the operation said how it ended itself: a jog refused, a list not found.
    window_.show_status(name + " completed.");
  }
  return last_error_.empty();
}

}  // namespace brevane
