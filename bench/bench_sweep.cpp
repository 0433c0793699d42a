// One sweep cycle at the start values against the simulated head answering at once, with
// both logs writing into a temporary folder.
#include <benchmark/benchmark.h>

#include <QDir>
#include <exception>

#include "device/simulated_head.h"
#include "support/rig.h"
#include "ui/startup.h"

namespace {

using namespace brevane;

void BM_sweep_cycle_both_logs(benchmark::State& state) {
  testing::basic_rig<device::simulated_head> r(3000);
  if (!r.start()) {
    state.SkipWithError("the simulated head did not come up");
    return;
  }
  r.window.checks[check_box::repeat] = false;
  r.window.set_log_data(true);
  r.window.set_log_images(true);
  const QString folder = r.folder.path();

  long points = 0;
  long lines = 0;
  long files = 0;
  for (auto _ : state) {
    // Every cycle starts as the first of a run: start values, an empty data folder.
    state.PauseTiming();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    load_step(r->state, r.window);
    const long lines_before = r->datalog.lines_written();
    const long files_before = r->imagelog.files_written();
    state.ResumeTiming();

    sweep_procedure::outcome outcome = sweep_procedure::outcome::stopped;
    try {
      outcome = r->sweep.sweep();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
    if (outcome != sweep_procedure::outcome::completed) {
      state.SkipWithError("the sweep stopped");
      break;
    }
    points = r->sweep.points_swept();
    lines = r->datalog.lines_written() - lines_before;
    files = r->imagelog.files_written() - files_before;
  }
  // What one cycle did, so a cycle that silently skipped its logs cannot pass as fast.
  state.counters["points"] = static_cast<double>(points);
  state.counters["log_lines"] = static_cast<double>(lines);
  state.counters["image_files"] = static_cast<double>(files);
}

BENCHMARK(BM_sweep_cycle_both_logs)->Unit(benchmark::kMillisecond);

}  // namespace
