#pragma once
// The transport to the real head over USB HID. hidapi enumerates the heads; each opened head
// gets a device_io whose threads read and write it (the hidraw node itself on Linux). Reports
// and plug events reach the user-interface thread as queued events; the user-interface thread
// only ever queues writes, so a stalled write never holds up the window.

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/device_constants.h"
#include "device/transport.h"
#include "device/usb_device_io.h"
#include "device/usb_device_table.h"

class QSocketNotifier;
class QTimer;

namespace brevane::device {

class udev_watch;

class usb_transport : public QObject, public transport {
  Q_OBJECT

 public:
  using status_callback = std::function<void(const std::string&)>;

  explicit usb_transport(status_callback on_status = {}, QObject* parent = nullptr);
  ~usb_transport() override;

  usb_transport(const usb_transport&) = delete;
  usb_transport& operator=(const usb_transport&) = delete;

  void set_status_callback(status_callback on_status);
  // Uses only the head with this serial number or device path; its notifications are the only
  // ones delivered. Empty: every head, the first one found used (as without a choice).
  void choose_head(std::string serial_or_path) { chosen_ = std::move(serial_or_path); }
  // How a found head is opened; the platform's own I/O unless set. Takes effect for heads
  // opened afterwards.
  void set_io_opener(io_opener opener);

  bool connect(notification_target& target) override;
  bool disconnect() override;

  int vendor_id(device_handle handle) const override;
  int product_id(device_handle handle) const override;
  device_handle handle(int vendor, int product) const override;
  bool set_read_notify(device_handle handle, bool enable) override;
  bool read(device_handle handle, std::span<std::uint8_t> buffer) override;
  bool write(int vendor, int product, std::span<const std::uint8_t> report) override;

  // True while plug events come from the udev monitor rather than the periodic scan.
  bool watching_udev() const { return udev_notifier_ != nullptr; }

 private:
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
  std::string chosen_;
  std::size_t heads_reported_ = 0;  // heads attached when the status last named the one in use
  io_opener open_io_;
  notification_target* target_ = nullptr;
  std::uint64_t generation_ = 0;
  bool hid_ready_ = false;
  device_table devices_;
  std::map<device_handle, std::unique_ptr<device_io>> io_;
  // Paths already reported as present but unopenable, so the message is given once.
  std::vector<std::string> failed_paths_;
  std::unique_ptr<udev_watch> udev_;
  QSocketNotifier* udev_notifier_ = nullptr;
  QTimer* scan_timer_ = nullptr;
};

}  // namespace brevane::device
