#include "device/usb_device_io.h"

#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>

#include <csignal>
#endif

namespace brevane::device {

open_result open_device_io(const std::string& path, io_events events) {
#if defined(__linux__)
  return open_hidraw_io(path, std::move(events));
#else
  return open_hidapi_io(path, std::move(events));
#endif
}

std::mutex& hid_global_mutex() {
  static std::mutex mutex;
  return mutex;
}

void block_asynchronous_signals() {
#if defined(__unix__) || defined(__APPLE__)
  sigset_t asynchronous;
  sigfillset(&asynchronous);
  // Blocking a fault would only hide a crash.
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT})
    sigdelset(&asynchronous, fault);
  pthread_sigmask(SIG_BLOCK, &asynchronous, nullptr);
#endif
}

bool write_queue::push(const wire_report& report) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || reports_.size() >= max_queued_writes) return false;
    reports_.push_back(report);
  }
  ready_.notify_one();
  return true;
}

std::optional<wire_report> write_queue::pop_wait() {
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [this] { return closed_ || !reports_.empty(); });
  if (closed_) return std::nullopt;
  wire_report report = reports_.front();
  reports_.pop_front();
  return report;
}

std::deque<wire_report> write_queue::take_all() {
  std::lock_guard lock(mutex_);
  return std::exchange(reports_, {});
}

void write_queue::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    reports_.clear();
  }
  ready_.notify_all();
}

}  // namespace brevane::device
