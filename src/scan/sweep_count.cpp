#include "scan/sweep_count.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace brevane {

namespace {

std::vector<int> values(int from, int to, int step, bool rising) {
  std::vector<int> out;
  out.reserve(static_cast<std::size_t>(raster_count(from, to, step)));
  if (rising) {
    for (int v = from; v <= to && step > 0; v += step) out.push_back(v);
  } else {
    for (int v = to; v >= from && step > 0; v -= step) out.push_back(v);
  }
  return out;
}

std::string joined(const std::vector<int>& v) {
  std::string text;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i > 0) text += ' ';
    text += std::to_string(v[i]);
  }
  return text;
}

// Z of each row with the direction of its X run: the upward pass begins rising, the downward
// pass falling, and the direction turns at every row.
std::string rows_text(const std::vector<int>& z, bool first_rising) {
  std::string text;
  bool rising = first_rising;
  for (std::size_t i = 0; i < z.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(z[i]) + (rising ? " rising" : " falling");
    rising = !rising;
  }
  return text;
}

std::string reports_text(const exchange_tally& e) {
  return std::to_string(e.x) + " X, " + std::to_string(e.z) + " Z, " + std::to_string(e.t) +
         " T, " + std::to_string(e.s) + " S, " + std::to_string(e.l) +
         " L: " + std::to_string(e.written()) + " reports, " + std::to_string(e.answered()) +
         " answered";
}

}  // namespace

int raster_count(int from, int to, int step) {
  if (step < 1 || to < from) return 0;
  return (to - from) / step + 1;
}

exchange_tally& exchange_tally::operator+=(const exchange_tally& o) {
  x += o.x;
  z += o.z;
  t += o.t;
  s += o.s;
  l += o.l;
  return *this;
}

exchange_tally operator*(long n, const exchange_tally& e) {
  return {n * e.x, n * e.z, n * e.t, n * e.s, n * e.l};
}

exchange_tally baseline_exchanges() {
  return {.t = 10};
}

exchange_tally row_start_exchanges(const sweep_boxes& boxes) {
  exchange_tally e;
  e.z = boxes.z_off ? 0 : 1;
  if (!boxes.sonic_off) e.s = 1;
  if (!boxes.temp_off) e.t = 1;
  e.l = 1 + e.s + e.t;  // L4, sent also when no Z move was, then L5 and L6
  return e;
}

exchange_tally point_exchanges(const sweep_boxes& boxes) {
  exchange_tally e;
  e.x = boxes.x_off ? 0 : 1;
  if (!boxes.temp_off) e.t = 1;
  if (!boxes.sonic_off) e.s = 1;
  e.l = e.t + e.s;  // L6 and L5 after their readings
  return e;
}

sweep_raster raster_of(int xmin, int xmax, int zmin, int zmax, int step) {
  return {values(xmin, xmax, step, true), values(xmin, xmax, step, false),
          values(zmin, zmax, step, true), values(zmin, zmax, step, false)};
}

exchange_tally cycle_exchanges(int rows_per_pass, int points_per_run, const sweep_boxes& boxes) {
  exchange_tally row = row_start_exchanges(boxes);
  row += static_cast<long>(points_per_run) * point_exchanges(boxes);
  exchange_tally cycle = 2L * rows_per_pass * row;
  cycle.l += 1;  // L0 when the cycle is done
  return cycle;
}

long exchanges_left_in_cycle(const sweep_place& at, int rows_now, int points_now,
                             const sweep_boxes& boxes) {
  const long point = point_exchanges(boxes).answered();
  const long run_now = static_cast<long>(points_now) * point;
  const long row_now = row_start_exchanges(boxes).answered() + run_now;
  if (at.pass == pass_direction::none)
    return (baseline_exchanges().answered() - at.baseline_readings) + 2L * rows_now * row_now;
  long left = at.point == 0 ? run_now : static_cast<long>(at.points_in_run - at.point) * point;
  left += static_cast<long>(at.rows - at.row) * row_now;
  if (at.pass == pass_direction::upward) left += static_cast<long>(rows_now) * row_now;
  return std::max(0L, left);
}

std::string describe_sweep(const sweep_raster& raster, const sweep_boxes& boxes, int cycles,
                           bool stop_ticked, double seconds_per_exchange) {
  const exchange_tally cycle = cycle_exchanges(raster, boxes);
  exchange_tally all = baseline_exchanges();
  all += static_cast<long>(cycles) * cycle;
  std::string text;
  text += "Raster of each cycle:\n";
  text += "  rising X runs (" + std::to_string(raster.rising_x.size()) +
          " points): " + joined(raster.rising_x) + "\n";
  text += "  falling X runs (" + std::to_string(raster.falling_x.size()) +
          " points): " + joined(raster.falling_x) + "\n";
  text += "  upward pass (" + std::to_string(raster.upward_z.size()) + " rows): Z " +
          rows_text(raster.upward_z, true) + "\n";
  text += "  downward pass (" + std::to_string(raster.downward_z.size()) + " rows): Z " +
          rows_text(raster.downward_z, false) + "\n";
  text += "Per cycle: " + std::to_string(raster.points()) + " points and " +
          std::to_string(raster.row_starts()) +
          " row starts; readings: " + std::to_string(cycle.t) + " thermal, " +
          std::to_string(cycle.s) + " distance; output reports: " + reports_text(cycle) + "\n";
  text += "Baseline, once per sweep: " + reports_text(baseline_exchanges()) + "\n";
  text += "Whole sweep, " + std::to_string(cycles) + " cycle(s): " + reports_text(all) + "\n";
  const std::string ms = QString::number(seconds_per_exchange * 1000.0).toStdString();
  text += "Time at " + ms + " ms per answered exchange: " +
          duration_text(seconds_per_exchange * static_cast<double>(cycle.answered())) +
          " per cycle, " +
          duration_text(seconds_per_exchange * static_cast<double>(all.answered())) + " in all\n";
  if (stop_ticked)
    text +=
        "Stop is ticked: the sweep would end after the baseline and its first row start, as it "
        "does in the window\n";
  return text;
}

std::string decimals(double value, int digits) {
  return QString::number(value, 'f', digits).toStdString();
}

std::string duration_text(double seconds) {
  if (!(seconds >= 0)) return "?";
  if (seconds < 10) return decimals(seconds, 1) + " s";
  const long s = std::lround(seconds);
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
  return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

}  // namespace brevane
