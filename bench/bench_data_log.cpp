// One data log line (open, append, close), and one plot step with "Log Data" on and off.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "bench_support.h"
#include "display/scope_trace.h"
#include "logging/data_log.h"
#include "model/main_window_state.h"
#include "support/memory_panel.h"
#include "support/rig.h"

namespace {

using namespace brevane;

struct logging_parts {
  explicit logging_parts(bool log_data) {
    apply_startup_values(s);
    s.avgt = 70.0;
    window.set_log_data(log_data);
  }
  QTemporaryDir folder;
  main_window_state s;
  testing::memory_panel window;
  testing::pinned_clock time_source;
  data_log log{s, window, time_source, folder.path(), QLocale(QLocale::English)};
  scope_trace scope{s, window};
};

void BM_data_log_line(benchmark::State& state) {
  logging_parts p(true);
  bench::iteration_times times;
  int d = 0;
  for (auto _ : state) {
    times.start();
    p.log.log_step(12.5, d);
    times.stop();
    d = (d + 7) % 200;
  }
  if (p.log.lines_written() != static_cast<long>(state.iterations()))
    state.SkipWithError("lines were not written");
  times.report(state);
}

// Arg 1: "Log Data" checked.
void BM_plot_step(benchmark::State& state) {
  logging_parts p(state.range(0) != 0);
  bench::iteration_times times;
  int n = 0;
  for (auto _ : state) {
    // Readings that move, so the segments have length.
    p.s.last_temperature = static_cast<std::int16_t>(60 + n % 25);
    p.s.last_distance = static_cast<std::int16_t>(100 + n % 40);
    times.start();
    p.log.log_step(p.scope.plot_step(), p.s.last_distance);
    times.stop();
    ++n;
  }
  benchmark::DoNotOptimize(p.window.pictures(picture::scope).image().constBits());
  times.report(state);
}

BENCHMARK(BM_data_log_line)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_plot_step)->ArgName("log_data")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
