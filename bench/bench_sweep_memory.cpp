// A long sweep's memory: one sweep of 4,500 cycles at the start values on the simulated head
// at latency 0, with its record written and the Maps window gathering its readings, as the
// program runs on Repeat. The heap in use (and the resident size) is taken at the end of
// cycle 450 and of cycle 4,500; a week of Repeat is tens of thousands of cycles, so whatever
// grows per cycle shows here.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <exception>
#include <optional>

#include "device/simulated_head.h"
#include "logging/scan_record.h"
#include "support/rig.h"
#include "ui/maps_window.h"
#include "ui/startup.h"

namespace {

using namespace brevane;

// Allocated and in use, the large blocks malloc maps on their own included.
double heap_mb() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

double resident_mb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
  return 0;
}

// Takes the figures when the sweep reaches the cycle after each one asked for. The tests'
// in-memory window keeps every caption and status it was given, for the tests to read; the
// program's window keeps one, so they are let go at each cycle.
class memory_at_cycles final : public reading_observer {
 public:
  explicit memory_at_cycles(testing::memory_panel& window) : window_(window) {}

  void reading_taken(const reading_event& reading) override {
    if (reading.cycle == cycles) return;
    cycles = reading.cycle;
    window_.captions = {};
    window_.statuses = {};
    if (cycles == 451) take(heap_450, resident_450);
  }
  void sweep_ended(sweep_end, const std::string&, const QDateTime&, bool) override {
    window_.captions = {};
    window_.statuses = {};
    take(heap_end, resident_end);
  }

  std::optional<double> heap_450, heap_end, resident_450, resident_end;
  int cycles = 0;

 private:
  testing::memory_panel& window_;

  static void take(std::optional<double>& heap, std::optional<double>& resident) {
    malloc_trim(0);
    heap = heap_mb();
    resident = resident_mb();
  }
};

void BM_sweep_memory_4500_cycles(benchmark::State& state) {
  QStandardPaths::setTestModeEnabled(true);  // the window's place is not the operator's
  testing::basic_rig<device::simulated_head> r(3000);
  if (!r.start()) {
    state.SkipWithError("the simulated head did not come up");
    return;
  }
  scan_record_writer record(r.window, r.folder.path(), head_description{"simulated", "", {}, {}},
                            3000, "bench", {});
  maps_window maps(r->readings);
  maps.set_live_record([&record] { return record.path(); });
  memory_at_cycles figures(r.window);
  r->readings.add(record);
  r->readings.add(figures);
  for (auto _ : state) {
    load_step(r->state, r.window);
    r.window.checks[check_box::repeat] = false;
    try {
      if (r->sweep.sweep(4500) != sweep_procedure::outcome::completed) {
        state.SkipWithError("the sweep stopped");
        break;
      }
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
  r->readings.remove(figures);
  r->readings.remove(record);
  if (!figures.heap_450 || !figures.heap_end) {
    state.SkipWithError("the sweep did not reach its 4,500th cycle");
    return;
  }
  state.counters["cycles"] = figures.cycles;
  state.counters["heap_mb_450"] = *figures.heap_450;
  state.counters["heap_mb_4500"] = *figures.heap_end;
  state.counters["growth_mb"] = *figures.heap_end - *figures.heap_450;
  state.counters["resident_mb_450"] = *figures.resident_450;
  state.counters["resident_mb_4500"] = *figures.resident_end;
  // What the Maps window reads back must be there: the first cycle, from the record. The
  // first time a late cycle is asked for, the record is read through to it.
  state.counters["cycle_1_cells"] = static_cast<double>(maps.shown().cells(1).size());
  QElapsedTimer read_back;
  read_back.start();
  const std::size_t late_cells = maps.shown().cells(4499).size();
  state.counters["cycle_4499_first_read_ms"] = static_cast<double>(read_back.nsecsElapsed()) / 1e6;
  state.counters["cycle_4499_cells"] = static_cast<double>(late_cells);
}
// One sweep of 4,500 cycles is its own repetition: about 20 seconds.
BENCHMARK(BM_sweep_memory_4500_cycles)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(1);

}  // namespace
