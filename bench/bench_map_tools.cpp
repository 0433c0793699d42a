// Region statistics over a full 256 x 61 raster, as a drag across the Maps window asks for
// them at every cell it crosses: both maps' sums over the whole raster.
#include <benchmark/benchmark.h>

#include "display/map_tools.h"

namespace {

using namespace brevane;

void BM_region_statistics_256x61(benchmark::State& state) {
  maps_data data;
  data.set_raster({0, 255, 140, 200, 1, 1});
  reading_event e;
  e.cycle = 1;
  for (int z = 140; z <= 200; ++z)
    for (int x = 0; x <= 255; ++x) {
      e.x = x;
      e.z = z;
      e.temperature_f = 70.0 + (x * 7 + z * 3) % 25;
      e.distance_in = 40.0 + (x * 5 + z * 11) % 80;
      data.add(e);
    }
  const cell_region whole{0, 255, 140, 200};
  for (auto _ : state) {
    const region_stats t = stats_in(data, 1, map_kind::thermal, whole);
    const region_stats s = stats_in(data, 1, map_kind::sonic, whole);
    benchmark::DoNotOptimize(t.sd + s.sd);
  }
  state.counters["cells"] = static_cast<double>(data.cells(1).size());
}
BENCHMARK(BM_region_statistics_256x61)->Unit(benchmark::kMicrosecond);

}  // namespace
