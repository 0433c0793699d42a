#include "device/simulated_head.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

#include "device/input_report.h"

namespace brevane::device {

namespace {

// The scene: a cool wall behind a warm elliptic object centred in the painted scan area
// (X 100..240, Z 140..200), so both maps show it. The values sit mid-way between whole
// units, so the +-1 count noise never changes the rounded reading the program shows.
constexpr double object_x = 170.0;
constexpr double object_z = 170.0;
constexpr double object_half_width = 35.0;  // along X
constexpr double object_half_height = 22.0;  // along Z
constexpr double object_temperature_f = 95.0;
constexpr double object_distance_in = 39.0;
// Just above a whole degree, so noisy wall readings never fall below the baseline
// taken on the wall, and the wall paints evenly dark.
constexpr double wall_temperature_f = 70.2;
constexpr double wall_distance_in = 120.0;
// Thermal blur: the object's warmth fades out over this much of its radius beyond the rim.
constexpr double thermal_fringe = 0.3;

constexpr double counts_per_degree_f = 1.0 / 0.168;
constexpr double counts_per_inch = 2.54;

// 1 on the object's rim, less inside, more outside.
double object_radius(int x, int z) {
  const double dx = (x - object_x) / object_half_width;
  const double dz = (z - object_z) / object_half_height;
  return std::sqrt(dx * dx + dz * dz);
}

int to_raw(double value) {
  return static_cast<int>(std::lround(value));
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

template <typename Number>
std::optional<Number> parse_count(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // Only plain digits: from_chars would accept a leading minus for signed types.
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

}  // namespace

std::optional<simulated_head_options> parse_simulated_head_options(const std::string& text,
                                                                   std::string* error) {
  simulated_head_options options;
  if (trim(text).empty()) return options;

  bool seen_latency = false, seen_silent = false, seen_unplug = false, seen_seed = false;
  std::string_view rest = text;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = trim(rest.substr(0, comma));
    const std::string quoted = std::string("\"").append(item).append("\"");

    if (item.empty()) {
      fail(error, "empty item in simulated head options \"" + text + "\"");
      return std::nullopt;
    }
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      fail(error, "simulated head option " + quoted +
                      " has no value; expected latency=MS, silent-after=N, unplug-after=N or "
                      "seed=N");
      return std::nullopt;
    }
    const std::string_view key = trim(item.substr(0, eq));
    const std::string_view value = trim(item.substr(eq + 1));

    bool* seen = nullptr;
    bool ok = true;
    if (key == "latency") {
      seen = &seen_latency;
      const auto v = parse_count<int>(value);
      ok = v.has_value();
      if (ok) options.latency_ms = *v;
    } else if (key == "silent-after") {
      seen = &seen_silent;
      options.silent_after = parse_count<int>(value);
      ok = options.silent_after.has_value();
    } else if (key == "unplug-after") {
      seen = &seen_unplug;
      options.unplug_after = parse_count<int>(value);
      ok = options.unplug_after.has_value();
    } else if (key == "seed") {
      seen = &seen_seed;
      const auto v = parse_count<std::uint32_t>(value);
      ok = v.has_value();
      if (ok) options.seed = *v;
    } else {
      fail(error, "unknown simulated head option " + quoted +
                      "; expected latency, silent-after, unplug-after or seed");
      return std::nullopt;
    }
    if (!ok) {
      const std::string limit = key == "seed" ? "4294967295" : "2147483647";
      fail(error, "simulated head option " + quoted + " needs a whole number from 0 to " + limit);
      return std::nullopt;
    }
    if (*seen) {
      fail(error, "simulated head option " + quoted + " repeats \"" + std::string(key) + "\"");
      return std::nullopt;
    }
    *seen = true;

    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return options;
}

simulated_head::simulated_head(simulated_head_options options, QObject* parent)
    : QObject(parent),
      options_(options),
      noise_(options.seed),
      silent_limit_(options.silent_after),
      unplug_limit_(options.unplug_after) {
  delivery_timer_.setSingleShot(true);
  // A coarse timer may fire early; a late answer is realistic, an early one is not.
  delivery_timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&delivery_timer_, &QTimer::timeout, this, &simulated_head::deliver_next);
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
    schedule(event::kind::changed, clock::now());
  }
  return true;
}

bool simulated_head::disconnect() {
  delivery_timer_.stop();
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
  return handle == head_handle ? device::vendor_id : 0;
}

int simulated_head::product_id(device_handle handle) const {
  return handle == head_handle ? device::product_id : 0;
}

device_handle simulated_head::handle(int vendor, int product) const {
  if (!reachable() || vendor != device::vendor_id || product != device::product_id) return 0;
  return head_handle;
}

bool simulated_head::set_read_notify(device_handle handle, bool enable) {
  if (handle != head_handle || !reachable()) return false;
  read_notify_ = enable;
  return true;
}

bool simulated_head::read(device_handle handle, std::span<std::uint8_t> buffer) {
  if (handle != head_handle || !reachable() || pending_.empty() || buffer.empty()) return false;
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
  const auto due = clock::now() + std::chrono::milliseconds(options_.latency_ms);
  // A stalled head takes the report off the wire and does nothing with it.
  if (!silent_limit_ || commands_received_ <= *silent_limit_) {
    if (const auto answer = carry_out(report)) {
      input_report stored{};
      store_report_data(*answer, stored);
      schedule(event::kind::report, due, stored);
    }
  }
  if (unplug_limit_ && commands_received_ >= *unplug_limit_) {
    unplug_due_ = true;
    schedule(event::kind::unplugged, due);
    schedule(event::kind::changed, due);
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
      put_reading(noisy(scene_temperature_raw(x_, z_)));
      break;
    case cmd_s:
      put_reading(noisy(scene_distance_raw(x_, z_)));
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

double simulated_head::scene_temperature_f(int x, int z) {
  const double r = object_radius(x, z);
  if (r <= 1.0) return object_temperature_f;
  if (r >= 1.0 + thermal_fringe) return wall_temperature_f;
  const double warmth = 1.0 - (r - 1.0) / thermal_fringe;
  return wall_temperature_f + warmth * (object_temperature_f - wall_temperature_f);
}

double simulated_head::scene_distance_in(int x, int z) {
  // The sonic echo comes from the nearest surface; the object's rim is sharp.
  return object_radius(x, z) <= 1.0 ? object_distance_in : wall_distance_in;
}

int simulated_head::scene_temperature_raw(int x, int z) {
  return to_raw(scene_temperature_f(x, z) * counts_per_degree_f);
}

int simulated_head::scene_distance_raw(int x, int z) {
  return to_raw(scene_distance_in(x, z) * counts_per_inch);
}

void simulated_head::set_silent_after(std::optional<int> n) {
  silent_limit_ = n ? std::optional<int>(commands_received_ + std::max(0, *n)) : std::nullopt;
}

void simulated_head::set_unplug_after(std::optional<int> n) {
  unplug_limit_ = n ? std::optional<int>(commands_received_ + std::max(0, *n)) : std::nullopt;
  if (unplug_limit_ && commands_received_ >= *unplug_limit_ && reachable() && !unplug_due_) {
    unplug_due_ = true;
    schedule(event::kind::unplugged, clock::now());
    schedule(event::kind::changed, clock::now());
  }
}

void simulated_head::replug() {
  std::erase_if(events_, [](const event& e) { return e.what == event::kind::unplugged; });
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
  schedule(event::kind::report, clock::now() + std::chrono::milliseconds(options_.latency_ms),
           stored);
  return true;
}

void simulated_head::announce_plugged() {
  const auto now = clock::now();
  schedule(event::kind::plugged, now);
  schedule(event::kind::changed, now);
  if (unplug_limit_ && *unplug_limit_ <= 0) {
    unplug_due_ = true;
    schedule(event::kind::unplugged, now);
    schedule(event::kind::changed, now);
  }
}

void simulated_head::schedule(event::kind what, clock::time_point due, const input_report& report) {
  events_.push_back(event{what, due, report});
  if (!delivery_timer_.isActive()) arm_timer();
}

void simulated_head::arm_timer() {
  if (events_.empty()) {
    delivery_timer_.stop();
    return;
  }
  // Events go out in the order they arose, each no earlier than its due time.
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(events_.front().due - clock::now());
  delivery_timer_.start(
      static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
}

void simulated_head::deliver_next() {
  if (!connected_ || events_.empty()) return;
  if (events_.front().due > clock::now()) {
    arm_timer();
    return;
  }
  const event next = events_.front();
  events_.pop_front();
  // Armed before the target runs, so a target that waits in a nested event loop still gets
  // what follows; the target may also disconnect us, which stops the timer again.
  arm_timer();

  notification_target* const target = target_;
  switch (next.what) {
    case event::kind::plugged:
      target->OnPlugged(head_handle);
      break;
    case event::kind::changed:
      target->OnChanged();
      break;
    case event::kind::unplugged:
      unplug_now();
      target->OnUnplugged(head_handle);
      break;
    case event::kind::report:
      if (!plugged_) break;
      if (pending_.size() >= pending_capacity) pending_.pop_front();
      pending_.push_back(next.report);
      if (read_notify_) target->OnRead(head_handle);
      break;
  }
}

void simulated_head::unplug_now() {
  unplug_due_ = false;
  plugged_ = false;
  read_notify_ = false;
  list_data_next_ = false;
  pending_.clear();
  std::erase_if(events_, [](const event& e) { return e.what == event::kind::report; });
}

}  // namespace brevane::device
