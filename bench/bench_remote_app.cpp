// The remote interface over the program's own instrument, on the simulated head at latency 0:
// a MEASure:TEMPerature? round trip from a client on loopback against the same reading taken
// in-process, and sweep cycles with a client polling SWEep:STATe? 100 times a second against
// cycles without it. Each pair alternates in one run, so the load of a shared machine favours
// neither side.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/app_instrument.h"
#include "app/instrument.h"
#include "app/wiring.h"
#include "common/clock.h"
#include "device/simulated_head.h"
#include "logging/scan_record.h"
#include "loopback_client.h"
#include "remote/scpi_server.h"
#include "ui/main_window.h"
#include "ui/startup.h"

namespace {

using namespace brevane;
using steady = std::chrono::steady_clock;

// The program's objects as main() wires them, with the server listening on loopback.
struct program {
  program()
      : inst(head, window, wall_clock, folder.path(), 3000),
        record(window, folder.path(), head_description{"simulated", "latency=0", {}, {}}, 3000,
               "1.00", {}) {
    inst.readings.add(record);
    load_step(inst.state, window);
    window.set_checked(check_box::repeat, false);
    wire_window(window, inst, record, folder.filePath("list.txt"));
    remote.emplace(window, inst, record, remote::identity{"Simulated", "SIM", "1.00"}, 3000);
    server.emplace(*remote);
    listening = server->listen(QHostAddress::LocalHost, 0).isEmpty();
    inst.device.connect_link();
    QEventLoop loop;
    const steady::time_point until = steady::now() + std::chrono::seconds(5);
    while (window.caption() != "Up and Running" && steady::now() < until)
      loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    up = listening && window.caption() == "Up and Running";
  }
  ~program() { inst.readings.remove(record); }

  QTemporaryDir folder;
  device::simulated_head head;
  main_window window;
  system_clock wall_clock;
  instrument inst;
  scan_record_writer record;
  std::optional<app_instrument> remote;
  std::optional<remote::scpi_server> server;
  bool listening = false;
  bool up = false;
};

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// A client in a thread of its own that asks one line when told and says when it has the
// answer; the event loop here serves it meanwhile.
class asking_client {
 public:
  explicit asking_client(quint16 port) : client_(port), thread_([this] { run(); }) {}
  ~asking_client() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  bool connected() const { return client_.connected(); }

  // The round trip's microseconds, from the send to the answer's line end; -1 when the answer
  // did not start with expected.
  double ask(QEventLoop& loop, const std::string& line, const std::string& expected) {
    {
      std::lock_guard lock(mutex_);
      line_ = line;
      expected_ = expected;
      loop_ = &loop;
      ++requested_;
    }
    wake_.notify_one();
    loop.exec();
    std::lock_guard lock(mutex_);
    return last_us_;
  }

 private:
  void run() {
    for (int done = 0;; ++done) {
      std::string line, expected;
      QEventLoop* loop = nullptr;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || requested_ > done; });
        if (stop_) return;
        line = line_;
        expected = expected_;
        loop = loop_;
      }
      const auto begin = steady::now();
      const bool answered = client_.ask(line + "\n").rfind(expected, 0) == 0;
      const double us = std::chrono::duration<double, std::micro>(steady::now() - begin).count();
      {
        std::lock_guard lock(mutex_);
        last_us_ = answered ? us : -1.0;
      }
      QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
    }
  }

  bench::loopback_client client_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string line_, expected_;
  QEventLoop* loop_ = nullptr;
  int requested_ = 0;
  bool stop_ = false;
  double last_us_ = 0.0;
  std::thread thread_;
};

void BM_remote_measure_temperature(benchmark::State& state) {
  const bench::wake_latency_hold awake;
  state.counters["wake_latency_held"] = awake.held() ? 1 : 0;
  program p;
  if (!p.up) {
    state.SkipWithError("the program did not come up");
    return;
  }
  asking_client client(p.server->port());
  QEventLoop loop;
  if (!client.connected() || client.ask(loop, "*IDN?", "Brevane,") < 0) {
    state.SkipWithError("the client could not connect");
    return;
  }
  std::vector<double> remote_us, in_process_us;
  for (auto _ : state) {
    const double us = client.ask(loop, "MEAS:TEMP?", "");
    if (us < 0 || p.inst.guard.busy()) {
      state.SkipWithError("the remote reading failed");
      return;
    }
    remote_us.push_back(us);
    state.SetIterationTime(us / 1e6);
    // The Temp button's own operation, as the remote command runs it.
    const auto begin = steady::now();
    if (!take_temperature(p.inst)) {
      state.SkipWithError("the in-process reading failed");
      return;
    }
    in_process_us.push_back(
        std::chrono::duration<double, std::micro>(steady::now() - begin).count());
  }
  const double remote = median(remote_us), in_process = median(in_process_us);
  state.counters["remote_median_us"] = remote;
  state.counters["in_process_median_us"] = in_process;
  state.counters["remote_over_in_process_us"] = remote - in_process;
}
BENCHMARK(BM_remote_measure_temperature)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Sweep cycles in blocks, a client polling the state 100 times a second through one block and
// quiet through the next; the client stays connected throughout.
void BM_remote_sweep_polled_vs_not(benchmark::State& state) {
  program p;
  if (!p.up) {
    state.SkipWithError("the program did not come up");
    return;
  }
  bench::loopback_client client(p.server->port());
  if (!client.connected()) {
    state.SkipWithError("the client could not connect");
    return;
  }
  std::atomic<bool> polling{false}, stop{false}, stopped{false};
  std::atomic<long> polls{0}, unanswered{0};
  std::thread poller([&] {
    auto next = steady::now();
    while (!stop) {
      next += std::chrono::milliseconds(10);
      std::this_thread::sleep_until(next);
      if (!polling) continue;
      // Between two cycles of a block the state is IDLE; any state is an answer.
      if (client.ask("SWE:STAT?\n").find(',') != std::string::npos)
        ++polls;
      else
        ++unanswered;
    }
    stopped = true;
  });
  constexpr int cycles_per_block = 5;
  std::chrono::duration<double, std::micro> spent[2]{};
  long cycles[2]{};
  bool failed = false;
  for (auto _ : state) {
    for (int polled = 0; polled < 2 && !failed; ++polled) {
      polling = polled == 1;
      for (int c = 0; c < cycles_per_block; ++c) {
        load_step(p.inst.state, p.window);
        const auto begin = steady::now();
        if (!run_window_sweep(p.window, p.inst, p.record)) {
          failed = true;
          break;
        }
        spent[polled] += steady::now() - begin;
        ++cycles[polled];
      }
      polling = false;
    }
  }
  // A poll still on its way is answered from the event loop.
  stop = true;
  while (!stopped) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  poller.join();
  if (failed) {
    state.SkipWithError("a sweep did not complete");
    return;
  }
  if (cycles[0] == 0 || cycles[1] == 0) return;
  const double quiet_us = spent[0].count() / static_cast<double>(cycles[0]);
  const double polled_us = spent[1].count() / static_cast<double>(cycles[1]);
  state.counters["quiet_ms_per_cycle"] = quiet_us / 1000.0;
  state.counters["polled_ms_per_cycle"] = polled_us / 1000.0;
  state.counters["polled_over_quiet_pct"] = 100.0 * (polled_us / quiet_us - 1.0);
  // Polls answered while a sweep ran, per second of polled sweeping: about 100 when the
  // client was really served.
  state.counters["polls_per_s"] = static_cast<double>(polls) / (spent[1].count() / 1e6);
  state.counters["unanswered"] = static_cast<double>(unanswered);
}
BENCHMARK(BM_remote_sweep_polled_vs_not)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
