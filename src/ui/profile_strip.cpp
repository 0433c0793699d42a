#include "ui/profile_strip.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace brevane {

namespace {

// One map's line in rect: the cells' values as steps, the lowest and highest at the left, the
// coordinates below.
void paint_line(QPainter& p, const QRect& rect, const profile_strip::line& l,
                std::optional<double> marker) {
  if (l.steps.empty()) return;  // the caption says what to do
  const QRect frame =
      l.left < l.right ? QRect(l.left, rect.top(), l.right - l.left, rect.height()) : rect;
  p.setPen(QColor(110, 110, 110));
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  constexpr double inf = std::numeric_limits<double>::infinity();
  double low = inf, high = -inf, from = inf, to = -inf;
  for (const profile_step& s : l.steps) {
    from = std::min(from, s.along.low);
    to = std::max(to, s.along.high);
    if (!s.value) continue;
    low = std::min(low, *s.value);
    high = std::max(high, *s.value);
  }
  if (!l.along.empty()) {
    from = l.along.low;
    to = l.along.high;
  }
  if (!(from < to)) return;
  if (!(low <= high)) low = high = 0;
  if (high - low < 1e-9) {
    low -= 0.5;
    high += 0.5;
  }
  const QRect plot = frame.adjusted(1, 4, -1, -4);
  const auto px = [&](double v) { return plot.left() + (v - from) / (to - from) * plot.width(); };
  const auto py = [&](double v) {
    return plot.bottom() - (v - low) / (high - low) * plot.height();
  };
  QPainterPath path;
  bool open = false;
  for (const profile_step& s : l.steps) {
    if (!s.value) {
      open = false;  // a gap where no value was taken
      continue;
    }
    const QPointF a(px(s.along.low), py(*s.value)), b(px(s.along.high), py(*s.value));
    if (open)
      path.lineTo(a);
    else
      path.moveTo(a);
    path.lineTo(b);
    open = true;
  }
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(20, 60, 150), 1.5));
  p.drawPath(path);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (marker) {
    p.setPen(QPen(QColor(200, 30, 30), 1, Qt::DashLine));
    const int x = static_cast<int>(std::lround(px(*marker)));
    p.drawLine(x, frame.top() + 1, x, frame.bottom() - 1);
  }
  p.setPen(QColor(40, 40, 40));
  const QString top = QString::number(high, 'f', 2) + QLatin1Char(' ') + l.unit;
  const QString bottom = QString::number(low, 'f', 2) + QLatin1Char(' ') + l.unit;
  p.drawText(frame.adjusted(6, 2, -6, -2), Qt::AlignLeft | Qt::AlignTop, top);
  p.drawText(frame.adjusted(6, 2, -6, -2), Qt::AlignLeft | Qt::AlignBottom, bottom);
}

}  // namespace

profile_strip::profile_strip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("profile"));
  setMinimumHeight(70);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void profile_strip::show_line(const QString& caption, line thermal, line sonic,
                              std::optional<double> marker) {
  caption_ = caption;
  thermal_ = std::move(thermal);
  sonic_ = std::move(sonic);
  marker_ = marker;
  update();
}

void profile_strip::clear(const QString& hint) {
  show_line(hint, {}, {}, std::nullopt);
}

void profile_strip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const int text = fontMetrics().height();
  p.setPen(QColor(40, 40, 40));
  p.drawText(QRect(4, 0, width() - 8, text), Qt::AlignLeft | Qt::AlignVCenter, caption_);
  // Each half under its map; a line given its place in pixels keeps to it.
  const int half = width() / 2;
  const QRect below(0, text + 2, half - 6, height() - text - 3);
  paint_line(p, below.translated(2, 0), thermal_, marker_);
  paint_line(p, below.translated(half + 2, 0), sonic_, marker_);
}

}  // namespace brevane
