#include "ui/maps_picture_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ui/maps_window_names.h"

namespace brevane {

using namespace maps_window_names;

maps_window::picture_view::picture_view(maps_window& owner) : QWidget(&owner), owner_(owner) {
  setObjectName(QStringLiteral("picture"));
  setMouseTracking(true);
  // The arrow keys walk the cells once the maps have the focus.
  setFocusPolicy(Qt::StrongFocus);
  // Small enough that the window fits a small screen at a high scale factor.
  setMinimumSize(360, 180);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

std::optional<std::pair<int, int>> maps_window::picture_view::cell_under(QPoint at) const {
  const auto hit = cell_at(owner_.displayed(), owner_.displayed_cycle(), owner_.picture_.size(), at,
                           owner_.shape_);
  if (!hit) return std::nullopt;
  return std::pair{hit->cell.x, hit->cell.z};
}

void maps_window::picture_view::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, owner_.picture_);
  owner_.paint_tools(p);
}

void maps_window::picture_view::resizeEvent(QResizeEvent*) {
  owner_.repaint_picture();
}

void maps_window::picture_view::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  anchor_ = cell_under(event->position().toPoint());
  dragging_ = false;
}

void maps_window::picture_view::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  owner_.hover(at);
  const auto cell = cell_under(at);
  if (cell) owner_.follow_profile(cell->first, cell->second);
  if (!(event->buttons() & Qt::LeftButton) || !anchor_ || !cell) return;
  // Snapped to the cells: the region grows a cell at a time, on both maps at once.
  if (*cell != *anchor_) dragging_ = true;
  if (dragging_)
    owner_.set_region(region_between(anchor_->first, anchor_->second, cell->first, cell->second));
}

void maps_window::picture_view::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const bool ends_double_click = std::exchange(double_clicked_, false);
  const bool click = anchor_ && !dragging_ && !ends_double_click;
  pinned_before_ = owner_.profile_pinned_;
  region_before_ = owner_.region_;
  if (click) owner_.click_cell(anchor_->first, anchor_->second);
  anchor_.reset();
  dragging_ = false;
}

void maps_window::picture_view::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const auto cell = cell_under(event->position().toPoint());
  if (!cell) return;
  double_clicked_ = true;
  // The first click of the two pinned the profile or cleared the region; a move means neither.
  owner_.pin_profile(pinned_before_);
  owner_.set_region(region_before_);
  owner_.cursor_ = cell;
  owner_.move_here(cell->first, cell->second);
}

void maps_window::picture_view::contextMenuEvent(QContextMenuEvent* event) {
  owner_.show_tool_menu(event->globalPos(), cell_under(event->pos()));
}

void maps_window::picture_view::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      return owner_.step_cursor(-1, 0);
    case Qt::Key_Right:
      return owner_.step_cursor(1, 0);
    case Qt::Key_Up:
      return owner_.step_cursor(0, 1);
    case Qt::Key_Down:
      return owner_.step_cursor(0, -1);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (owner_.cursor_) return owner_.move_here(owner_.cursor_->first, owner_.cursor_->second);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void maps_window::picture_view::leaveEvent(QEvent*) {
  owner_.readout_->setText(QString::fromLatin1(off_cells_hint));
}

}  // namespace brevane
