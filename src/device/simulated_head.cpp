#include "device/simulated_head.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

#include "device/input_report.h"
#include "device/simulated_scene.h"

namespace brevane::device {

simulated_head::simulated_head(const simulated_head_options& options, QObject* parent)
    : QObject(parent),
      options_(options),
      noise_(options.seed),
      jitter_(options.seed ^ 0x9e3779b9u),
      silent_limit_(options.silent_after),
      unplug_limit_(options.unplug_after) {
  return_timer_.setSingleShot(true);
  QObject::connect(&return_timer_, &QTimer::timeout, this, &simulated_head::restart);
}

simulated_head::~simulated_head() {
  disconnect();
}

bool simulated_head::connect(notification_target& target) {
  if (connected_) return false;
  target_ = &target;
  connected_ = true;
  if (plugged_) {
    announce_plugged();
  } else {
    events_.schedule(kind::changed, clock::now());
  }
  return true;
}

bool simulated_head::disconnect() {
  return_timer_.stop();
  events_.clear();
  pending_.clear();
  target_ = nullptr;
  connected_ = false;
  read_notify_ = false;
  // A cable pulled while its notification was still on the way stays pulled.
  if (unplug_due_) {
    unplug_due_ = false;
    plugged_ = false;
  }
  return true;
}

int simulated_head::vendor_id(device_handle handle) const {
  // Known even after the unplug: the unplugged notification asks for it.
  return known(handle) ? device::vendor_id : 0;
}

int simulated_head::product_id(device_handle handle) const {
  return known(handle) ? device::product_id : 0;
}

device_handle simulated_head::handle(int vendor, int product) const {
  if (!reachable() || vendor != device::vendor_id || product != device::product_id) return 0;
  return handle_;
}

bool simulated_head::set_read_notify(device_handle handle, bool enable) {
  if (handle != handle_ || !reachable()) return false;
  read_notify_ = enable;
  return true;
}

bool simulated_head::read(device_handle handle, std::span<std::uint8_t> buffer) {
  if (handle != handle_ || !reachable() || pending_.empty() || buffer.empty()) return false;
  const input_report& oldest = pending_.front();
  std::copy_n(oldest.begin(), std::min(buffer.size(), oldest.size()), buffer.begin());
  pending_.pop_front();
  return true;
}

bool simulated_head::write(int vendor, int product, std::span<const std::uint8_t> report) {
  if (!reachable() || unplug_due_) return false;
  if (vendor != device::vendor_id || product != device::product_id) return false;
  // The head's reports are unnumbered.
  if (report.empty() || report[0] != 0) return false;

  ++commands_received_;
  const auto due = answer_due();
  // A stalled head takes the report off the wire and does nothing with it.
  if (!silent_limit_ || commands_received_ <= *silent_limit_) {
    if (const auto answer = carry_out(report)) {
      input_report stored{};
      store_report_data(*answer, stored);
      events_.schedule(kind::report, due, stored);
    }
  }
  if (unplug_limit_ && commands_received_ >= *unplug_limit_) {
    unplug_due_ = true;
    events_.schedule(kind::unplugged, due);
    events_.schedule(kind::changed, due);
  }
  return true;
}

std::optional<simulated_head::report_data> simulated_head::carry_out(
    std::span<const std::uint8_t> report) {
  const auto byte = [&](std::size_t i) -> std::uint8_t {
    return i < report.size() ? report[i] : 0;
  };

  // The report after a W is the list line itself; its first character is no command.
  if (list_data_next_) {
    list_data_next_ = false;
    return std::nullopt;
  }

  // Data index i lands in input byte i + 1.
  report_data answer{};
  const std::uint8_t letter = byte(1);
  const auto put_reading = [&answer](int raw) {
    answer[reading_low_byte - 1] = static_cast<std::uint8_t>(raw & 0xff);
    answer[reading_high_byte - 1] = static_cast<std::uint8_t>((raw >> 8) & 0xff);
  };
  switch (letter) {
    case cmd_x:
      x_ = byte(2);
      break;
    case cmd_z:
      z_ = byte(2);
      break;
    case cmd_t:
      put_reading(noisy(scene::temperature_raw(x_, z_)));
      break;
    case cmd_s:
      put_reading(noisy(scene::distance_raw(x_, z_)));
      break;
    case cmd_p:
      for (std::size_t i = 0; i < parameters_.size(); ++i) parameters_[i] = byte(2 + i);
      break;
    case cmd_e:
      std::copy(parameters_.begin(), parameters_.end(), answer.begin());
      answer[7] = cmd_e;  // input byte 8
      return answer;
    case cmd_w:
      list_data_next_ = true;
      break;
    default:  // L and anything unknown: carried out, never answered
      return std::nullopt;
  }
  answer[echo_byte - 1] = letter;
  return answer;
}

int simulated_head::noisy(int raw) {
  // Taken from the raw generator output: the standard fixes mt19937's sequence but not
  // what its distributions make of it, and runs must repeat on every platform.
  const int offset = static_cast<int>(noise_() % 3) - 1;
  return std::clamp(raw + offset, 0, int{std::numeric_limits<std::int16_t>::max()});
}

simulated_head::clock::time_point simulated_head::answer_due() {
  const auto now = clock::now();
  if (options_.jitter_percent == 0) return now + std::chrono::milliseconds(options_.latency_ms);
  // Uniform in [-1, 1], from the raw generator output for the reason noisy() gives.
  const double u = static_cast<double>(jitter_()) / 2147483647.5 - 1.0;
  const double factor = 1.0 + u * options_.jitter_percent / 100.0;
  return now + std::chrono::microseconds(std::lround(options_.latency_ms * 1000.0 * factor));
}

void simulated_head::set_silent_after(std::optional<int> n) {
  silent_limit_ = n ? std::optional<int>(commands_received_ + std::max(0, *n)) : std::nullopt;
}

void simulated_head::set_unplug_after(std::optional<int> n) {
  unplug_limit_ = n ? std::optional<int>(commands_received_ + std::max(0, *n)) : std::nullopt;
  if (unplug_limit_ && commands_received_ >= *unplug_limit_ && reachable() && !unplug_due_) {
    unplug_due_ = true;
    events_.schedule(kind::unplugged, clock::now());
    events_.schedule(kind::changed, clock::now());
  }
}

void simulated_head::schedule_return() {
  // Once: the option describes one bumped cable, not a head that keeps dropping off.
  const int ms = *options_.replug_after_ms;
  options_.replug_after_ms.reset();
  options_.unplug_after.reset();
  unplug_limit_.reset();
  return_timer_.start(ms);
}

void simulated_head::restart() {
  // A head that lost power comes back at its rest position, under a new handle.
  x_ = z_ = 0;
  ++handle_;
  replug();
}

void simulated_head::replug() {
  events_.drop(kind::unplugged);
  unplug_due_ = false;
  plugged_ = true;
  list_data_next_ = false;
  commands_received_ = 0;
  silent_limit_ = options_.silent_after;
  unplug_limit_ = options_.unplug_after;
  if (connected_) announce_plugged();
}

bool simulated_head::inject_raw(std::vector<std::uint8_t> data) {
  if (!reachable() || unplug_due_) return false;
  input_report stored{};
  store_report_data(data, stored);
  events_.schedule(kind::report, clock::now() + std::chrono::milliseconds(options_.latency_ms),
                   stored);
  return true;
}

void simulated_head::announce_plugged() {
  const auto now = clock::now();
  events_.schedule(kind::plugged, now);
  events_.schedule(kind::changed, now);
  if (unplug_limit_ && *unplug_limit_ <= 0) {
    unplug_due_ = true;
    events_.schedule(kind::unplugged, now);
    events_.schedule(kind::changed, now);
  }
}

void simulated_head::deliver(const head_events::event& next) {
  if (!connected_) return;
  notification_target* const target = target_;
  switch (next.what) {
    case kind::plugged:
      target->OnPlugged(handle_);
      break;
    case kind::changed:
      target->OnChanged();
      break;
    case kind::unplugged:
      unplug_now();
      target->OnUnplugged(handle_);
      if (options_.replug_after_ms) schedule_return();
      break;
    case kind::report:
      if (!plugged_) break;
      if (pending_.size() >= pending_capacity) pending_.pop_front();
      pending_.push_back(next.report);
      if (read_notify_) target->OnRead(handle_);
      break;
  }
}

void simulated_head::unplug_now() {
  unplug_due_ = false;
  plugged_ = false;
  read_notify_ = false;
  list_data_next_ = false;
  pending_.clear();
  events_.drop(kind::report);
}

}  // namespace brevane::device
