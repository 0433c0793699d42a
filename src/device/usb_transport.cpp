#include "device/usb_transport.h"

#include <hidapi/hidapi.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "device/udev_watch.h"
#include "device/usb_heads.h"

namespace brevane::device {

namespace {

constexpr int scan_interval_ms = 500;  // a plug is seen well within a second
int hid_users = 0;                     // guarded by hid_global_mutex()

}  // namespace

usb_transport::usb_transport(status_callback on_status, QObject* parent)
    : QObject(parent), on_status_(std::move(on_status)), open_io_(open_device_io) {}

usb_transport::~usb_transport() {
  disconnect();
}

void usb_transport::set_status_callback(status_callback on_status) {
  on_status_ = std::move(on_status);
}

void usb_transport::set_io_opener(io_opener opener) {
  open_io_ = opener ? std::move(opener) : io_opener(open_device_io);
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
  auto it = io_.find(h);
  if (it == io_.end()) return false;
  return it->second->queue(make_wire_report(report));
}

// ---------------------------------------------------------------------------------------------

void usb_transport::rescan() {
  struct found_device {
    std::string path;
    int vendor;
    int product;
    std::string serial;
  };
  std::vector<found_device> found;
  {
    std::lock_guard lock(hid_global_mutex());
    hid_device_info* list = hid_enumerate(static_cast<unsigned short>(brevane::device::vendor_id),
                                          static_cast<unsigned short>(brevane::device::product_id));
    for (const hid_device_info* info = list; info; info = info->next) {
      if (!info->path) continue;
      found_device f{info->path, info->vendor_id, info->product_id, {}};
      if (info->serial_number)
        f.serial = QString::fromWCharArray(info->serial_number).toStdString();
      // With a head chosen, the others are not there for this program.
      if (chosen_.empty() || head_matches({f.path, f.serial, {}, {}}, chosen_))
        found.push_back(std::move(f));
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
  // Several heads and no choice: say which one is used, and how to use another.
  if (chosen_.empty() && found.size() > 1 && found.size() != heads_reported_) {
    const auto* used = devices_.find(
        devices_.attached_handle(brevane::device::vendor_id, brevane::device::product_id));
    if (used) {
      report_status(std::to_string(found.size()) + " heads are attached; this run uses " +
                    used->path + ". Start Brevane with --device SERIAL or PATH to use another " +
                    "(--list-devices lists them).");
    }
  }
  heads_reported_ = found.size();
}

void usb_transport::open_device(const std::string& path, int vendor, int product) {
  // The I/O threads need the handle before the device is open; it is taken only once it is,
  // so a head that cannot be opened does not fill the table on every scan.
  const device_handle h = devices_.next_handle();
  io_events events;
  // Both run on an I/O thread: they only post to this object's thread.
  events.on_report = [this, h](std::vector<std::uint8_t> data) {
    QMetaObject::invokeMethod(
        this, [this, h, data = std::move(data)]() mutable { on_report(h, std::move(data)); },
        Qt::QueuedConnection);
  };
  events.on_lost = [this, h] {
    QMetaObject::invokeMethod(
        this, [this, h] { on_device_lost(h); }, Qt::QueuedConnection);
  };
  open_result opened = open_io_(path, std::move(events));
  if (!opened.io) {
    if (std::find(failed_paths_.begin(), failed_paths_.end(), path) == failed_paths_.end()) {
      failed_paths_.push_back(path);
      report_status(open_failure_message(opened.permission_denied, opened.reason));
    }
    return;
  }
  std::erase(failed_paths_, path);
  devices_.add(vendor, product, path);
  io_.emplace(h, std::move(opened.io));
  post_notification([h](notification_target& target) { target.OnPlugged(h); });
  post_notification([](notification_target& target) { target.OnChanged(); });
}

void usb_transport::close_device(device_handle handle, bool notify) {
  if (auto it = io_.find(handle); it != io_.end()) {
    std::unique_ptr<device_io> io = std::move(it->second);
    io_.erase(it);
    io.reset();  // joins its threads, then closes the device
  }
  if (!devices_.detach(handle)) return;
  if (notify) {
    post_notification([handle](notification_target& target) { target.OnUnplugged(handle); });
    post_notification([](notification_target& target) { target.OnChanged(); });
  }
}

void usb_transport::on_udev_event() {
  if (!udev_) return;
  const udev_watch::changes changes = udev_->receive();
  for (const std::string& node : changes.removed_nodes) {
    if (device_handle h = devices_.attached_handle(node); h != 0) close_device(h, true);
  }
  if (changes.any) rescan();
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
  // Without a running udev daemon the "udev" source never sends an event; scan instead.
  udev_ = udev_watch::start();
  if (!udev_) return false;
  udev_notifier_ = new QSocketNotifier(udev_->fd(), QSocketNotifier::Read, this);
  QObject::connect(udev_notifier_, &QSocketNotifier::activated, this, [this] { on_udev_event(); });
  return true;
}

}  // namespace brevane::device
