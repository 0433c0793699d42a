#pragma once
// The Maps window's picture on screen, with the tools drawn over it: it shows the picture at
// its own size, reads the cell under the pointer, draws a region with a drag, pins the
// profile with a click, moves the head with a double-click, and walks the cells with the
// arrow keys.

#include <QWidget>
#include <optional>
#include <utility>

#include "ui/maps_window.h"

namespace brevane {

class maps_window::picture_view : public QWidget {
  Q_OBJECT

 public:
  explicit picture_view(maps_window& owner);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent*) override;

 private:
  std::optional<std::pair<int, int>> cell_under(QPoint at) const;

  maps_window& owner_;
  // The cell a press began on, and whether the pointer has since left it: a drag.
  std::optional<std::pair<int, int>> anchor_;
  bool dragging_ = false;
  // What a double-click's first click changed, so the double-click can take it back.
  bool pinned_before_ = false;
  // The release that ends a double-click is no click of its own.
  bool double_clicked_ = false;
  std::optional<cell_region> region_before_;
};

}  // namespace brevane
