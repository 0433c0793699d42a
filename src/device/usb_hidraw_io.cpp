// The head's I/O on Linux, straight on its hidraw node: the kernel serialises reads and writes
// on one node, so a reader and a writer thread need no lock between them and share no library
// error state. The reader blocks in poll() on the node and on an eventfd that stops it; the
// writer wakes when a report is queued and sends it at once. Neither has a timeout, so an idle
// head costs nothing. Closing never waits for a write the head does not take.
#if defined(__linux__)

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

#include "device/usb_device_io.h"

namespace brevane::device {

namespace {

// What the writer thread needs, shared with it so that it may outlive the I/O object: a write
// the head does not take can be held in the kernel (a USB transfer waits up to 5 s, and no
// signal ends it), and closing must not wait for that. The node is closed when the last
// user lets go of it.
struct node {
  node(int node_fd, int stop) : fd(node_fd), stop_fd(stop) {}
  ~node() {
    ::close(stop_fd);
    ::close(fd);
  }
  node(const node&) = delete;
  node& operator=(const node&) = delete;

  const int fd;       // non-blocking, where the node allows it
  const int stop_fd;  // readable once the transport stops
  write_queue writes;
};

// Sends one report. False once the transport stops or the head is gone.
bool send(node& n, const wire_report& report) {
  for (;;) {
    if (::write(n.fd, report.data(), report.size()) >= 0) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      std::array<pollfd, 2> watched{pollfd{n.fd, POLLOUT, 0}, pollfd{n.stop_fd, POLLIN, 0}};
      if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR) return false;
      if (watched[1].revents != 0) return false;  // stopped: the report is dropped
      continue;
    }
    // A failed write is not fatal here: if the head is gone the reader says so. Once the node
    // says so itself, refuse further reports rather than fail them one by one.
    if (errno == ENODEV) {
      n.writes.close();
      return false;
    }
    return true;
  }
}

void write_loop(node& n) {
  block_asynchronous_signals();
  while (std::optional<wire_report> report = n.writes.pop_wait())
    if (!send(n, *report)) return;
}

class hidraw_io final : public device_io {
 public:
  hidraw_io(int fd, int stop_fd, io_events events)
      : node_(std::make_shared<node>(fd, stop_fd)), events_(std::move(events)) {}

  ~hidraw_io() override { stop(); }

  // Throws std::system_error when a thread cannot be started; then nothing runs.
  void start() {
    reader_ = std::thread([this] { read_loop(); });
    try {
      std::promise<void> finished;
      writer_finished_ = finished.get_future();
      writer_ = std::thread([n = node_, finished = std::move(finished)]() mutable {
        write_loop(*n);
        n.reset();  // the node closes here when the I/O object has gone before
        finished.set_value();
      });
    } catch (...) {
      stop();
      throw;
    }
  }

  bool queue(const wire_report& report) override { return node_->writes.push(report); }

 private:
  // Returns within the writer's grace, whatever the writer is doing.
  void stop() {
    const std::uint64_t one = 1;
    while (::write(node_->stop_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    node_->writes.close();
    if (reader_.joinable()) reader_.join();
    if (!writer_.joinable()) return;
    if (writer_finished_.wait_for(writer_grace) == std::future_status::ready)
      writer_.join();
    else
      writer_.detach();  // held in a write to a head that is going away; it ends by itself
  }

  void read_loop() {
    block_asynchronous_signals();
    std::array<std::uint8_t, read_buffer_size> buffer{};
    std::array<pollfd, 2> watched{pollfd{node_->fd, POLLIN, 0}, pollfd{node_->stop_fd, POLLIN, 0}};
    for (;;) {
      if (::poll(watched.data(), watched.size(), -1) < 0) {
        if (errno == EINTR) continue;
        break;  // cannot wait any more: treat as a lost device rather than spin
      }
      if (watched[1].revents != 0) return;  // stopped: the transport closes, no loss to report
      const short ready = watched[0].revents;
      if (ready & POLLIN) {
        // One report per read on hidraw.
        const ssize_t n = ::read(node_->fd, buffer.data(), buffer.size());
        if (n > 0) {
          events_.on_report(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
          continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        break;  // 0 bytes, ENODEV, EIO and the like: the head is gone, and stays gone
      }
      if (ready & (POLLHUP | POLLERR | POLLNVAL)) break;
    }
    node_->writes.close();  // a write to a gone head is refused, not reported as queued
    events_.on_lost();
  }

  // A write in progress gets this long to end before the I/O object goes without it.
  static constexpr std::chrono::milliseconds writer_grace{50};

  const std::shared_ptr<node> node_;
  const io_events events_;
  std::thread reader_;
  std::thread writer_;
  std::future<void> writer_finished_;
};

}  // namespace

open_result open_hidraw_io(const std::string& path, io_events events) {
  open_result result;
  // Non-blocking, so that a write the node will not take now waits in poll, where the stop
  // reaches it.
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
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
