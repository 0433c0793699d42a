// The whole rawdraw (both maps painted, both grids emptied, the image log step) with
// "Log Images" off, at each step size.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <random>

#include "display/image_maps.h"
#include "logging/image_log.h"
#include "model/main_window_state.h"
#include "support/memory_panel.h"
#include "support/rig.h"

namespace {

using namespace brevane;

void fill_random(map_grid& grid, std::mt19937& rng) {
  std::uniform_int_distribution<int> value(-20, 300);
  for (int i = 0; i < map_grid::size; ++i)
    for (int j = 0; j < map_grid::size; ++j) grid.at(i, j) = static_cast<std::int16_t>(value(rng));
}

void BM_rawdraw_image_log_off(benchmark::State& state) {
  QTemporaryDir folder;
  main_window_state s;
  apply_startup_values(s);
  s.step_d = static_cast<std::int16_t>(state.range(0));
  testing::memory_panel window;
  window.set_log_images(false);
  testing::pinned_clock time_source;
  image_log log(s, window, time_source, folder.path(), QLocale(QLocale::English));
  image_maps maps(s, window, log);
  std::mt19937 rng(7);
  fill_random(s.thermal_map, rng);
  fill_random(s.sonic_map, rng);

  for (auto _ : state) {
    maps.rawdraw();
    benchmark::DoNotOptimize(window.pictures(picture::thermal_map).image().constBits());
    benchmark::DoNotOptimize(window.pictures(picture::sonic_map).image().constBits());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_rawdraw_image_log_off)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
