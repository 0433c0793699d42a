#pragma once
// A libudev monitor of hidraw nodes. It only gathers what happened; the transport decides what
// to do about it, on its own thread, when the monitor's descriptor is readable.

#include <memory>
#include <string>
#include <vector>

namespace brevane::device {

class udev_watch {
 public:
  struct changes {
    bool any = false;                        // a hidraw node came or went
    std::vector<std::string> removed_nodes;  // /dev paths of the nodes that went
  };

  // Null where no udev daemon runs (its "udev" source would never send an event) or the
  // monitor cannot be set up; the caller then enumerates periodically instead.
  static std::unique_ptr<udev_watch> start();
  ~udev_watch();
  udev_watch(const udev_watch&) = delete;
  udev_watch& operator=(const udev_watch&) = delete;

  // Readable when events wait.
  int fd() const;
  // Takes every waiting event.
  changes receive();

 private:
  udev_watch() = default;
  struct state;
  std::unique_ptr<state> state_;
};

}  // namespace brevane::device
