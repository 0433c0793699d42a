#pragma once
// The USB transport's bookkeeping that carries no device state: input reports waiting to be
// read, the table of opened devices, and the bytes a report takes on the wire. Exercised
// without a device.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_constants.h"
#include "device/transport.h"

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

  // The handle the next add() gives.
  device_handle next_handle() const { return next_handle_; }
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

// The bytes that go to the device in one write: the first output_wire_size bytes of the output
// report (byte 0 the report id), a shorter report padded with zeros.
wire_report make_wire_report(std::span<const std::uint8_t> report);

// The status text when a head is present but cannot be opened.
std::string open_failure_message(bool permission_denied, std::string_view reason);

}  // namespace brevane::device
