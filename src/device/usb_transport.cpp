#include "device/usb_transport.h"

#include <hidapi/hidapi.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "device/input_report.h"

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#endif

#if defined(__linux__)
#include <libudev.h>
#endif

namespace brevane::device {

namespace {

// A full-speed HID report is at most 64 bytes; one more keeps a numbered report whole.
constexpr std::size_t read_buffer_size = 65;
// Idle, the worker wakes rarely. Right after traffic it polls briefly, because a queued write
// only goes out between two reads and the head answers each command within a few frames.
constexpr int idle_read_timeout_ms = 50;
constexpr int busy_read_timeout_ms = 2;
constexpr std::chrono::milliseconds busy_window{500};
constexpr std::size_t max_queued_writes = 256;
constexpr int scan_interval_ms = 500;  // a plug is seen well within a second

// hid_init, hid_enumerate, hid_open_path, hid_close and hid_exit share hidapi's global state.
std::mutex& hid_global_mutex() {
  static std::mutex mutex;
  return mutex;
}
int hid_users = 0;  // guarded by hid_global_mutex()

std::string hid_global_error_text() {
  const wchar_t* text = hid_error(nullptr);
  return text ? QString::fromWCharArray(text).toStdString() : std::string{};
}

bool is_permission_error(int error_number) {
  return error_number == EACCES || error_number == EPERM;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

pending_reports::pending_reports(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)) {}

void pending_reports::push(std::span<const std::uint8_t> data) {
  if (reports_.size() >= capacity_) {
    reports_.pop_front();
    ++dropped_;
  }
  reports_.emplace_back(data.begin(), data.end());
}

bool pending_reports::pop_into(std::span<std::uint8_t> buffer) {
  if (reports_.empty() || buffer.empty()) return false;
  store_report_data(reports_.front(), buffer);
  reports_.pop_front();
  return true;
}

// ---------------------------------------------------------------------------------------------

device_handle device_table::add(int vendor, int product, std::string path) {
  const device_handle handle = next_handle_++;
  entry& e = entries_[handle];
  e.vendor = vendor;
  e.product = product;
  e.path = std::move(path);
  return handle;
}

bool device_table::detach(device_handle handle) {
  auto it = entries_.find(handle);
  if (it == entries_.end() || !it->second.attached) return false;
  it->second.attached = false;
  it->second.read_notify = false;
  it->second.pending.clear();
  return true;
}

const device_table::entry* device_table::find(device_handle handle) const {
  auto it = entries_.find(handle);
  return it == entries_.end() ? nullptr : &it->second;
}

device_table::entry* device_table::find(device_handle handle) {
  auto it = entries_.find(handle);
  return it == entries_.end() ? nullptr : &it->second;
}

device_handle device_table::attached_handle(int vendor, int product) const {
  for (const auto& [handle, e] : entries_) {
    if (e.attached && e.vendor == vendor && e.product == product) return handle;
  }
  return 0;
}

device_handle device_table::attached_handle(std::string_view path) const {
  for (const auto& [handle, e] : entries_) {
    if (e.attached && e.path == path) return handle;
  }
  return 0;
}

std::vector<device_handle> device_table::attached_handles() const {
  std::vector<device_handle> handles;
  for (const auto& [handle, e] : entries_) {
    if (e.attached) handles.push_back(handle);
  }
  return handles;
}

// ---------------------------------------------------------------------------------------------

wire_report make_wire_report(std::span<const std::uint8_t> report) {
  wire_report wire{};
  std::copy_n(report.begin(), std::min(report.size(), wire.size()), wire.begin());
  return wire;
}

std::string open_failure_message(bool permission_denied, std::string_view reason) {
  std::string text = "The scanning head is present but cannot be opened (";
  if (permission_denied) {
    text += "permission denied). Install the udev rule ";
    text += udev_rule_name;
    text += " (see README).";
  } else {
    text += reason.empty() ? std::string_view{"unknown error"} : reason;
    text += ").";
  }
  return text;
}

// ---------------------------------------------------------------------------------------------

// Owns one opened hid_device: every hidapi call on it happens on this thread, since hidapi
// keeps a per-device error string that hid_read_timeout and hid_write both replace unlocked.
struct usb_transport::worker {
  hid_device* device = nullptr;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::mutex mutex;
  std::deque<wire_report> writes;  // guarded by mutex

  bool queue(const wire_report& report) {
    if (finished.load()) return false;
    std::lock_guard lock(mutex);
    if (writes.size() >= max_queued_writes) return false;
    writes.push_back(report);
    return true;
  }

  void run(usb_transport* owner, device_handle handle) {
#if defined(__unix__) || defined(__APPLE__)
    // A signal would end poll() with EINTR, which hidapi reports as -1, i.e. a lost device.
    // Faults stay deliverable: blocking them would only hide a crash.
    sigset_t asynchronous;
    sigfillset(&asynchronous);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT})
      sigdelset(&asynchronous, fault);
    pthread_sigmask(SIG_BLOCK, &asynchronous, nullptr);
#endif
    using clock = std::chrono::steady_clock;
    std::array<unsigned char, read_buffer_size> buffer{};
    std::deque<wire_report> outgoing;
    auto last_traffic = clock::now() - busy_window;
    while (!stop.load()) {
      {
        std::lock_guard lock(mutex);
        outgoing.swap(writes);
      }
      for (const wire_report& report : outgoing) {
        // A failed write is not fatal here: if the head is gone, the next read says so.
        if (hid_write(device, report.data(), report.size()) >= 0) last_traffic = clock::now();
      }
      outgoing.clear();

      const bool busy = clock::now() - last_traffic < busy_window;
      const int n = hid_read_timeout(device, buffer.data(), buffer.size(),
                                     busy ? busy_read_timeout_ms : idle_read_timeout_ms);
      if (n < 0) {
        // -1 repeats forever once the device is gone.
        QMetaObject::invokeMethod(
            owner, [owner, handle] { owner->on_device_lost(handle); }, Qt::QueuedConnection);
        break;
      }
      if (n > 0) {
        last_traffic = clock::now();
        std::vector<std::uint8_t> data(buffer.begin(), buffer.begin() + n);
        QMetaObject::invokeMethod(
            owner,
            [owner, handle, data = std::move(data)]() mutable {
              owner->on_report(handle, std::move(data));
            },
            Qt::QueuedConnection);
      }
    }
    finished.store(true);
  }
};

struct usb_transport::udev_watch {
#if defined(__linux__)
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;

  ~udev_watch() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
  }
#endif
};

// ---------------------------------------------------------------------------------------------

usb_transport::usb_transport(status_callback on_status, QObject* parent)
    : QObject(parent), on_status_(std::move(on_status)) {}

usb_transport::~usb_transport() {
  disconnect();
}

void usb_transport::set_status_callback(status_callback on_status) {
  on_status_ = std::move(on_status);
}

bool usb_transport::connect(notification_target& target) {
  if (target_) {
    target_ = &target;
    return true;
  }
  if (!hid_ready_) {
    std::lock_guard lock(hid_global_mutex());
    if (hid_init() != 0) return false;
    ++hid_users;
    hid_ready_ = true;
  }
  target_ = &target;
  ++generation_;

  // Watch first, then enumerate, so that a head plugged in between is not missed.
  if (!start_udev_watch()) {
    scan_timer_ = new QTimer(this);
    scan_timer_->setInterval(scan_interval_ms);
    QObject::connect(scan_timer_, &QTimer::timeout, this, [this] { rescan(); });
    scan_timer_->start();
  }
  rescan();
  return true;
}

bool usb_transport::disconnect() {
  delete udev_notifier_;
  udev_notifier_ = nullptr;
  udev_.reset();
  delete scan_timer_;
  scan_timer_ = nullptr;

  for (device_handle h : devices_.attached_handles()) close_device(h, false);
  target_ = nullptr;
  ++generation_;
  failed_paths_.clear();

  if (hid_ready_) {
    std::lock_guard lock(hid_global_mutex());
    if (--hid_users == 0) hid_exit();
    hid_ready_ = false;
  }
  return true;
}

int usb_transport::vendor_id(device_handle handle) const {
  const auto* e = devices_.find(handle);
  return e ? e->vendor : 0;
}

int usb_transport::product_id(device_handle handle) const {
  const auto* e = devices_.find(handle);
  return e ? e->product : 0;
}

device_handle usb_transport::handle(int vendor, int product) const {
  return devices_.attached_handle(vendor, product);
}

bool usb_transport::set_read_notify(device_handle handle, bool enable) {
  auto* e = devices_.find(handle);
  if (!e || !e->attached) return false;
  const bool was_enabled = e->read_notify;
  e->read_notify = enable;
  if (enable && !was_enabled) {
    // Reports that came while notifications were off are announced now; otherwise every later
    // read would hand out a report that many places behind.
    for (std::size_t i = 0; i < e->pending.size(); ++i) {
      post_notification([this, handle](notification_target& target) {
        const auto* current = devices_.find(handle);
        if (current && current->attached && current->read_notify) target.OnRead(handle);
      });
    }
  }
  return true;
}

bool usb_transport::read(device_handle handle, std::span<std::uint8_t> buffer) {
  auto* e = devices_.find(handle);
  if (!e || !e->attached) return false;
  return e->pending.pop_into(buffer);
}

bool usb_transport::write(int vendor, int product, std::span<const std::uint8_t> report) {
  if (report.empty()) return false;
  const device_handle h = devices_.attached_handle(vendor, product);
  if (h == 0) return false;
  auto it = workers_.find(h);
  if (it == workers_.end()) return false;
  return it->second->queue(make_wire_report(report));
}

// ---------------------------------------------------------------------------------------------

void usb_transport::rescan() {
  struct found_device {
    std::string path;
    int vendor;
    int product;
  };
  std::vector<found_device> found;
  {
    std::lock_guard lock(hid_global_mutex());
    hid_device_info* list = hid_enumerate(static_cast<unsigned short>(brevane::device::vendor_id),
                                          static_cast<unsigned short>(brevane::device::product_id));
    for (const hid_device_info* info = list; info; info = info->next) {
      if (info->path) found.push_back({info->path, info->vendor_id, info->product_id});
    }
    hid_free_enumeration(list);
  }
  const auto present = [&found](const std::string& path) {
    return std::any_of(found.begin(), found.end(),
                       [&path](const found_device& f) { return f.path == path; });
  };

  for (device_handle h : devices_.attached_handles()) {
    const auto* e = devices_.find(h);
    if (e && !present(e->path)) close_device(h, true);
  }
  std::erase_if(failed_paths_, [&present](const std::string& path) { return !present(path); });
  for (const found_device& f : found) {
    if (devices_.attached_handle(f.path) == 0) open_device(f.path, f.vendor, f.product);
  }
}

void usb_transport::open_device(const std::string& path, int vendor, int product) {
  hid_device* dev = nullptr;
  int error_number = 0;
  std::string reason;
  {
    std::lock_guard lock(hid_global_mutex());
    errno = 0;
    dev = hid_open_path(path.c_str());
    error_number = errno;
    if (!dev) reason = hid_global_error_text();
  }
  if (!dev) {
    bool denied = is_permission_error(error_number);
#if defined(__unix__) || defined(__APPLE__)
    if (!denied && ::access(path.c_str(), R_OK | W_OK) != 0) denied = is_permission_error(errno);
#endif
    if (error_number != 0 && !denied) reason = std::generic_category().message(error_number);
    if (std::find(failed_paths_.begin(), failed_paths_.end(), path) == failed_paths_.end()) {
      failed_paths_.push_back(path);
      report_status(open_failure_message(denied, reason));
    }
    return;
  }
  std::erase(failed_paths_, path);

  const device_handle h = devices_.add(vendor, product, path);
  auto w = std::make_unique<worker>();
  w->device = dev;
  try {
    w->thread = std::thread([this, raw = w.get(), h] { raw->run(this, h); });
  } catch (const std::system_error& e) {
    devices_.detach(h);
    {
      std::lock_guard lock(hid_global_mutex());
      hid_close(dev);
    }
    report_status(open_failure_message(false, e.what()));
    return;
  }
  workers_.emplace(h, std::move(w));
  post_notification([h](notification_target& target) { target.OnPlugged(h); });
  post_notification([](notification_target& target) { target.OnChanged(); });
}

void usb_transport::close_device(device_handle handle, bool notify) {
  if (auto it = workers_.find(handle); it != workers_.end()) {
    std::unique_ptr<worker> w = std::move(it->second);
    workers_.erase(it);
    w->stop.store(true);
    // hid_close must never overlap a read on the same device.
    if (w->thread.joinable()) w->thread.join();
    std::lock_guard lock(hid_global_mutex());
    hid_close(w->device);
  }
  if (!devices_.detach(handle)) return;
  if (notify) {
    post_notification([handle](notification_target& target) { target.OnUnplugged(handle); });
    post_notification([](notification_target& target) { target.OnChanged(); });
  }
}

void usb_transport::on_udev_event() {
#if defined(__linux__)
  if (!udev_ || !udev_->monitor) return;
  bool changed = false;
  std::vector<std::string> removed_nodes;
  while (udev_device* dev = udev_monitor_receive_device(udev_->monitor)) {
    const char* action = udev_device_get_action(dev);
    if (action && std::strcmp(action, "add") == 0) {
      changed = true;
    } else if (action && std::strcmp(action, "remove") == 0) {
      changed = true;
      if (const char* node = udev_device_get_devnode(dev)) removed_nodes.emplace_back(node);
    }
    udev_device_unref(dev);
  }
  for (const std::string& node : removed_nodes) {
    if (device_handle h = devices_.attached_handle(node); h != 0) close_device(h, true);
  }
  if (changed) rescan();
#endif
}

void usb_transport::on_report(device_handle handle, std::vector<std::uint8_t> data) {
  auto* e = devices_.find(handle);
  if (!target_ || !e || !e->attached) return;
  e->pending.push(data);
  if (e->read_notify) target_->OnRead(handle);
}

void usb_transport::on_device_lost(device_handle handle) {
  const auto* e = devices_.find(handle);
  if (e && e->attached) close_device(handle, true);
}

void usb_transport::post_notification(std::function<void(notification_target&)> call) {
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, call = std::move(call)] {
        // Nothing posted before a disconnect reaches the target after it.
        if (generation != generation_ || !target_) return;
        call(*target_);
      },
      Qt::QueuedConnection);
}

void usb_transport::report_status(std::string text) {
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, text = std::move(text)] {
        if (generation == generation_ && on_status_) on_status_(text);
      },
      Qt::QueuedConnection);
}

bool usb_transport::start_udev_watch() {
#if defined(__linux__)
  // Without a running udev daemon the "udev" source never sends an event; scan instead.
  if (::access("/run/udev/control", F_OK) != 0) return false;
  auto watch = std::make_unique<udev_watch>();
  watch->context = udev_new();
  if (!watch->context) return false;
  watch->monitor = udev_monitor_new_from_netlink(watch->context, "udev");
  if (!watch->monitor) return false;
  if (udev_monitor_filter_add_match_subsystem_devtype(watch->monitor, "hidraw", nullptr) < 0)
    return false;
  if (udev_monitor_enable_receiving(watch->monitor) < 0) return false;
  const int fd = udev_monitor_get_fd(watch->monitor);
  if (fd < 0) return false;
  udev_ = std::move(watch);
  udev_notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  QObject::connect(udev_notifier_, &QSocketNotifier::activated, this, [this] { on_udev_event(); });
  return true;
#else
  return false;
#endif
}

}  // namespace brevane::device
