// The remote interface on loopback: *IDN? sent by a client in a thread of its own to the
// server on this thread's event loop, as a script on the same machine would. The client times
// each round trip from its send to the answer's line end.
#include <benchmark/benchmark.h>

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

#include "loopback_client.h"
#include "remote/scpi_server.h"
#include "support/fake_instrument.h"

namespace {

using namespace brevane;

void BM_remote_idn_round_trip(benchmark::State& state) {
  const bench::wake_latency_hold awake;
  state.counters["wake_latency_held"] = awake.held() ? 1 : 0;
  testing::fake_instrument fake;
  remote::scpi_server server(fake);
  if (!server.listen(QHostAddress::LocalHost, 0).isEmpty()) {
    state.SkipWithError("the server could not listen");
    return;
  }
  bench::loopback_client client(server.port());
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
