#pragma once
// Helpers shared by the benchmarks: a simulated head with a fixed answer delay, and
// per-iteration timing for medians.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "device/simulated_head.h"

namespace brevane::bench {

// The simulated head with every answer delayed by latency_ms; default-constructible so the
// tests' rig can own it.
template <int latency_ms>
class latency_head : public device::simulated_head {
 public:
  latency_head() : simulated_head(options()) {}

 private:
  static device::simulated_head_options options() {
    device::simulated_head_options o;
    o.latency_ms = latency_ms;
    return o;
  }
};

// Wall time of each iteration, so the reported median is not moved by one slow disk flush
// or page fault the way the mean is.
class iteration_times {
 public:
  void start() { begin_ = clock::now(); }
  void stop() {
    samples_.push_back(std::chrono::duration<double, std::micro>(clock::now() - begin_).count());
  }
  double median_us() {
    if (samples_.empty()) return 0.0;
    const auto middle = samples_.begin() + static_cast<std::ptrdiff_t>(samples_.size() / 2);
    std::nth_element(samples_.begin(), middle, samples_.end());
    return *middle;
  }
  void report(benchmark::State& state) { state.counters["median_us"] = median_us(); }

 private:
  using clock = std::chrono::steady_clock;
  clock::time_point begin_;
  std::vector<double> samples_;
};

}  // namespace brevane::bench
