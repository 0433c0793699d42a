// Painting both maps and clearing both grids, as done at the end of every vertical pass.
#include <benchmark/benchmark.h>

#include <QColor>
#include <random>

#include "display/map_painter.h"
#include "model/main_window_state.h"

namespace {

void fill_random(brevane::map_grid& grid, std::mt19937& rng) {
  std::uniform_int_distribution<int> value(-20, 300);
  for (int i = 0; i < brevane::map_grid::size; ++i)
    for (int j = 0; j < brevane::map_grid::size; ++j)
      grid.at(i, j) = static_cast<std::int16_t>(value(rng));
}

// Both maps painted, and with reset the two 501 x 501 grids cleared too, as rawdraw does;
// without it the painting alone, to tell the two costs apart.
void paint_both_maps(benchmark::State& state, bool reset) {
  const int step = static_cast<int>(state.range(0));
  const QColor background(192, 192, 192);
  brevane::canvas thermal_picture(149, 69, background);
  brevane::canvas sonic_picture(149, 69, background);
  brevane::map_grid thermal_map;
  brevane::map_grid sonic_map;
  std::mt19937 rng(7);
  fill_random(thermal_map, rng);
  fill_random(sonic_map, rng);

  for (auto _ : state) {
    brevane::paint_map(thermal_picture, thermal_map, step);
    brevane::paint_map(sonic_picture, sonic_map, step);
    if (reset) {
      thermal_map.clear();
      sonic_map.clear();
    }
    benchmark::DoNotOptimize(thermal_picture.image().constBits());
    benchmark::DoNotOptimize(sonic_picture.image().constBits());
    benchmark::ClobberMemory();
  }
}

void BM_paint_both_maps_and_reset(benchmark::State& state) {
  paint_both_maps(state, true);
}
void BM_paint_both_maps(benchmark::State& state) {
  paint_both_maps(state, false);
}

BENCHMARK(BM_paint_both_maps_and_reset)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_paint_both_maps)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace
