// The head's I/O on Linux, straight on its hidraw node: the kernel serialises reads and writes
// on one node, so a reader and a writer thread need no lock between them and share no library
// error state. The reader blocks in poll() on the node and on an eventfd that stops it; the
// writer wakes when a report is queued. Neither has a timeout, so an idle head costs nothing.
#if defined(__linux__)

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "device/usb_device_io.h"

namespace brevane::device {

namespace {

class hidraw_io final : public device_io {
 public:
  hidraw_io(int fd, int stop_fd, io_events events)
      : fd_(fd), stop_fd_(stop_fd), events_(std::move(events)) {}

  ~hidraw_io() override {
    stop();
    ::close(stop_fd_);
    ::close(fd_);  // only now: no read or write on it can still be running
  }

  // Throws std::system_error when a thread cannot be started; then nothing runs.
  void start() {
    reader_ = std::thread([this] { read_loop(); });
    try {
      writer_ = std::thread([this] { write_loop(); });
    } catch (...) {
      stop();
      throw;
    }
  }

  bool queue(const wire_report& report) override { return writes_.push(report); }

 private:
  void stop() {
    const std::uint64_t one = 1;
    while (::write(stop_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    writes_.close();
    if (reader_.joinable()) reader_.join();
    if (writer_.joinable()) writer_.join();
  }

  void read_loop() {
    block_asynchronous_signals();
    std::array<std::uint8_t, read_buffer_size> buffer{};
    std::array<pollfd, 2> watched{pollfd{fd_, POLLIN, 0}, pollfd{stop_fd_, POLLIN, 0}};
    for (;;) {
      if (::poll(watched.data(), watched.size(), -1) < 0) {
        if (errno == EINTR) continue;
        break;  // cannot wait any more: treat as a lost device rather than spin
      }
      if (watched[1].revents != 0) return;  // stopped: the transport closes, no loss to report
      const short ready = watched[0].revents;
      if (ready & POLLIN) {
        // One report per read on hidraw.
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n > 0) {
          events_.on_report(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
          continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        break;  // 0 bytes, ENODEV, EIO and the like: the head is gone, and stays gone
      }
      if (ready & (POLLHUP | POLLERR | POLLNVAL)) break;
    }
    writes_.close();  // a write to a gone head is refused, not reported as queued
    events_.on_lost();
  }

  void write_loop() {
    block_asynchronous_signals();
    while (std::optional<wire_report> report = writes_.pop_wait()) {
      ssize_t n;
      do {
        n = ::write(fd_, report->data(), report->size());
      } while (n < 0 && errno == EINTR);
      // A failed write is not fatal here: if the head is gone the reader says so. Once the
      // node says so itself, refuse further reports rather than fail them one by one.
      if (n < 0 && errno == ENODEV) {
        writes_.close();
        return;
      }
    }
  }

  const int fd_;
  const int stop_fd_;
  const io_events events_;
  write_queue writes_;
  std::thread reader_;
  std::thread writer_;
};

}  // namespace

open_result open_hidraw_io(const std::string& path, io_events events) {
  open_result result;
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    const int error_number = errno;
    result.permission_denied = error_number == EACCES || error_number == EPERM;
    result.reason = std::generic_category().message(error_number);
    return result;
  }
  const int stop_fd = ::eventfd(0, EFD_CLOEXEC);
  if (stop_fd < 0) {
    result.reason = std::generic_category().message(errno);
    ::close(fd);
    return result;
  }
  auto io = std::make_unique<hidraw_io>(fd, stop_fd, std::move(events));
  try {
    io->start();
  } catch (const std::system_error& e) {
    result.reason = e.what();
    return result;  // io closes both descriptors
  }
  result.io = std::move(io);
  return result;
}

}  // namespace brevane::device

#endif
