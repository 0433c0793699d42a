// The time left a sweep tells when a quarter of a two-cycle sweep at the start values is done,
// against the time that then really remained, on the simulated head answering after
// 5 ms with a 20 % jitter. Each repetition uses another seed, so another run of delays; the
// script reads the worst of them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <optional>
#include <vector>

#include "device/simulated_head.h"
#include "support/rig.h"

namespace {

using namespace brevane;
using steady = std::chrono::steady_clock;

class jittery_head : public device::simulated_head {
 public:
  jittery_head() : simulated_head(options()) {}

 private:
  static device::simulated_head_options options() {
    static std::uint32_t seed = 1;
    device::simulated_head_options o;
    o.latency_ms = 5;
    o.jitter_percent = 20;
    o.seed = seed++;
    return o;
  }
};

double seconds_between(steady::time_point a, steady::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_time_left_at_a_quarter(benchmark::State& state) {
  double error_pct = 100.0, announced_s = 0, remained_s = 0, percent_at = 0;
  for (auto _ : state) {
    testing::basic_rig<jittery_head> r(3000);
    if (!r.start()) {
      state.SkipWithError("the simulated head did not come up");
      return;
    }
    // The status as the status bar and a remote query have it, taken at the first reading
    // once a quarter of the sweep is done.
    struct quarter_watch : reading_observer {
      sweep_procedure& sweep;
      std::optional<sweep_status> at;
      steady::time_point when;
      explicit quarter_watch(sweep_procedure& s) : sweep(s) {}
      void reading_taken(const reading_event&) override {
        if (at) return;
        const sweep_status now = sweep.status();
        if (now.percent < 25.0) return;
        at = now;
        when = steady::now();
      }
    } watch(r->sweep);
    r->readings.add(watch);
    try {
      if (r->sweep.sweep(2) != sweep_procedure::outcome::completed) {
        state.SkipWithError("the sweep stopped");
        return;
      }
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    const steady::time_point end = steady::now();
    r->readings.remove(watch);
    const std::optional<sweep_status>& at_quarter = watch.at;
    if (!at_quarter || !at_quarter->seconds_left) {
      state.SkipWithError("no time left was announced after a quarter");
      return;
    }
    announced_s = *at_quarter->seconds_left;
    remained_s = seconds_between(watch.when, end);
    percent_at = at_quarter->percent;
    error_pct = 100.0 * std::abs(announced_s - remained_s) / remained_s;
  }
  state.counters["error_pct"] = error_pct;
  state.counters["announced_s"] = announced_s;
  state.counters["remained_s"] = remained_s;
  state.counters["percent_at"] = percent_at;
}

BENCHMARK(BM_time_left_at_a_quarter)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
      return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    });

}  // namespace
