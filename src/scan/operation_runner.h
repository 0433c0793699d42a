#pragma once
// Runs each device operation (a reading, Home, a jog, Static Read, the sweep, an upload)
// under the one-operation guard, and keeps the status bar true: a start replaces whatever it
// said before, and the end says how the operation ended.

#include <functional>
#include <string>

namespace brevane {

namespace device {
class command_exchange;
}
class panel;

// The sweep's name as an operation: what the status bar and a refusal call it.
inline constexpr const char* sweep_operation_name = "Sweep";

class operation_runner {
 public:
  operation_runner(device::command_exchange& exchange, panel& window);
  // True when the operation ran to its end; false when it could not start or was ended.
  // keys: what the keyboard can do meanwhile, said when it starts.
  bool run(const std::string& name, const std::function<void()>& body,
           const std::string& keys = "Escape ends it");
  // Takes the guard now for an operation whose body runs later, from the event loop, through
  // run_reserved(): a remote client is told the sweep has started while it is still queued,
  // and nothing may take the head in between. False, showing nothing, when another runs.
  bool reserve(const std::string& name);
  // Runs body under the guard that reserve(name) took, as run() does.
  bool run_reserved(const std::string& name, const std::function<void()>& body,
                    const std::string& keys = "Escape ends it");
  // The message of the last operation that did not complete.
  const std::string& last_error() const { return last_error_; }

 private:
  bool run_begun(const std::string& name, const std::function<void()>& body,
                 const std::string& keys);

  device::command_exchange& exchange_;
  panel& window_;
  std::string last_error_;
  // What was said of an operation refused while this one ran; it says nothing of this one's end.
  std::string refusal_;
};

}  // namespace brevane
