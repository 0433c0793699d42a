#include "scan/operation_runner.h"

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_errors.h"
#include "model/panel.h"

namespace brevane {

operation_runner::operation_runner(device::command_exchange& exchange, panel& window)
    : exchange_(exchange), window_(window) {}

bool operation_runner::run(const std::string& name, const std::function<void()>& body) {
  if (!exchange_.begin_operation(name)) {
    // The running operation's own outcome stays as it is.
    window_.show_status(name + " was not started: " + exchange_.operation() + " is still running.");
    return false;
  }
  return run_begun(name, body);
}

bool operation_runner::reserve(const std::string& name) {
  return exchange_.begin_operation(name);
}

bool operation_runner::run_reserved(const std::string& name, const std::function<void()>& body) {
  // A body runs only under the guard it reserved; Escape during the wait for the event loop
  // only marks the operation cancelled, and its first report then ends it.
  if (exchange_.operation() != name) return false;
  return run_begun(name, body);
}

bool operation_runner::run_begun(const std::string& name, const std::function<void()>& body) {
  last_error_.clear();
  window_.show_progress(name + " running (Escape ends it)");
  try {
    body();
  } catch (const device::device_error& e) {
    last_error_ = e.what();
    window_.set_caption(e.caption());
  } catch (const overflow_error& e) {
    last_error_ = name + " stopped: " + e.what();
  }
  exchange_.end_operation();
  window_.show_progress("");
  if (!last_error_.empty()) window_.show_status(last_error_);
  return last_error_.empty();
}

}  // namespace brevane
