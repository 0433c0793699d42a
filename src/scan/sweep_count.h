#pragma once
// What a sweep does, counted before it runs: the rows and X columns of a cycle and the reports
// each of its steps writes. The dry run prints these, and the running sweep counts what is
// left with them to tell the time left.

#include <string>
#include <vector>

#include "model/reading_stream.h"

namespace brevane {

// Number of values from `from` to `to` (inclusive) in steps of `step`.
int raster_count(int from, int to, int step);

// The Off boxes, which decide which reports a step writes.
struct sweep_boxes {
  bool sonic_off = false;
  bool temp_off = false;
  bool x_off = false;
  bool z_off = false;
};

// Output reports by command letter.
struct exchange_tally {
  long x = 0;
  long z = 0;
  long t = 0;
  long s = 0;
  long l = 0;
  // The reports the sweep waits for an echo of; the L reports get none. These take the time.
  long answered() const { return x + z + t + s; }
  long written() const { return answered() + l; }
  exchange_tally& operator+=(const exchange_tally& o);
  friend exchange_tally operator*(long n, const exchange_tally& e);
  friend bool operator==(const exchange_tally&, const exchange_tally&) = default;
};

// The ten T of the thermal baseline, taken once per sweep whatever the boxes say.
exchange_tally baseline_exchanges();
// Z, L4, then S L5 and T L6 unless their boxes are ticked.
exchange_tally row_start_exchanges(const sweep_boxes& boxes);
// X, then T L6 and S L5 unless their boxes are ticked.
exchange_tally point_exchanges(const sweep_boxes& boxes);

// The positions of one cycle. Both X directions start from their own limit, so they visit
// different columns when the span is not a multiple of the step.
struct sweep_raster {
  std::vector<int> rising_x;    // xmin, xmin + step, ... <= xmax
  std::vector<int> falling_x;   // xmax, xmax - step, ... >= xmin
  std::vector<int> upward_z;    // zmin, zmin + step, ... <= zmax
  std::vector<int> downward_z;  // zmax, zmax - step, ... >= zmin
  int rows_per_pass() const { return static_cast<int>(upward_z.size()); }
  int points_per_run() const { return static_cast<int>(rising_x.size()); }
  int row_starts() const { return 2 * rows_per_pass(); }
  int points() const { return row_starts() * points_per_run(); }
};

sweep_raster raster_of(int xmin, int xmax, int zmin, int zmax, int step);

// Every report of one cycle: its row starts and points, and the L0 that ends it.
exchange_tally cycle_exchanges(int rows_per_pass, int points_per_run, const sweep_boxes& boxes);
inline exchange_tally cycle_exchanges(const sweep_raster& r, const sweep_boxes& boxes) {
  return cycle_exchanges(r.rows_per_pass(), r.points_per_run(), boxes);
}

// Where a sweep stands after the step it last completed.
struct sweep_place {
  int cycle = 0;  // 0 while the baseline is taken
  pass_direction pass = pass_direction::none;
  int baseline_readings = 0;  // of the ten
  int row = 0;                // of rows, taken when the pass began
  int rows = 0;
  int point = 0;  // of points_in_run, taken when the run began; 0 right after a row start
  int points_in_run = 0;
};

// Answered exchanges still to come in the cycle in progress (with the baseline's rest while it
// is taken): the rest of the run, the rows left in the pass, and the downward pass after the
// upward one. Runs and passes not yet begun take the limits as they stand now, as the sweep
// will when it begins them.
long exchanges_left_in_cycle(const sweep_place& at, int rows_now, int points_now,
                             const sweep_boxes& boxes);

// "4.2 s", "37 s", "1 min 12 s", "2 h 5 min".
std::string duration_text(double seconds);
// A number with this many decimals, '.' whatever the locale: "37.5".
std::string decimals(double value, int digits);

// The dry run's account of a sweep of `cycles` cycles: the raster, the points, readings and
// reports per cycle, and the time at seconds_per_exchange for each answered exchange.
std::string describe_sweep(const sweep_raster& raster, const sweep_boxes& boxes, int cycles,
                           bool stop_ticked, double seconds_per_exchange);

}  // namespace brevane
