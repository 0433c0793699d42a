#pragma once
// The one interface between the program and a scanning head, real or simulated.
// Its operations are exactly those the device link needs; nothing above it knows which
// implementation it talks to.

#include <cstdint>
#include <span>
#include <string>

namespace brevane::device {

// Opaque handle of one attached device; 0 means "no device".
using device_handle = std::uintptr_t;

// Receives the four device notifications. Implementations deliver them on the thread that
// called connect() (the user-interface thread), never from inside write().
class notification_target {
 public:
  virtual ~notification_target() = default;
  virtual void OnPlugged(device_handle handle) = 0;
  virtual void OnUnplugged(device_handle handle) = 0;
  virtual void OnChanged() = 0;
  virtual void OnRead(device_handle handle) = 0;
};

class transport {
 public:
  virtual ~transport() = default;

  // Starts delivering notifications to target. Devices already present are reported as
  // plugged, followed by a changed notification.
  virtual bool connect(notification_target& target) = 0;
  // Stops all notifications. Harmless when not connected.
  virtual bool disconnect() = 0;

  virtual int vendor_id(device_handle handle) const = 0;
  virtual int product_id(device_handle handle) const = 0;
  // The handle of the first device with these ids, or 0.
  virtual device_handle handle(int vendor, int product) const = 0;
  // While enabled, every input report of the device is announced with OnRead.
  virtual bool set_read_notify(device_handle handle, bool enable) = 0;
  // Copies the oldest pending input report, report id in byte 0. False when none is pending.
  virtual bool read(device_handle handle, std::span<std::uint8_t> buffer) = 0;
  // Sends an output report (byte 0 the report id) to the device with these ids.
  virtual bool write(int vendor, int product, std::span<const std::uint8_t> report) = 0;
  // Why the last write() returned false when the head is there but will not take the report
  // (a replayed head given a report it has not recorded); empty when the head is absent.
  virtual std::string last_write_error() const { return {}; }
  // Why no report can come any more, so a wait for one is pointless (a replayed recording that
  // ends); empty while one may.
  virtual std::string answers_ended() const { return {}; }
};

}  // namespace brevane::device
