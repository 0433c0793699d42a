#pragma once
// A remote client for the benchmarks: a blocking plain socket on loopback, so nothing of Qt
// runs in the thread that uses it, as with a script on the same machine.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtGlobal>
#include <string>

namespace brevane::bench {

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
