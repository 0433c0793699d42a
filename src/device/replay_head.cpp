#include "device/replay_head.h"

#include <algorithm>
#include <utility>

namespace brevane::device {

replay_head::replay_head(recorded_session session, int latency_ms, QObject* parent)
    : QObject(parent), session_(std::move(session)), latency_(std::max(0, latency_ms)) {
  // The head is there from the start, as it was when the recording began; the trace's first
  // "# plugged" is that same arrival.
  if (!session_.steps.empty() && session_.steps.front().what == trace_step::kind::plugged)
    next_ = 1;
}

replay_head::~replay_head() {
  disconnect();
}

bool replay_head::connect(notification_target& target) {
  if (connected_) return false;
  target_ = &target;
  connected_ = true;
  const auto now = clock::now();
  if (plugged_) events_.schedule(kind::plugged, now);
  events_.schedule(kind::changed, now);
  if (!started_) {
    started_ = true;
    follow_recording(now);
  }
  return true;
}

bool replay_head::disconnect() {
  events_.clear();
  pending_.clear();
  target_ = nullptr;
  connected_ = false;
  read_notify_ = false;
  return true;
}

int replay_head::vendor_id(device_handle handle) const {
  // Every handle the head ever had: the unplugged notification asks about the old one.
  return handle >= first_handle && handle <= handle_ ? device::vendor_id : 0;
}

int replay_head::product_id(device_handle handle) const {
  return vendor_id(handle) != 0 ? device::product_id : 0;
}

device_handle replay_head::handle(int vendor, int product) const {
  if (!connected_ || !plugged_ || vendor != device::vendor_id || product != device::product_id)
    return 0;
  return handle_;
}

bool replay_head::set_read_notify(device_handle handle, bool enable) {
  if (!connected_ || !plugged_ || handle != handle_) return false;
  read_notify_ = enable;
  return true;
}

bool replay_head::read(device_handle handle, std::span<std::uint8_t> buffer) {
  if (!connected_ || !plugged_ || handle != handle_ || pending_.empty() || buffer.empty())
    return false;
  const input_report& oldest = pending_.front();
  std::copy_n(oldest.begin(), std::min(buffer.size(), oldest.size()), buffer.begin());
  pending_.pop_front();
  return true;
}

bool replay_head::write(int vendor, int product, std::span<const std::uint8_t> report) {
  // After the first refusal the head answers nothing more: what follows would not be the
  // recorded session either.
  if (!refusal_.empty()) return false;
  if (!connected_ || vendor != device::vendor_id || product != device::product_id) return false;

  const int number = ++written_;
  const std::string written = hex_bytes(report.data(), report.size());
  if (next_ >= session_.steps.size()) {
    refusal_ = "report " + std::to_string(number) +
               " is past the end of the recording: the recorded session ends at report " +
               std::to_string(session_.reports) + " (written " + written + ")";
    return false;
  }
  const trace_step& expected = session_.steps[next_];
  if (!std::equal(report.begin(), report.end(), expected.bytes.begin(), expected.bytes.end())) {
    refusal_ = "report " + std::to_string(number) + " differs from the recorded session (line " +
               std::to_string(expected.line) + "): expected " +
               hex_bytes(expected.bytes.data(), expected.bytes.size()) + ", written " + written;
    return false;
  }
  last_line_ = expected.line;
  ++next_;
  ++matched_;
  // A report written while the head was away was refused in the recording too.
  const bool taken = plugged_;
  follow_recording(clock::now() + latency_);
  return taken;
}

std::string replay_head::answers_ended() const {
  if (!refusal_.empty() || matched_ == 0 || next_ < session_.steps.size() || !events_.idle() ||
      !pending_.empty())
    return {};
  return "the recording ends at report " + std::to_string(matched_) + " (line " +
         std::to_string(last_line_) + "), with no answer from the head recorded after it";
}

void replay_head::follow_recording(clock::time_point due) {
  for (; next_ < session_.steps.size(); ++next_) {
    const trace_step& step = session_.steps[next_];
    switch (step.what) {
      case trace_step::kind::out:
        return;
      case trace_step::kind::in: {
        input_report report{};
        std::copy_n(step.bytes.begin(), report.size(), report.begin());
        events_.schedule(kind::report, due, report);
        break;
      }
      case trace_step::kind::unplugged:
        events_.schedule(kind::unplugged, due);
        events_.schedule(kind::changed, due);
        break;
      case trace_step::kind::plugged:
        events_.schedule(kind::plugged, due);
        events_.schedule(kind::changed, due);
        break;
    }
  }
}

void replay_head::deliver(const head_events::event& next) {
  if (!connected_) return;
  notification_target* const target = target_;
  switch (next.what) {
    case kind::plugged:
      if (!plugged_) ++handle_;  // a head that comes back has a new handle
      plugged_ = true;
      target->OnPlugged(handle_);
      break;
    case kind::unplugged:
      if (!plugged_) break;
      plugged_ = false;
      read_notify_ = false;
      pending_.clear();
      target->OnUnplugged(handle_);
      break;
    case kind::changed:
      target->OnChanged();
      break;
    case kind::report:
      if (!plugged_) break;
      // Bounded as the simulated head's: a program that never reads loses the oldest.
      if (pending_.size() >= 64) pending_.pop_front();
      pending_.push_back(next.report);
      if (read_notify_) target->OnRead(handle_);
      break;
  }
}

}  // namespace brevane::device
