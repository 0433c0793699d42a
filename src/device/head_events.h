#pragma once
// The notifications a stand-in head sends later through the event loop, as a real head's
// arrive: in the order they arose, each no earlier than its due time, never inside the call
// that caused them.

#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>

#include "device/device_constants.h"

namespace brevane::device {

class head_events {
 public:
  using clock = std::chrono::steady_clock;
  enum class kind { plugged, unplugged, changed, report };
  struct event {
    kind what;
    clock::time_point due;
    input_report report{};
  };

  // deliver runs for each event once it is due.
  explicit head_events(std::function<void(const event&)> deliver);

  void schedule(kind what, clock::time_point due, const input_report& report = {});
  // Forgets every event of that kind not yet delivered.
  void drop(kind what);
  // Forgets everything not yet delivered.
  void clear();
  // Nothing is waiting to be delivered.
  bool idle() const { return events_.empty(); }

 private:
  void arm();
  void deliver_next();

  std::function<void(const event&)> deliver_;
  QTimer timer_;
  std::deque<event> events_;
};

}  // namespace brevane::device
