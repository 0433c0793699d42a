#include "display/map_tools.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/control_ranges.h"

namespace brevane {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

int clip(int v, const control_range& range) {
  return std::clamp(v, range.low, range.high);
}

}  // namespace

std::optional<double> shown_value(const map_cell& cell, map_kind kind, const display_units& units,
                                  bool differences) {
  if (kind == map_kind::thermal) {
    if (!cell.temperature_f) return std::nullopt;
    const double f = *cell.temperature_f;
    if (!differences) return shown_temperature(f, units.temperature);
    return units.temperature == temperature_unit::celsius ? f * 5.0 / 9.0 : f;
  }
  if (!cell.distance_in) return std::nullopt;
  return shown_distance(*cell.distance_in, units.distance);
}

cell_region region_between(int x0, int z0, int x1, int z1) {
  return {std::min(x0, x1), std::max(x0, x1), std::min(z0, z1), std::max(z0, z1)};
}

region_stats stats_in(const maps_data& data, std::optional<int> cycle, map_kind kind,
                      const cell_region& region, const display_units& units, bool differences) {
  // Sums shifted by the first value: one pass without a division per value, and no
  // cancellation, since readings lie close to each other next to their size.
  region_stats s;
  double shift = 0, sum = 0, squares = 0;
  double low = std::numeric_limits<double>::infinity(), high = -low;
  const auto& rows = data.cells(cycle).rows();
  auto row = std::lower_bound(rows.begin(), rows.end(), region.zmin,
                              [](const map_layer::row& r, int z) { return r.z < z; });
  for (; row != rows.end() && row->z <= region.zmax; ++row) {
    auto cell = std::lower_bound(row->cells.begin(), row->cells.end(), region.xmin,
                                 [](const map_cell& c, int x) { return c.x < x; });
    for (; cell != row->cells.end() && cell->x <= region.xmax; ++cell) {
      if (!data.on_map(cell->x, cell->z)) continue;
      const auto v = shown_value(*cell, kind, units, differences);
      if (!v || std::isnan(*v)) continue;
      if (s.count++ == 0) shift = *v;
      const double d = *v - shift;
      sum += d;
      squares += d * d;
      low = std::min(low, *v);
      high = std::max(high, *v);
    }
  }
  const double n = s.count;
  s.min = s.count ? low : nan;
  s.max = s.count ? high : nan;
  s.mean = s.count ? shift + sum / n : nan;
  s.sd = s.count > 1 ? std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1))) : nan;
  return s;
}

std::optional<std::pair<extent, extent>> region_extent(const maps_geometry& g,
                                                       const cell_region& region) {
  std::optional<std::pair<extent, extent>> r;
  for (const map_row& row : g.rows)
    for (const auto& [x, cell] : row.cells) {
      if (!region.contains(cell->x, cell->z)) continue;
      if (!r) r.emplace(x, row.z);
      r->first = {std::min(r->first.low, x.low), std::max(r->first.high, x.high)};
      r->second = {std::min(r->second.low, row.z.low), std::max(r->second.high, row.z.high)};
    }
  return r;
}

QRect picture_rect(const maps_geometry& g, QSize size, map_kind kind, map_shape shape,
                   const extent& x, const extent& z) {
  const plot_scale s{layout_panel(size.expandedTo(QSize(1, 1)), kind, g.x, g.z, shape).plot, g.x,
                     g.z};
  // The painting's own rounding: the frame lies on the cells' edges.
  return QRect(QPoint(s.px(x.low), s.py(z.high)), QPoint(s.px(x.high) - 1, s.py(z.low) - 1));
}

std::vector<profile_step> row_profile(const maps_geometry& g, map_kind kind, int z,
                                      const display_units& units, bool differences) {
  std::vector<profile_step> steps;
  for (const map_row& row : g.rows) {
    if (row.cells.empty() || row.cells.front().second->z != z) continue;
    for (const auto& [x, cell] : row.cells)
      steps.push_back({x, cell->x, shown_value(*cell, kind, units, differences)});
  }
  return steps;
}

std::vector<profile_step> column_profile(const maps_geometry& g, map_kind kind, int x,
                                         const display_units& units, bool differences) {
  std::vector<profile_step> steps;
  const double centre = x + 0.5;  // inside the cell of x whichever way its neighbours lie
  for (const map_row& row : g.rows) {
    for (const auto& [along, cell] : row.cells) {
      if (centre < along.low || centre >= along.high) continue;
      steps.push_back({row.z, cell->z, shown_value(*cell, kind, units, differences)});
      break;
    }
  }
  return steps;
}

maps_data cycle_difference(const maps_data& data, std::optional<int> chosen, int base) {
  maps_data d;
  if (data.raster()) d.set_raster(*data.raster());
  const map_layer& from = data.cells(chosen);
  const map_layer& minus = data.cells(base);
  reading_event e;
  e.cycle = 1;
  for (const map_layer::row& row : from.rows())
    for (const map_cell& cell : row.cells) {
      const map_cell* other = minus.find(cell.x, cell.z);
      e.x = cell.x;
      e.z = cell.z;
      e.time = cell.time;
      e.temperature_f.reset();
      e.distance_in.reset();
      if (other && cell.temperature_f && other->temperature_f)
        e.temperature_f = *cell.temperature_f - *other->temperature_f;
      if (other && cell.distance_in && other->distance_in)
        e.distance_in = *cell.distance_in - *other->distance_in;
      d.add(e);
    }
  return d;
}

value_range symmetric_range(std::optional<value_range> shown) {
  const double most = shown ? std::max(std::abs(shown->low), std::abs(shown->high)) : 0.0;
  if (!(most > 0) || !std::isfinite(most)) return {-0.5, 0.5};
  return {-most, most};
}

std::optional<std::pair<int, int>> neighbour_cell(const maps_geometry& g, int x, int z, int dx,
                                                  int dz) {
  const auto at = std::find_if(g.rows.begin(), g.rows.end(), [z](const map_row& row) {
    return !row.cells.empty() && row.cells.front().second->z == z;
  });
  if (at == g.rows.end()) return std::nullopt;
  const std::ptrdiff_t r = (at - g.rows.begin()) + dz;  // rows run bottom to top
  if (r < 0 || r >= static_cast<std::ptrdiff_t>(g.rows.size())) return std::nullopt;
  const auto& cells = g.rows[static_cast<std::size_t>(r)].cells;
  if (dz != 0) {
    // The nearest column of the next row: the runs' columns differ from row to row.
    const auto nearest = std::min_element(cells.begin(), cells.end(), [x](auto& a, auto& b) {
      return std::abs(a.second->x - x) < std::abs(b.second->x - x);
    });
    return std::pair{nearest->second->x, nearest->second->z};
  }
  const auto c = std::find_if(cells.begin(), cells.end(),
                              [x](const auto& cell) { return cell.second->x == x; });
  if (c == cells.end()) return std::nullopt;
  const std::ptrdiff_t i = (c - cells.begin()) + dx;
  if (i < 0 || i >= static_cast<std::ptrdiff_t>(cells.size())) return std::nullopt;
  const map_cell* next = cells[static_cast<std::size_t>(i)].second;
  return std::pair{next->x, next->z};
}

region_limits sweep_limits_for(const cell_region& region) {
  region_limits l{clip(region.xmin, xmin_range), clip(region.xmax, xmax_range),
                  clip(region.zmin, zmin_range), clip(region.zmax, zmax_range), false, {}};
  l.clipped = l.xmin != region.xmin || l.xmax != region.xmax || l.zmin != region.zmin ||
              l.zmax != region.zmax;
  // Clipping may only narrow the region; a limit its bar cannot reach would widen it.
  const auto say = [&l](const char* limit, const char* how, int value) {
    if (!l.refused.empty()) l.refused += "; ";
    l.refused += std::string(limit) + " cannot be " + how + " " + std::to_string(value);
  };
  if (l.xmin < region.xmin) say("X Min", "above", xmin_range.high);
  if (l.xmax > region.xmax) say("X Max", "below", xmax_range.low);
  if (l.zmin < region.zmin) say("Z Min", "above", zmin_range.high);
  if (l.zmax > region.zmax) say("Z Max", "below", zmax_range.low);
  return l;
}

}  // namespace brevane
