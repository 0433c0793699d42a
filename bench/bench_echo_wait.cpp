// The echo wait: processor use while the head takes its time, the same for a wait that spins
// on the event pump as the first design did, and the cost of one exchange when the head
// answers at once.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <ctime>
#include <exception>

#include "bench_support.h"
#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "support/rig.h"

namespace {

using namespace brevane;
using bench::latency_head;

constexpr int slow_latency_ms = 1000;
constexpr int slow_echo_timeout_ms = 3000;

// The first design's wait, kept here only to be measured against: it pumps events in a loop
// until the echo byte changes, so it runs a core flat out for as long as the head takes.
// The deadline is only there so a lost answer cannot hang the benchmark.
bool spinning_xpos(device::command_exchange& exchange, int pos) {
  auto& input = exchange.input();
  input[device::echo_byte] = 0;
  exchange.send(device::cmd_x, {pos});
  const QDeadlineTimer give_up(slow_echo_timeout_ms);
  while (input[device::echo_byte] != device::cmd_x) {
    QCoreApplication::processEvents();
    if (give_up.hasExpired()) return false;
  }
  return true;
}

// Runs one X move per iteration against a head that answers after a second, and reports the
// process's processor time over the wall time of the waits as a percentage of one core.
template <typename Move>
void measure_wait_cpu(benchmark::State& state, Move move) {
  testing::basic_rig<latency_head<slow_latency_ms>> r(slow_echo_timeout_ms);
  if (!r.start()) {
    state.SkipWithError("the simulated head did not come up");
    return;
  }
  double cpu_s = 0.0;
  double wall_s = 0.0;
  int x = 100;
  for (auto _ : state) {
    const auto wall_begin = std::chrono::steady_clock::now();
    const std::clock_t cpu_begin = std::clock();
    bool answered = false;
    try {
      answered = move(*r, x);
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
    cpu_s += static_cast<double>(std::clock() - cpu_begin) / CLOCKS_PER_SEC;
    wall_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_begin).count();
    if (!answered) {
      state.SkipWithError("no echo");
      break;
    }
    x = x == 100 ? 101 : 100;
  }
  if (wall_s > 0) state.counters["cpu_percent"] = 100.0 * cpu_s / wall_s;
  state.counters["wait_ms"] = 1000.0 * wall_s / static_cast<double>(state.iterations());
}

void BM_echo_wait_cpu(benchmark::State& state) {
  measure_wait_cpu(state, [](instrument& inst, int x) {
    inst.exchange.xpos(x);
    return true;
  });
}

void BM_echo_wait_spinning_cpu(benchmark::State& state) {
  measure_wait_cpu(state, [](instrument& inst, int x) { return spinning_xpos(inst.exchange, x); });
}

// One X move and its echo, head answering at once: the program's own cost per exchange,
// the in-process head's share included.
void BM_echo_exchange_latency0(benchmark::State& state) {
  testing::basic_rig<device::simulated_head> r(slow_echo_timeout_ms);
  if (!r.start()) {
    state.SkipWithError("the simulated head did not come up");
    return;
  }
  bench::iteration_times times;
  int x = 100;
  for (auto _ : state) {
    times.start();
    try {
      r->exchange.xpos(x);
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
    times.stop();
    x = x == 100 ? 101 : 100;
  }
  times.report(state);
}

// One iteration per repetition: each is a whole second of waiting.
BENCHMARK(BM_echo_wait_cpu)
    ->Iterations(1)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_echo_wait_spinning_cpu)
    ->Iterations(1)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_echo_exchange_latency0)->Unit(benchmark::kMicrosecond);

}  // namespace
