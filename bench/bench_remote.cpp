// The remote interface on loopback: *IDN? sent by a client in a thread of its own to the
// server on this thread's event loop, as a script on the same machine would. The client times
// each round trip from its send to the answer's line end.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QHostAddress>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "remote/scpi_server.h"
#include "support/fake_instrument.h"

namespace {

using namespace brevane;

// A blocking client on a plain socket: nothing of Qt runs in its thread.
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

void BM_remote_idn_round_trip(benchmark::State& state) {
  testing::fake_instrument fake;
  remote::scpi_server server(fake);
  if (!server.listen(QHostAddress::LocalHost, 0).isEmpty()) {
    state.SkipWithError("the server could not listen");
    return;
  }
  loopback_client client(server.port());
  if (!client.connected()) {
    state.SkipWithError("the client could not connect");
    return;
  }

  // The client thread takes one round trip per request and hands back its time; the event
  // loop here runs the server until the answer is in.
  std::mutex mutex;
  std::condition_variable wake;
  int requested = 0;
  bool stop = false;
  double last_us = 0.0;
  bool failed = false;
  QEventLoop loop;
  std::thread thread([&] {
    for (int done = 0;; ++done) {
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return stop || requested > done; });
        if (stop) return;
      }
      const auto begin = std::chrono::steady_clock::now();
      const bool answered = client.ask("*IDN?\n").rfind("Brevane,", 0) == 0;
      const auto end = std::chrono::steady_clock::now();
      {
        std::lock_guard lock(mutex);
        last_us = std::chrono::duration<double, std::micro>(end - begin).count();
        failed = failed || !answered;
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    }
  });
  const auto round_trip = [&] {
    {
      std::lock_guard lock(mutex);
      ++requested;
    }
    wake.notify_one();
    loop.exec();
    std::lock_guard lock(mutex);
    return failed ? -1.0 : last_us;
  };

  round_trip();  // the connection is accepted on the first
  std::vector<double> samples;
  for (auto _ : state) {
    const double us = round_trip();
    if (us < 0) {
      state.SkipWithError("a query went unanswered");
      break;
    }
    samples.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  wake.notify_one();
  thread.join();

  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double share) {
    const auto i = static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1));
    return samples[i];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
}
BENCHMARK(BM_remote_idn_round_trip)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
