#include "scan/operation_runner.h"

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_errors.h"
#include "model/instrument_state.h"
#include "model/panel.h"

namespace brevane {

namespace {

operation_ending ending_of(const device::device_error& e) {
  // A lost head is a kind of cancel; it is told apart first.
  if (dynamic_cast<const device::head_lost*>(&e) || dynamic_cast<const device::head_absent*>(&e))
    return operation_ending::head_lost;
  if (dynamic_cast<const device::operation_cancelled*>(&e)) return operation_ending::cancelled;
  return operation_ending::failed;
}

}  // namespace

operation_runner::operation_runner(device::command_exchange& exchange, panel& window)
    : exchange_(exchange), window_(window) {}

bool operation_runner::run(const std::string& name, const std::function<void()>& body,
                           const std::string& keys) {
  if (!exchange_.guard().begin(name)) {
    // The running operation's own outcome stays as it is.
    refusal_ = name + " was not started: " + exchange_.guard().operation() + " is still running.";
    window_.show_status(refusal_);
    return false;
  }
  return run_begun(name, body, keys);
}

bool operation_runner::reserve(const std::string& name) {
  if (!exchange_.guard().begin(name)) return false;
  window_.settings().operation_began(name, name == sweep_operation_name);
  return true;
}

bool operation_runner::run_reserved(const std::string& name, const std::function<void()>& body,
                                    const std::string& keys) {
  // A body runs only under the guard it reserved; Escape during the wait for the event loop
  // only marks the operation cancelled, and its first report then ends it.
  if (exchange_.guard().operation() != name) return false;
  return run_begun(name, body, keys);
}

bool operation_runner::run_begun(const std::string& name, const std::function<void()>& body,
                                 const std::string& keys) {
  last_error_.clear();
  refusal_.clear();
  const std::string started = name + " running (" + keys + ").";
  instrument_state& state = window_.settings();
  state.operation_began(name, name == sweep_operation_name);
  window_.show_status(started);
  operation_ending how = operation_ending::completed;
  try {
    body();
  } catch (const device::device_error& e) {
    last_error_ = e.what();
    how = ending_of(e);
    window_.set_caption(e.caption());
  } catch (const overflow_error& e) {
    last_error_ = name + " stopped: " + e.what();
    how = operation_ending::failed;
  }
  exchange_.guard().end();
  if (!last_error_.empty()) {
    window_.show_status(last_error_);
  } else if (const std::string now = window_.status(); now == started || now == refusal_) {
    // Otherwise the operation said how it ended itself: a jog refused, a list not found.
    window_.show_status(name + " completed.");
  }
  state.operation_ended(how, window_.status());
  return last_error_.empty();
}

}  // namespace brevane
