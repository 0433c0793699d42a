#include "device/head_events.h"

#include <algorithm>
#include <utility>

namespace brevane::device {

head_events::head_events(std::function<void(const event&)> deliver) : deliver_(std::move(deliver)) {
  timer_.setSingleShot(true);
  // A coarse timer may fire early; a late answer is realistic, an early one is not.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { deliver_next(); });
}

void head_events::schedule(kind what, clock::time_point due, const input_report& report) {
  events_.push_back(event{what, due, report});
  if (!timer_.isActive()) arm();
}

void head_events::drop(kind what) {
  std::erase_if(events_, [what](const event& e) { return e.what == what; });
}

void head_events::clear() {
  timer_.stop();
  events_.clear();
}

void head_events::arm() {
  if (events_.empty()) {
    timer_.stop();
    return;
  }
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(events_.front().due - clock::now());
  timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
}

void head_events::deliver_next() {
  if (events_.empty()) return;
  if (events_.front().due > clock::now()) {
    arm();
    return;
  }
  const event next = events_.front();
  events_.pop_front();
  // Armed before the head runs its target, so a target that waits in a nested event loop
  // still gets what follows; the target may also disconnect the head, which clears us.
  arm();
  deliver_(next);
}

}  // namespace brevane::device
