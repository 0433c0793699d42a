// The Maps window's tools: a region and its statistics, Sweep This Region, moving the head to
// a cell, the profile strip and the difference of two cycles. The sums are display/map_tools;
// this file keeps the widgets in step with them.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/cycle_list.h"
#include "ui/maps_window.h"
#include "ui/profile_strip.h"

namespace brevane {

namespace {

QString number(double v, int decimals) {
  return std::isnan(v) ? QStringLiteral("\u2014") : QString::number(v, 'f', decimals);
}

QString stats_lines(const QString& title, const region_stats& s, const QString& unit,
                    int decimals) {
  return QStringLiteral("%1, %2\n  readings %3\n  min %4  max %5\n  mean %6\n  sd %7\n")
      .arg(title, unit)
      .arg(s.count)
      .arg(number(s.min, decimals), number(s.max, decimals), number(s.mean, decimals),
           number(s.sd, decimals));
}

}  // namespace

void maps_window::build_tools() {
  compare_ = new QComboBox(this);
  compare_->setObjectName(QStringLiteral("compare"));
  compare_->setModel(new cycle_list(QStringLiteral("None"), compare_));
  column_ = new QCheckBox(QStringLiteral("Profile along co&lumn"), this);
  column_->setObjectName(QStringLiteral("profile_column"));
  region_stats_ = new QLabel(this);
  region_stats_->setObjectName(QStringLiteral("region_stats"));
  region_stats_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  region_stats_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  region_stats_->setFocusPolicy(Qt::NoFocus);
  // As wide as its longest line can be, so that the maps keep their size as the text changes.
  region_stats_->setFixedWidth(region_stats_->fontMetrics().horizontalAdvance(
                                   QStringLiteral("Region X 255\u2013255, Z 255\u2013255")) +
                               12);
  profile_ = new profile_strip(this);
  connect(compare_, &QComboBox::currentIndexChanged, this, [this] { repaint_picture(); });
  connect(column_, &QCheckBox::toggled, this, [this] { update_profile(); });
}

std::optional<int> maps_window::compared_cycle() const {
  const int index = compare_ ? compare_->currentIndex() : 0;
  if (index <= 0) return std::nullopt;
  return compare_->itemData(index).toInt();
}

std::optional<int> maps_window::displayed_cycle() const {
  // A difference is kept as a cycle 1 of its own.
  return difference_ ? std::optional<int>(1) : chosen_cycle();
}

void maps_window::set_region(std::optional<cell_region> region) {
  region_ = region;
  sweep_region_->setEnabled(region.has_value());
  clear_region_->setEnabled(region.has_value());
  update_tools();
}

QString maps_window::region_text() const {
  return region_stats_->text();
}

void maps_window::update_tools() {
  if (!region_) {
    region_stats_->setText(QStringLiteral("Drag across a map\nfor a region's\nstatistics."));
  } else {
    const bool d = difference_.has_value();
    const QString change = d ? QStringLiteral(" change") : QString();
    const region_stats t =
        stats_in(displayed(), displayed_cycle(), map_kind::thermal, *region_, units_, d);
    const region_stats s =
        stats_in(displayed(), displayed_cycle(), map_kind::sonic, *region_, units_, d);
    const int distance_decimals = units_.distance == distance_unit::millimetres ? 1 : 2;
    region_stats_->setText(
        QStringLiteral("Region X %1\u2013%2, Z %3\u2013%4\n\n")
            .arg(region_->xmin)
            .arg(region_->xmax)
            .arg(region_->zmin)
            .arg(region_->zmax) +
        stats_lines(QStringLiteral("Thermal") + change, t, unit_symbol(units_.temperature), 2) +
        QLatin1Char('\n') +
        stats_lines(QStringLiteral("Sonic") + change, s, unit_symbol(units_.distance),
                    distance_decimals) +
        QStringLiteral("\nsd: sample (n \u2212 1)"));
  }
  update_profile();
  if (view_) view_->update();
}

void maps_window::sweep_region() {
  if (!region_) return say(QStringLiteral("Drag across a map first: there is no region."));
  emit region_sweep_chosen(sweep_limits_for(*region_));
}

void maps_window::move_here(int x, int z) {
  emit move_chosen(std::clamp(x, 0, 255), std::clamp(z, 0, 255));
}

void maps_window::click_cell(int x, int z) {
  // A plain click clears a region; with none, it pins the profile there or frees it.
  if (region_) return set_region(std::nullopt);
  profile_cell_ = std::pair{x, z};
  pin_profile(!profile_pinned_);
}

void maps_window::follow_profile(int x, int z) {
  if (profile_pinned_) return;
  profile_cell_ = std::pair{x, z};
  update_profile();
}

void maps_window::pin_profile(bool pinned) {
  profile_pinned_ = pinned && profile_cell_;
  update_profile();
}

void maps_window::step_cursor(int dx, int dz) {
  const maps_geometry g = cell_geometry(displayed(), displayed_cycle());
  if (g.rows.empty()) return;
  if (!cursor_) {
    // The first key starts from the middle cell of the middle row.
    const auto& row = g.rows[g.rows.size() / 2].cells;
    const map_cell* middle = row[row.size() / 2].second;
    cursor_ = std::pair{middle->x, middle->z};
  } else if (const auto next = neighbour_cell(g, cursor_->first, cursor_->second, dx, dz)) {
    cursor_ = next;
  }
  if (const map_cell* cell =
          displayed().cells(displayed_cycle()).find(cursor_->first, cursor_->second))
    readout_->setText(readout_text(*cell, units_));
  follow_profile(cursor_->first, cursor_->second);
  view_->update();
}

void maps_window::escape() {
  if (profile_pinned_) return pin_profile(false);
  if (region_) set_region(std::nullopt);
}

void maps_window::say(const QString& text) {
  readout_->setText(text);
}

void maps_window::update_profile() {
  auto* strip = static_cast<profile_strip*>(profile_);
  const maps_geometry g = cell_geometry(displayed(), displayed_cycle());
  if (!profile_cell_ || g.rows.empty())
    return strip->clear(QStringLiteral("Profile: point at a cell; a click pins it."));
  const bool column = column_->isChecked();
  const int x = profile_cell_->first;
  const int z = profile_cell_->second;
  const bool d = difference_.has_value();
  const auto line = [&](map_kind kind) {
    const QString unit =
        kind == map_kind::thermal ? unit_symbol(units_.temperature) : unit_symbol(units_.distance);
    // Under its map's plot: along a row, each value stands right below its cell.
    const QRect plot = picture_rect(g, picture_.size(), kind, shape_, g.x, g.z);
    const int left = strip->mapFrom(this, view_->mapTo(this, plot.topLeft())).x();
    const int right = strip->mapFrom(this, view_->mapTo(this, plot.topRight())).x() + 1;
    return profile_strip::line{
        column ? column_profile(g, kind, x, units_, d) : row_profile(g, kind, z, units_, d), unit,
        left, right, column ? g.z : g.x};
  };
  const QString caption =
      (column ? QStringLiteral("Profile along column X %1, Z up").arg(x)
              : QStringLiteral("Profile along row Z %1, X across").arg(z)) +
      (profile_pinned_ ? QStringLiteral(" \u2014 pinned (click or Escape frees it)")
                       : QStringLiteral(" \u2014 a click pins it"));
  strip->show_line(caption, line(map_kind::thermal), line(map_kind::sonic),
                   static_cast<double>(column ? z : x));
  if (view_) view_->update();
}

void maps_window::paint_tools(QPainter& p) const {
  const maps_geometry g = cell_geometry(displayed(), displayed_cycle());
  const QSize size = picture_.size();
  const auto frame = [&](const extent& x, const extent& z, const QColor& colour,
                         Qt::PenStyle style) {
    for (map_kind kind : {map_kind::thermal, map_kind::sonic}) {
      const QRect r = picture_rect(g, size, kind, shape_, x, z);
      // Dark under light: the frame shows on every colour of either palette.
      p.setPen(QPen(Qt::black, 3));
      p.drawRect(r);
      p.setPen(QPen(colour, 1, style));
      p.drawRect(r);
    }
  };
  if (region_)
    if (const auto where = region_extent(g, *region_))
      frame(where->first, where->second, Qt::white, Qt::SolidLine);
  if (cursor_)
    if (const auto where =
            region_extent(g, {cursor_->first, cursor_->first, cursor_->second, cursor_->second}))
      frame(where->first, where->second, QColor(255, 200, 0), Qt::SolidLine);
  if (!profile_cell_) return;
  // The profile's line across both maps, through the cells' middles.
  const bool column = column_->isChecked();
  const int x = profile_cell_->first;
  const int z = profile_cell_->second;
  p.setPen(QPen(profile_pinned_ ? QColor(220, 40, 40) : QColor(250, 250, 250), 1, Qt::DashLine));
  for (map_kind kind : {map_kind::thermal, map_kind::sonic}) {
    const QRect r = picture_rect(g, size, kind, shape_, column ? extent{x - 0.5, x + 0.5} : g.x,
                                 column ? g.z : extent{z - 0.5, z + 0.5});
    if (column)
      p.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
    else
      p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
  }
}

void maps_window::show_tool_menu(QPoint global, std::optional<std::pair<int, int>> cell) {
  QMenu menu(this);
  if (region_) {
    menu.addAction(sweep_region_);
    menu.addAction(clear_region_);
  }
  if (cell) {
    menu.addAction(
        QStringLiteral("&Move Head Here (X %1, Z %2)").arg(cell->first).arg(cell->second), this,
        [this, cell] { move_here(cell->first, cell->second); });
    menu.addAction(profile_pinned_ ? QStringLiteral("&Free the Profile")
                                   : QStringLiteral("&Pin the Profile Here"),
                   this, [this, cell] {
                     if (!profile_pinned_) profile_cell_ = cell;
                     pin_profile(!profile_pinned_);
                   });
  }
  if (!menu.isEmpty()) menu.exec(global);
}

}  // namespace brevane
