// The field's formats: the NeXus export of a 100,000-reading record against reading that
// record, in one run, and the TIFF export of one cycle of a 256 x 61 raster.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <chrono>

#include "bench_records.h"
#include "export/nexus_export.h"
#include "export/tiff_export.h"
#include "logging/scan_record_reader.h"

namespace {

using namespace brevane;
using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// The whole export job as the program runs it, reading the record as it writes, against one
// reading of the record in the same run, so an allocator's mood cannot favour one side.
void BM_nexus_export_100k(benchmark::State& state) {
  constexpr long readings = 100000;
  bench::record_parts p;
  p.raster = {100, 255, 141, 201, 1, 1};  // every reading a cell
  p.write(readings);
  const QString target = p.folder.filePath(QStringLiteral("export.nxs"));
  double read_ms = 0, write_ms = 0;
  for (auto _ : state) {
    std::string refusal;
    auto start = clock_type::now();
    const auto record = read_scan_record(p.writer.path(), &refusal);
    read_ms += ms_since(start);
    start = clock_type::now();
    const std::string why = record ? export_nexus(record_file(p.writer.path()), p.writer.path(),
                                                  target, "1.00", nullptr)
                                   : refusal;
    write_ms += ms_since(start);
    if (!why.empty() || record->readings.size() != static_cast<std::size_t>(readings)) {
      state.SkipWithError(why.empty() ? "the record did not read back whole" : why.c_str());
      return;
    }
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["read_ms"] = read_ms / n;
  state.counters["export_ms"] = write_ms / n;
  state.counters["export_over_read"] = write_ms / read_ms;
  state.counters["file_bytes"] = static_cast<double>(QFileInfo(target).size());
}

// One cycle, both passes, of X 0..255 by Z 0..60 at step 1, exported from a record in memory.
void BM_tiff_export_256x61(benchmark::State& state) {
  scan_record record;
  record.header.raster = {0, 255, 0, 60, 1, 1};
  record.header.start = QDateTime::currentDateTime();
  for (pass_direction pass : {pass_direction::upward, pass_direction::downward})
    for (int z = 0; z <= 60; ++z)
      for (int x = 0; x <= 255; ++x) {
        reading_event e;
        e.cycle = 1;
        e.pass = pass;
        e.x = x;
        e.z = z;
        e.temperature_f = 70.0 + (x ^ z) % 31;
        e.distance_in = 100.0 + (x + z) % 17;
        record.readings.push_back({e, 0});
      }
  QTemporaryDir folder;
  const QString target = folder.filePath(QStringLiteral("cycle.tif"));
  for (auto _ : state) {
    const std::string why =
        export_tiff(record, QStringLiteral("bench.jsonl"), std::nullopt, target, "1.00");
    if (!why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
  }
  state.counters["file_bytes"] = static_cast<double>(QFileInfo(target).size());
}

BENCHMARK(BM_nexus_export_100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_tiff_export_256x61)->Unit(benchmark::kMillisecond);

}  // namespace
