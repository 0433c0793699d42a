#pragma once
// The transport to the real head over USB HID (hidapi). One worker thread per opened device
// makes every hidapi call on it; reports and plug events reach the user-interface thread as
// queued events. The bookkeeping below (pending reports, handle table, wire reports) carries
// no hidapi state, so it can be exercised without a device.

#include <QObject>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_constants.h"
#include "device/transport.h"

class QSocketNotifier;
class QTimer;

namespace brevane::device {

// Input reports received but not yet read, oldest first. Bounded so that a reader that has
// stopped reading cannot make it grow without limit; beyond the bound the oldest is dropped.
class pending_reports {
 public:
  static constexpr std::size_t default_capacity = 256;

  explicit pending_reports(std::size_t capacity = default_capacity);

  // data is the report as a HID read returns it, without the report id.
  void push(std::span<const std::uint8_t> data);
  // Moves the oldest report into buffer (report id 0 at byte 0, data from byte 1).
  bool pop_into(std::span<std::uint8_t> buffer);
  std::size_t size() const { return reports_.size(); }
  bool empty() const { return reports_.empty(); }
  void clear() { reports_.clear(); }
  // Reports lost to the bound since construction.
  std::size_t dropped() const { return dropped_; }

 private:
  std::size_t capacity_;
  std::size_t dropped_ = 0;
  std::deque<std::vector<std::uint8_t>> reports_;
};

// The devices the transport has opened during this run. A handle is never given to a second
// device; the ids of a device stay known after it is gone, because the unplugged notification
// asks for them.
class device_table {
 public:
  struct entry {
    int vendor = 0;
    int product = 0;
    std::string path;
    bool attached = true;
    bool read_notify = false;
    pending_reports pending;
  };

  device_handle add(int vendor, int product, std::string path);
  // Marks the device gone and drops its pending reports; its ids stay readable.
  bool detach(device_handle handle);

  const entry* find(device_handle handle) const;
  entry* find(device_handle handle);
  // The attached device with these ids that was opened first, or 0.
  device_handle attached_handle(int vendor, int product) const;
  // The attached device opened from this path, or 0.
  device_handle attached_handle(std::string_view path) const;
  std::vector<device_handle> attached_handles() const;

 private:
  device_handle next_handle_ = 1;
  std::map<device_handle, entry> entries_;
};

using wire_report = std::array<std::uint8_t, output_wire_size>;

// The bytes that go to hid_write: the first output_wire_size bytes of the output report
// (byte 0 the report id), a shorter report padded with zeros.
wire_report make_wire_report(std::span<const std::uint8_t> report);

// The status text when a head is present but cannot be opened.
std::string open_failure_message(bool permission_denied, std::string_view reason);

class usb_transport : public QObject, public transport {
 public:
  using status_callback = std::function<void(const std::string&)>;

  explicit usb_transport(status_callback on_status = {}, QObject* parent = nullptr);
  ~usb_transport() override;

  usb_transport(const usb_transport&) = delete;
  usb_transport& operator=(const usb_transport&) = delete;

  void set_status_callback(status_callback on_status);

  bool connect(notification_target& target) override;
  bool disconnect() override;

  int vendor_id(device_handle handle) const override;
  int product_id(device_handle handle) const override;
  device_handle handle(int vendor, int product) const override;
  bool set_read_notify(device_handle handle, bool enable) override;
  bool read(device_handle handle, std::span<std::uint8_t> buffer) override;
  bool write(int vendor, int product, std::span<const std::uint8_t> report) override;

  // True while plug events come from the udev monitor rather than the once-a-second scan.
  bool watching_udev() const { return udev_notifier_ != nullptr; }

 private:
  struct worker;
  struct udev_watch;

  void rescan();
  void open_device(const std::string& path, int vendor, int product);
  void close_device(device_handle handle, bool notify);
  void on_udev_event();
  void on_report(device_handle handle, std::vector<std::uint8_t> data);
  void on_device_lost(device_handle handle);
  void post_notification(std::function<void(notification_target&)> call);
  void report_status(std::string text);
  bool start_udev_watch();

  status_callback on_status_;
  notification_target* target_ = nullptr;
  std::uint64_t generation_ = 0;
  bool hid_ready_ = false;
  device_table devices_;
  std::map<device_handle, std::unique_ptr<worker>> workers_;
  // Paths already reported as present but unopenable, so the message is given once.
  std::vector<std::string> failed_paths_;
  std::unique_ptr<udev_watch> udev_;
  QSocketNotifier* udev_notifier_ = nullptr;
  QTimer* scan_timer_ = nullptr;
};

}  // namespace brevane::device
