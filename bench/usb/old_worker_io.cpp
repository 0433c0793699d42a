#include "old_worker_io.h"

#include <hidapi/hidapi.h>

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace brevane::bench {

namespace {

using device::wire_report;

constexpr int idle_read_timeout_ms = 50;
constexpr int busy_read_timeout_ms = 2;
constexpr std::chrono::milliseconds busy_window{500};

class old_worker_io final : public device::device_io {
 public:
  old_worker_io(hid_device* device, device::io_events events)
      : device_(device), events_(std::move(events)) {
    thread_ = std::thread([this] { run(); });
  }
  ~old_worker_io() override {
    stop_ = true;
    thread_.join();
    std::lock_guard lock(device::hid_global_mutex());
    hid_close(device_);
  }
  bool queue(const wire_report& report) override {
    if (finished_.load()) return false;
    std::lock_guard lock(mutex_);
    if (writes_.size() >= device::max_queued_writes) return false;
    writes_.push_back(report);
    return true;
  }

 private:
  void run() {
    device::block_asynchronous_signals();
    using clock = std::chrono::steady_clock;
    std::array<unsigned char, device::read_buffer_size> buffer{};
    std::deque<wire_report> outgoing;
    auto last_traffic = clock::now() - busy_window;
    while (!stop_.load()) {
      {
        std::lock_guard lock(mutex_);
        outgoing.swap(writes_);
      }
      for (const wire_report& report : outgoing) {
        if (hid_write(device_, report.data(), report.size()) >= 0) last_traffic = clock::now();
      }
      outgoing.clear();
      const bool busy = clock::now() - last_traffic < busy_window;
      const int n = hid_read_timeout(device_, buffer.data(), buffer.size(),
                                     busy ? busy_read_timeout_ms : idle_read_timeout_ms);
      if (n < 0) {
        events_.on_lost();
        break;
      }
      if (n > 0) {
        last_traffic = clock::now();
        events_.on_report(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
      }
    }
    finished_.store(true);
  }

  hid_device* const device_;
  const device::io_events events_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::mutex mutex_;
  std::deque<wire_report> writes_;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace

device::open_result open_old_worker_io(const std::string& path, device::io_events events) {
  device::open_result result;
  hid_device* dev = nullptr;
  {
    std::lock_guard lock(device::hid_global_mutex());
    dev = hid_open_path(path.c_str());
  }
  if (!dev) {
    result.reason = "hid_open_path failed";
    return result;
  }
  result.io = std::make_unique<old_worker_io>(dev, std::move(events));
  return result;
}

}  // namespace brevane::bench
