#pragma once
// Runs each device operation (a reading, Home, a jog, Static Read, the sweep, an upload)
// under the one-operation guard, and turns an ended wait into a caption and a status message.

#include <functional>
#include <string>

namespace brevane {

namespace device {
class command_exchange;
}
class panel;

class operation_runner {
 public:
  operation_runner(device::command_exchange& exchange, panel& window);
  // True when the operation ran to its end; false when it could not start or was ended.
  bool run(const std::string& name, const std::function<void()>& body);
  // Takes the guard now for an operation whose body runs later, from the event loop, through
  // run_reserved(): a remote client is told the sweep has started while it is still queued,
  // and nothing may take the head in between. False, showing nothing, when another runs.
  bool reserve(const std::string& name);
  // Runs body under the guard that reserve(name) took, as run() does.
  bool run_reserved(const std::string& name, const std::function<void()>& body);
  // The message of the last operation that did not complete.
  const std::string& last_error() const { return last_error_; }

 private:
  bool run_begun(const std::string& name, const std::function<void()>& body);

  device::command_exchange& exchange_;
  panel& window_;
  std::string last_error_;
};

}  // namespace brevane
