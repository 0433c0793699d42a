// The head's I/O through hidapi, where the transport does not drive the node itself.
// hidapi before 0.15 is not thread-safe per device: hid_write and hid_read_timeout both
// replace the device's one error string unlocked. There a single worker makes every call on
// the device and sends queued writes between reads. From 0.15 the read keeps its own error
// (hid_read_error), so a reader and a writer thread can share the device.
#include <hidapi/hidapi.h>

#include <QString>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "device/usb_device_io.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace brevane::device {

namespace {

#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 15, 0)
#define BREVANE_HIDAPI_THREADED 1
#endif

std::string hid_global_error_text() {
  const wchar_t* text = hid_error(nullptr);
  return text ? QString::fromWCharArray(text).toStdString() : std::string{};
}

// Owns one hid_device; subclasses run the threads, and must stop them in their destructor
// before this one closes the device.
class hidapi_io : public device_io {
 public:
  explicit hidapi_io(hid_device* device, io_events events)
      : device_(device), events_(std::move(events)) {}
  ~hidapi_io() override {
    std::lock_guard lock(hid_global_mutex());
    hid_close(device_);
  }
  virtual void start() = 0;

 protected:
  hid_device* const device_;
  const io_events events_;
};

#if !defined(BREVANE_HIDAPI_THREADED)
// The worker reads with a timeout so that it can send what was queued meanwhile: rarely when
// idle, often right after traffic, as the head answers each command within a few frames.
constexpr int idle_read_timeout_ms = 50;
constexpr int busy_read_timeout_ms = 2;
constexpr std::chrono::milliseconds busy_window{500};

class hidapi_worker_io final : public hidapi_io {
 public:
  using hidapi_io::hidapi_io;
  ~hidapi_worker_io() override {
    stop_ = true;
    writes_.close();
    if (thread_.joinable()) thread_.join();
  }
  void start() override {
    thread_ = std::thread([this] { run(); });
  }
  bool queue(const wire_report& report) override { return writes_.push(report); }

 private:
  void run() {
    // A signal would end hidapi's poll() with EINTR, which it reports as a lost device.
    block_asynchronous_signals();
    using clock = std::chrono::steady_clock;
    std::array<unsigned char, read_buffer_size> buffer{};
    auto last_traffic = clock::now() - busy_window;
    while (!stop_.load()) {
      for (const wire_report& report : writes_.take_all()) {
        // A failed write is not fatal here: if the head is gone, the next read says so.
        if (hid_write(device_, report.data(), report.size()) >= 0) last_traffic = clock::now();
      }
      const bool busy = clock::now() - last_traffic < busy_window;
      const int n = hid_read_timeout(device_, buffer.data(), buffer.size(),
                                     busy ? busy_read_timeout_ms : idle_read_timeout_ms);
      if (n < 0) {
        // -1 repeats forever once the device is gone.
        writes_.close();
        events_.on_lost();
        return;
      }
      if (n > 0) {
        last_traffic = clock::now();
        events_.on_report(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
      }
    }
  }

  std::atomic<bool> stop_{false};
  write_queue writes_;
  std::thread thread_;
};
#endif

#if defined(BREVANE_HIDAPI_THREADED)
// hidapi has no way to wake a blocking read, so the reader looks at the stop flag this often;
// writes never wait for it.
constexpr int stop_check_ms = 100;

class hidapi_threaded_io final : public hidapi_io {
 public:
  using hidapi_io::hidapi_io;
  ~hidapi_threaded_io() override {
    stop_ = true;
    writes_.close();
    if (reader_.joinable()) reader_.join();
    if (writer_.joinable()) writer_.join();
  }
  void start() override {
    reader_ = std::thread([this] { read_loop(); });
    try {
      writer_ = std::thread([this] { write_loop(); });
    } catch (...) {
      stop_ = true;
      reader_.join();
      throw;
    }
  }
  bool queue(const wire_report& report) override { return writes_.push(report); }

 private:
  void read_loop() {
    block_asynchronous_signals();
    std::array<unsigned char, read_buffer_size> buffer{};
    while (!stop_.load()) {
      const int n = hid_read_timeout(device_, buffer.data(), buffer.size(), stop_check_ms);
      if (n < 0) {
        writes_.close();
        events_.on_lost();
        return;
      }
      if (n > 0) events_.on_report(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
    }
  }
  void write_loop() {
    block_asynchronous_signals();
    // A failed write is not fatal here: if the head is gone, the reader says so.
    while (std::optional<wire_report> report = writes_.pop_wait())
      hid_write(device_, report->data(), report->size());
  }

  std::atomic<bool> stop_{false};
  write_queue writes_;
  std::thread reader_;
  std::thread writer_;
};
using platform_hidapi_io = hidapi_threaded_io;
#else
using platform_hidapi_io = hidapi_worker_io;
#endif

}  // namespace

open_result open_hidapi_io(const std::string& path, io_events events) {
  open_result result;
  hid_device* device = nullptr;
  int error_number = 0;
  {
    std::lock_guard lock(hid_global_mutex());
    errno = 0;
    device = hid_open_path(path.c_str());
    error_number = errno;
    if (!device) result.reason = hid_global_error_text();
  }
  if (!device) {
    result.permission_denied = error_number == EACCES || error_number == EPERM;
#if defined(__unix__) || defined(__APPLE__)
    if (!result.permission_denied && ::access(path.c_str(), R_OK | W_OK) != 0)
      result.permission_denied = errno == EACCES || errno == EPERM;
#endif
    if (error_number != 0 && !result.permission_denied)
      result.reason = std::generic_category().message(error_number);
    return result;
  }
  auto io = std::make_unique<platform_hidapi_io>(device, std::move(events));
  try {
    io->start();
  } catch (const std::system_error& e) {
    result.reason = e.what();
    return result;  // io closes the device
  }
  result.io = std::move(io);
  return result;
}

}  // namespace brevane::device
