// The scan record: appending one reading, and opening a record of 100,000 readings and
// taking out its last cycle.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "bench_support.h"
#include "logging/scan_record.h"
#include "logging/scan_record_reader.h"
#include "support/memory_panel.h"

namespace {

using namespace brevane;

struct record_parts {
  QTemporaryDir folder;
  testing::memory_panel window;
  scan_record_writer writer{
      window, folder.path(), head_description{"simulated", "latency=0", {}, {}},
      3000,   "1.00",        [](const std::string&) {}};
  QDateTime start = QDateTime::currentDateTime();
  raster_in_use raster{100, 255, 140, 200, 1, 1};
};

reading_event point_reading(long n, const QDateTime& when) {
  reading_event e;
  e.kind = n % 157 == 0 ? reading_kind::row_start : reading_kind::point;
  e.cycle = static_cast<int>(1 + n / (157 * 61 * 2));
  e.pass = (n / (157 * 61)) % 2 == 0 ? pass_direction::upward : pass_direction::downward;
  e.row = static_cast<int>(1 + (n / 157) % 61);
  e.point = static_cast<int>(n % 157);
  e.x = 100 + e.point;
  e.z = 140 + e.row;
  e.temperature_f = 417 * 0.168 + static_cast<double>(n % 13) * 0.168;
  e.distance_in = 100.0 + static_cast<double>(n % 7) / 2.54;
  e.time = when;
  return e;
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
  p.writer.sweep_ended(sweep_end::completed, "", p.start);
  times.report(state);
}

void BM_scan_record_open_100k(benchmark::State& state) {
  constexpr long readings = 100000;
  record_parts p;
  p.writer.sweep_started(p.raster, p.start);
  for (int k = 1; k <= 10; ++k) {
    reading_event e;
    e.kind = reading_kind::baseline;
    e.point = k;
    e.temperature_f = 70.056;
    e.time = p.start;
    p.writer.reading_taken(e);
  }
  p.writer.baseline_taken(70.056);
  for (long n = 0; n < readings - 10; ++n)
    p.writer.reading_taken(point_reading(n, p.start.addMSecs(n * 9)));
  p.writer.sweep_ended(sweep_end::completed, "", p.start);
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
