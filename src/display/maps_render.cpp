#include "display/maps_render.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/file_output.h"
#include "display/map_tools.h"

namespace brevane {

namespace {

const QColor ink(40, 40, 40);
const QColor frame_colour(110, 110, 110);
// Unvisited ground: a pale blue-grey that neither palette uses.
const QRgb no_cell = qRgb(222, 229, 238);

QFont font_of(int px, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(px);
  font.setBold(bold);
  return font;
}

// Scan lines written directly: one QPainter call per cell costs more than the whole frame.
void fill(QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, image.width());
  y1 = std::min(y1, image.height());
  if (x1 <= x0) return;
  // bits() once: scanLine() checks for sharing on every call.
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  for (int y = y0; y < y1; ++y) {
    auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
    std::fill(line + x0, line + x1, colour);
  }
}

void paint_cells(QImage& image, const plot_scale& s, const maps_geometry& g, map_kind kind,
                 const maps_style& style, const std::array<QRgb, 256>& colours,
                 const value_range& range) {
  fill(image, s.plot.left(), s.plot.top(), s.plot.left() + s.plot.width(),
       s.plot.top() + s.plot.height(), no_cell);
  for (const map_row& row : g.rows) {
    const int y0 = std::max(0, s.py(row.z.high)), y1 = std::min(image.height(), s.py(row.z.low));
    if (y1 <= y0) continue;
    // The row's first pixel line, then copies of it: a cell is a few pixels wide.
    for (const auto& [x, cell] : row.cells) {
      const auto v = shown_value(*cell, kind, style.units, style.differences);
      if (v) fill(image, s.px(x.low), y0, s.px(x.high), y0 + 1, colours[palette_index(*v, range)]);
    }
    const int from = std::max(0, s.plot.left());
    const int to = std::min(image.width(), s.plot.left() + s.plot.width());
    const auto offset = static_cast<std::ptrdiff_t>(from) * 4;
    const uchar* first = image.constScanLine(y0) + offset;
    for (int y = y0 + 1; y < y1; ++y)
      std::memcpy(image.scanLine(y) + offset, first, static_cast<std::size_t>(to - from) * 4);
  }
}

void paint_axes(QPainter& p, const plot_scale& s, int f) {
  p.setPen(frame_colour);
  p.drawRect(s.plot.adjusted(0, 0, -1, -1));
  p.setFont(font_of(f));
  const QFontMetrics m(p.font());
  const auto xs = nice_ticks(s.x.low, s.x.high, std::max(2, s.plot.width() / (5 * f)));
  for (double v : xs) {
    const int x = s.px(v);
    p.setPen(frame_colour);
    p.drawLine(x, s.plot.bottom(), x, s.plot.bottom() + f / 3);
    p.setPen(ink);
    const QString t = tick_label(v, xs.size() > 1 ? xs[1] - xs[0] : 1);
    p.drawText(x - m.horizontalAdvance(t) / 2, s.plot.bottom() + f / 3 + m.ascent() + 1, t);
  }
  const auto zs = nice_ticks(s.z.low, s.z.high, std::max(3, s.plot.height() / (2 * f)));
  for (double v : zs) {
    const int y = s.py(v);
    p.setPen(frame_colour);
    p.drawLine(s.plot.left() - f / 3, y, s.plot.left(), y);
    p.setPen(ink);
    const QString t = tick_label(v, zs.size() > 1 ? zs[1] - zs[0] : 1);
    p.drawText(s.plot.left() - f / 3 - 3 - m.horizontalAdvance(t), y + m.ascent() / 2 - 1, t);
  }
  p.setFont(font_of(f, true));
  p.drawText(QRect(s.plot.left(), s.plot.bottom() + f + f / 2, s.plot.width(), 2 * f),
             Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("X"));
  p.drawText(QRect(s.plot.left() - 4 * f, s.plot.top(), f, s.plot.height()), Qt::AlignCenter,
             QStringLiteral("Z"));
}

void paint_colour_bar(QImage& image, QPainter& p, const QRect& bar, int f,
                      const std::array<QRgb, 256>& colours, const value_range& range,
                      const QString& unit) {
  const int n = std::max(1, bar.height() - 1);
  for (int i = 0; i < bar.height(); ++i) {
    const int index = static_cast<int>(std::lround(255.0 * (bar.height() - 1 - i) / n));
    fill(image, bar.left(), bar.top() + i, bar.left() + bar.width(), bar.top() + i + 1,
         colours[index]);
  }
  p.setPen(frame_colour);
  p.drawRect(bar.adjusted(0, 0, -1, -1));
  p.setFont(font_of(f));
  const QFontMetrics m(p.font());
  const auto ticks = nice_ticks(range.low, range.high, std::max(2, bar.height() / (2 * f)));
  for (double v : ticks) {
    const int y = bar.bottom() -
                  static_cast<int>(std::lround((v - range.low) / (range.high - range.low) * n));
    p.setPen(frame_colour);
    p.drawLine(bar.right() + 1, y, bar.right() + f / 3, y);
    p.setPen(ink);
    p.drawText(bar.right() + f / 3 + 3, y + m.ascent() / 2 - 1,
               tick_label(v, ticks.size() > 1 ? ticks[1] - ticks[0] : 1));
  }
  p.drawText(QRect(bar.left() - f, bar.top() - f - f / 2, bar.width() + 2 * f, f + f / 4),
             Qt::AlignCenter, unit);
}

}  // namespace

maps_geometry cell_geometry(const maps_data& data, std::optional<int> cycle) {
  const map_layer& layer = data.cells(cycle);
  maps_geometry g;
  // The cells on the map, row by row (row r's are cells[starts[r]] up to cells[starts[r + 1]]);
  // a cell off the map takes no room when the axes are tiled.
  std::vector<const map_cell*> cells;
  std::vector<std::size_t> starts;
  std::vector<int> zs, xs;
  for (const map_layer::row& row : layer.rows()) {
    const std::size_t first = cells.size();
    for (const map_cell& cell : row.cells)
      if (data.on_map(cell.x, row.z)) cells.push_back(&cell);
    if (cells.size() == first) continue;
    starts.push_back(first);
    zs.push_back(row.z);
  }
  starts.push_back(cells.size());
  int x_step = 0, z_step = 0;
  if (const auto& r = data.raster()) {
    x_step = std::max(1, r->point_step);
    z_step = std::max(1, r->row_step);
    g.x = {r->xmin - x_step / 2.0, r->xmax + x_step / 2.0};
    g.z = {r->zmin - z_step / 2.0, r->zmax + z_step / 2.0};
  } else if (!cells.empty()) {
    // A record without its limits: the cells themselves say how far they reach.
    for (const map_cell* cell : cells) xs.push_back(cell->x);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    x_step = step_between(xs);
    z_step = step_between(zs);
    g.x = {xs.front() - x_step / 2.0, xs.back() + x_step / 2.0};
    g.z = {zs.front() - z_step / 2.0, zs.back() + z_step / 2.0};
  } else {
    return g;
  }
  const std::vector<extent> rows = tile_axis(zs, z_step, g.z.low, g.z.high);
  for (std::size_t r = 0; r < zs.size(); ++r) {
    if (rows[r].empty()) continue;
    xs.clear();
    for (std::size_t c = starts[r]; c < starts[r + 1]; ++c) xs.push_back(cells[c]->x);
    const std::vector<extent> columns = tile_axis(xs, x_step, g.x.low, g.x.high);
    map_row row{rows[r], {}};
    row.cells.reserve(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
      if (!columns[c].empty()) row.cells.emplace_back(columns[c], cells[starts[r] + c]);
    if (!row.cells.empty()) g.rows.push_back(std::move(row));
  }
  return g;
}

std::optional<value_range> shown_range(const maps_geometry& g, map_kind kind,
                                       const display_units& units, bool differences) {
  std::optional<value_range> r;
  for (const map_row& row : g.rows)
    for (const auto& [x, cell] : row.cells)
      if (const auto v = shown_value(*cell, kind, units, differences))
        r = r ? value_range{std::min(r->low, *v), std::max(r->high, *v)} : value_range{*v, *v};
  return r;
}

QImage render_maps(const maps_data& data, std::optional<int> cycle, QSize size,
                   const maps_style& style) {
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(Qt::white);
  const maps_geometry g = cell_geometry(data, cycle);
  // A difference is told in blue below zero and red above, on a scale centred on zero.
  const auto& colours = palette(style.differences ? palette_kind::diverging : style.colours);
  for (map_kind kind : {map_kind::thermal, map_kind::sonic}) {
    const panel_layout l =
        layout_panel(image.size(), kind, g.x, g.z, style.shape, style.arrangement);
    const plot_scale s{l.plot, g.x, g.z};
    const bool thermal = kind == map_kind::thermal;
    const auto shown = shown_range(g, kind, style.units, style.differences);
    const value_range range = style.differences
                                  ? symmetric_range(shown)
                                  : choose_range(thermal ? style.thermal : style.sonic, shown);
    paint_cells(image, s, g, kind, style, colours, range);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint_colour_bar(
        image, p, l.bar, l.font_px, colours, range,
        thermal ? unit_symbol(style.units.temperature) : unit_symbol(style.units.distance));
    paint_axes(p, s, l.font_px);
    p.setPen(ink);
    p.setFont(font_of(l.font_px + 1, true));
    const QString what =
        style.differences ? QStringLiteral(" difference, ") : QStringLiteral(" map, ");
    p.drawText(l.title, Qt::AlignCenter,
               thermal ? QStringLiteral("Thermal") + what + unit_symbol(style.units.temperature)
                       : QStringLiteral("Sonic") + what + unit_name(style.units.distance));
    if (g.rows.empty()) {
      p.setFont(font_of(l.font_px));
      p.drawText(l.plot, Qt::AlignCenter, QStringLiteral("No readings yet"));
    }
  }
  if (!style.title.isEmpty()) {
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(ink);
    const QRect line = title_line(image.size());
    // A narrow picture writes its title smaller before it cuts it.
    int px = std::max(9, line.height() / 2 + 1);
    p.setFont(font_of(px, true));
    while (px > 8 && QFontMetrics(p.font()).horizontalAdvance(style.title) > line.width() - 8)
      p.setFont(font_of(--px, true));
    // A title too long for the picture loses its end, never its start.
    const QString shown =
        QFontMetrics(p.font()).elidedText(style.title, Qt::ElideRight, line.width() - 8);
    p.drawText(line, Qt::AlignCenter, shown);
  }
  return image;
}

QString picture_title(const QString& scan, const maps_data& data, std::optional<int> cycle) {
  QString name = scan.isEmpty() ? QStringLiteral("Live sweep") : scan;
  const int cycles = data.cycles();
  if (cycles == 0) return name;
  const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  if (cycle) {
    const QDateTime start = data.cycle_start(*cycle);
    return start.isValid() ? QStringLiteral("%1 \u2014 cycle %2, started %3")
                                 .arg(name)
                                 .arg(*cycle)
                                 .arg(start.toString(format))
                           : QStringLiteral("%1 \u2014 cycle %2").arg(name).arg(*cycle);
  }
  const QDateTime start = data.cycle_start(1);
  const QString latest =
      cycles == 1 ? QStringLiteral("%1 \u2014 cycle 1").arg(name)
                  : QStringLiteral("%1 \u2014 latest of %2 cycles").arg(name).arg(cycles);
  return start.isValid() ? latest + QStringLiteral(", started ") + start.toString(format) : latest;
}

std::optional<cell_hit> cell_at(const maps_data& data, std::optional<int> cycle, QSize size,
                                QPoint at, map_shape shape) {
  const maps_geometry g = cell_geometry(data, cycle);
  for (map_kind kind : {map_kind::thermal, map_kind::sonic}) {
    const panel_layout l = layout_panel(size.expandedTo(QSize(1, 1)), kind, g.x, g.z, shape);
    if (!l.plot.contains(at)) continue;
    const plot_scale s{l.plot, g.x, g.z};
    // The same rounding as the painting, so the readout names the cell the pixel shows.
    for (const map_row& row : g.rows) {
      if (at.y() < s.py(row.z.high) || at.y() >= s.py(row.z.low)) continue;
      for (const auto& [x, cell] : row.cells)
        if (at.x() >= s.px(x.low) && at.x() < s.px(x.high)) return cell_hit{kind, *cell};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

QPoint picture_point(const maps_data& data, std::optional<int> cycle, QSize size, map_kind map,
                     double x, double z, map_shape shape, maps_arrangement arrangement) {
  const maps_geometry g = cell_geometry(data, cycle);
  const plot_scale s{
      layout_panel(size.expandedTo(QSize(1, 1)), map, g.x, g.z, shape, arrangement).plot, g.x, g.z};
  return {s.px(x), s.py(z)};
}

QString readout_text(const map_cell& cell, const display_units& units) {
  const QString none = QStringLiteral("\u2014");
  const int distance_decimals = units.distance == distance_unit::millimetres ? 1 : 2;
  return QStringLiteral("X %1  Z %2   %3 %4   %5 %6   read %7")
      .arg(cell.x)
      .arg(cell.z)
      .arg(cell.temperature_f
               ? QString::number(shown_temperature(*cell.temperature_f, units.temperature), 'f', 2)
               : none,
           unit_symbol(units.temperature),
           cell.distance_in ? QString::number(shown_distance(*cell.distance_in, units.distance),
                                              'f', distance_decimals)
                            : none,
           unit_symbol(units.distance), cell.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

std::string save_png(const QImage& picture, const QString& path) {
  const std::string where = "cannot write the picture to " + path.toStdString() + ": ";
  const QByteArray bytes = files::encode_image(picture, "png");
  if (bytes.isEmpty()) return where + "it cannot be encoded as PNG";
  // Whole or not at all: a failed save leaves the earlier picture, or none.
  if (const std::string why = files::write_whole(path, bytes); !why.empty()) return where + why;
  return {};
}

picture_plan saved_picture_plan(const maps_data& data, std::optional<int> cycle, map_shape shape) {
  const maps_geometry g = cell_geometry(data, cycle);
  return plan_picture(g.x, g.z, shape, QSize(1200, 1200));
}

QImage render_picture(const maps_data& data, std::optional<int> cycle, const maps_style& style) {
  const picture_plan plan = saved_picture_plan(data, cycle, style.shape);
  maps_style planned = style;
  planned.arrangement = plan.arrangement;
  const QImage image = render_maps(data, cycle, plan.size, planned);
  // The margins are made for the widest numbers; what short ones leave blank at the right and
  // at the bottom is cut, all but a small edge. Positions from the top left stay as planned.
  constexpr int edge = 8;
  const QRgb white = qRgb(255, 255, 255);
  int right = 0, bottom = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = image.width() - 1; x >= 0; --x)
      if (line[x] != white) {
        right = std::max(right, x);
        bottom = y;
        break;
      }
  }
  return image.copy(0, 0, std::min(image.width(), right + 1 + edge),
                    std::min(image.height(), bottom + 1 + edge));
}

std::string export_cycle(const maps_data& data, int cycle, const QString& path,
                         const maps_style& style) {
  return save_png(render_picture(data, cycle, style), path);
}

}  // namespace brevane
