#include "display/maps_scale.h"

#include <algorithm>
#include <cmath>

namespace brevane {

std::vector<extent> tile_axis(const std::vector<int>& coordinates, double step, double limit_low,
                              double limit_high) {
  std::vector<extent> cells(coordinates.size());
  const double half = std::max(step, 1.0) / 2.0;
  for (std::size_t i = 0; i < coordinates.size(); ++i) {
    const double c = coordinates[i];
    double low = i == 0 ? c - half : (coordinates[i - 1] + c) / 2.0;
    double high = i + 1 == coordinates.size() ? c + half : (c + coordinates[i + 1]) / 2.0;
    // A lone far neighbour must not stretch a cell beyond its own step.
    low = std::max(low, c - half);
    high = std::min(high, c + half);
    cells[i] = {std::max(low, limit_low), std::min(high, limit_high)};
  }
  // Where neighbours are more than a step apart the cells stop short of each other: that is
  // a column nobody visited, and it stays unpainted rather than show a reading it lacks.
  return cells;
}

int step_between(const std::vector<int>& coordinates) {
  int step = 0;
  for (std::size_t i = 1; i < coordinates.size(); ++i) {
    const int d = coordinates[i] - coordinates[i - 1];
    if (d > 0 && (step == 0 || d < step)) step = d;
  }
  return step == 0 ? 1 : step;
}

value_range choose_range(const range_choice& choice, std::optional<value_range> shown) {
  value_range r =
      choice.automatic ? shown.value_or(value_range{0, 1}) : value_range{choice.low, choice.high};
  if (r.low > r.high) std::swap(r.low, r.high);
  if (!(r.high - r.low > 1e-9)) r = {r.low - 0.5, r.low + 0.5};
  return r;
}

int palette_index(double value, const value_range& range) {
  const double t = (value - range.low) / (range.high - range.low);
  if (!(t > 0)) return 0;  // also NaN
  if (t >= 1) return 255;
  return static_cast<int>(std::lround(t * 255.0));
}

std::vector<double> nice_ticks(double low, double high, int most) {
  std::vector<double> ticks;
  if (!(high > low) || most < 2) return ticks;
  const double rough = (high - low) / (most - 1);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double spacing = 10 * power;
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= rough) {
      spacing = m * power;
      break;
    }
  if (!std::isfinite(spacing) || !(spacing > 0)) return ticks;
  // Tolerances of a thousandth of a spacing keep the ends that rounding nudges outside.
  const double first = std::ceil(low / spacing - 1e-3) * spacing;
  // Counted rather than stepped: where the spacing falls below the values' precision, adding
  // it never advances, and the loop must still end.
  for (int i = 0; i <= 2 * most; ++i) {
    const double v = first + i * spacing;
    if (!(v <= high + spacing * 1e-3)) break;
    const double tick = std::abs(v) < spacing * 1e-6 ? 0.0 : v;
    if (ticks.empty() || tick > ticks.back()) ticks.push_back(tick);
  }
  return ticks;
}

QString tick_label(double value, double spacing) {
  int decimals = 0;
  if (spacing > 0 && spacing < 1)
    decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(spacing) - 1e-9)), 0, 6);
  return QString::number(value, 'f', decimals);
}

}  // namespace brevane
