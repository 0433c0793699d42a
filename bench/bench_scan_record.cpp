// The scan record: appending one reading, and opening a record of 100,000 readings and
// taking out its last cycle.
#include <benchmark/benchmark.h>

#include "bench_records.h"
#include "bench_support.h"
#include "logging/scan_record_reader.h"

namespace {

using namespace brevane;

using bench::record_parts;

reading_event point_reading(long n, const QDateTime& when) {
  return record_parts::point_reading(n, when);
}

void BM_scan_record_append(benchmark::State& state) {
  record_parts p;
  p.writer.sweep_started(p.raster, p.start);
  bench::iteration_times times;
  long n = 1;
  for (auto _ : state) {
    const reading_event e = point_reading(n++, p.start);
    times.start();
    p.writer.reading_taken(e);
    times.stop();
  }
  if (p.writer.readings_written() != static_cast<long>(state.iterations()))
    state.SkipWithError("readings were not written");
  p.writer.sweep_ended(sweep_end::completed, "", p.start, false);
  times.report(state);
}

void BM_scan_record_open_100k(benchmark::State& state) {
  constexpr long readings = 100000;
  record_parts p;
  p.write(readings);
  std::size_t last_cycle = 0;
  for (auto _ : state) {
    std::string refusal;
    const auto record = read_scan_record(p.writer.path(), &refusal);
    if (!record || record->readings.size() != static_cast<std::size_t>(readings)) {
      state.SkipWithError("the record did not read back whole");
      break;
    }
    last_cycle = cycle_readings(*record).size();
    benchmark::DoNotOptimize(last_cycle);
  }
  state.counters["last_cycle_readings"] = static_cast<double>(last_cycle);
}

BENCHMARK(BM_scan_record_append)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_scan_record_open_100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
