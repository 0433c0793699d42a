#pragma once
// The I/O of one opened device, behind a small interface so the transport does not care how
// it is done. Each implementation reads on a thread of its own and sends queued writes without
// holding up the caller; what it reads and the loss of the device go to the callbacks, on its
// own thread. Destroying it stops its threads and then closes the device.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/usb_device_table.h"

namespace brevane::device {

// A full-speed HID report is at most 64 bytes; one more keeps a numbered report whole.
inline constexpr std::size_t read_buffer_size = 65;
inline constexpr std::size_t max_queued_writes = 256;

struct io_events {
  // Each input report as the device gives it: the data, without a report id.
  std::function<void(std::vector<std::uint8_t>)> on_report;
  // The device is gone; called once, and nothing is read after it.
  std::function<void()> on_lost;
};

class device_io {
 public:
  virtual ~device_io() = default;
  // Hands one report to the writer; false when the queue is full or the device is known gone.
  virtual bool queue(const wire_report& report) = 0;
};

struct open_result {
  std::unique_ptr<device_io> io;  // null when the device could not be opened
  bool permission_denied = false;
  std::string reason;
};

using io_opener = std::function<open_result(const std::string& path, io_events events)>;

// The platform's own: the hidraw node on Linux, hidapi elsewhere.
open_result open_device_io(const std::string& path, io_events events);
// hidapi's I/O: a reader and a writer thread from hidapi 0.15 on (hid_read_error keeps the read's
// error apart from the write's), a single worker before that.
open_result open_hidapi_io(const std::string& path, io_events events);
#if defined(__linux__)
open_result open_hidraw_io(const std::string& path, io_events events);
#endif

// hid_init, hid_enumerate, hid_open_path, hid_close and hid_exit share hidapi's global state.
std::mutex& hid_global_mutex();

// For the calling I/O thread: no asynchronous signal lands there, so a blocking call is only
// interrupted by what the transport itself does. Faults stay deliverable.
void block_asynchronous_signals();

// Reports waiting for the writer, bounded; the writer waits on it without a timeout.
class write_queue {
 public:
  bool push(const wire_report& report);
  // The oldest report, waiting for one; empty once closed.
  std::optional<wire_report> pop_wait();
  // Takes everything queued, without waiting.
  std::deque<wire_report> take_all();
  // Wakes the writer for good and refuses further reports.
  void close();

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<wire_report> reports_;
  bool closed_ = false;
};

}  // namespace brevane::device
