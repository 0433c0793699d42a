#pragma once
// A remote client for the benchmarks: a blocking plain socket on loopback, so nothing of Qt
// runs in the thread that uses it, as with a script on the same machine.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtGlobal>
#include <string>

namespace brevane::bench {

// Keeps the processors out of their deep idle states while it lives, as latency benchmarks do
// (through the kernel's PM QoS request, root only). A round trip wakes a sleeping thread twice;
// on a virtual machine's idle cores each wake costs some 30 µs, which is the machine's, not the
// program's. held() says whether the request was taken; the figures are then comparable
// between machines.
class wake_latency_hold {
 public:
  wake_latency_hold() : fd_(::open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC)) {
    const qint32 none = 0;
    if (fd_ >= 0 && ::write(fd_, &none, sizeof none) != sizeof none) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~wake_latency_hold() {
    if (fd_ >= 0) ::close(fd_);
  }
  wake_latency_hold(const wake_latency_hold&) = delete;
  wake_latency_hold& operator=(const wake_latency_hold&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

class loopback_client {
 public:
  explicit loopback_client(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~loopback_client() { ::close(fd_); }
  loopback_client(const loopback_client&) = delete;
  loopback_client& operator=(const loopback_client&) = delete;
  bool connected() const { return connected_; }

  // Sends a line and reads until its answer's line end; the answer, or empty on failure.
  std::string ask(const std::string& line) {
    if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
      return {};
    std::string answer;
    char buffer[256];
    while (answer.empty() || answer.back() != '\n') {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return {};
      answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
  }

 private:
  int fd_;
  bool connected_ = false;
};

}  // namespace brevane::bench
