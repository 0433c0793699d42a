// The Maps window's costs: one repaint of a full 256 x 61 raster at the export size, and sweep
// cycles at the start values on the simulated head at latency 0 with the window closed
// (gathering the readings) and open (gathering and repainting).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <chrono>
#include <exception>

#include "device/simulated_head.h"
#include "display/maps_render.h"
#include "support/rig.h"
#include "ui/maps_window.h"
#include "ui/startup.h"

namespace {

using namespace brevane;

void BM_maps_repaint_256x61(benchmark::State& state) {
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
  for (auto _ : state) {
    QImage picture = render_maps(data, std::nullopt, QSize(1200, 600), maps_style{});
    benchmark::DoNotOptimize(picture.constBits());
  }
  state.counters["cells"] = static_cast<double>(data.cells(std::nullopt).size());
}
BENCHMARK(BM_maps_repaint_256x61)->Unit(benchmark::kMillisecond);

// Sweep cycles in blocks, the Maps window closed (gathering) for one block and open
// (gathering and repainting at most 30 times a second) for the next. Alternating blocks in
// one run keep the load of a shared machine from favouring either.
void BM_maps_sweep_open_vs_closed(benchmark::State& state) {
  QStandardPaths::setTestModeEnabled(true);  // the window's place is not the operator's
  testing::basic_rig<device::simulated_head> r(3000);
  if (!r.start()) {
    state.SkipWithError("the simulated head did not come up");
    return;
  }
  r.window.checks[check_box::repeat] = false;
  maps_window maps(r->readings);
  constexpr int cycles_per_block = 25;  // about 100 ms: a few repaints when open
  using clock = std::chrono::steady_clock;
  std::chrono::duration<double, std::micro> spent[2]{};
  long cycles[2]{};
  long points = 0;
  long repaints = 0;
  for (auto _ : state) {
    for (int open = 0; open < 2; ++open) {
      state.PauseTiming();
      if (open) {
        maps.open();
        QCoreApplication::processEvents();
      } else {
        maps.close();
      }
      state.ResumeTiming();
      for (int c = 0; c < cycles_per_block; ++c) {
        load_step(r->state, r.window);
        const qint64 before = maps.picture().cacheKey();
        const auto start = clock::now();
        try {
          if (r->sweep.sweep() != sweep_procedure::outcome::completed) {
            state.SkipWithError("the sweep stopped");
            return;
          }
        } catch (const std::exception& e) {
          state.SkipWithError(e.what());
          return;
        }
        spent[open] += clock::now() - start;
        ++cycles[open];
        points = r->sweep.points_swept();
        if (open && maps.picture().cacheKey() != before) ++repaints;
      }
    }
  }
  if (cycles[0] == 0 || cycles[1] == 0 || points == 0) return;
  const double closed_us = spent[0].count() / static_cast<double>(cycles[0]);
  const double open_us = spent[1].count() / static_cast<double>(cycles[1]);
  state.counters["closed_ms_per_cycle"] = closed_us / 1000.0;
  state.counters["open_ms_per_cycle"] = open_us / 1000.0;
  state.counters["open_extra_us_per_reading"] = (open_us - closed_us) / static_cast<double>(points);
  state.counters["open_over_closed_pct"] = 100.0 * (open_us / closed_us - 1.0);
  state.counters["points"] = static_cast<double>(points);
  // An open window that never repainted would pass as free.
  state.counters["repaints"] = static_cast<double>(repaints);
}
BENCHMARK(BM_maps_sweep_open_vs_closed)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
