#include "ui/canvas_view.h"

#include <QPainter>
#include <QPointer>

#include "model/canvas.h"
#include "ui/layout_table.h"

namespace brevane {

canvas_view::canvas_view(canvas& shown, QWidget* parent) : QFrame(parent), canvas_(shown) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(picture_border_pixels);
  // The image covers the whole inside, so nothing behind it needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
  canvas_.on_changed = [view = QPointer<canvas_view>(this)] {
    if (view) view->update();
  };
}

void canvas_view::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect inside = contentsRect();
  // Whatever the image does not cover shows the picture's background.
  painter.fillRect(inside, canvas_.background());
  painter.setClipRect(inside);
  painter.drawImage(inside.topLeft(), canvas_.image());
  painter.setClipping(false);
  drawFrame(&painter);
}

}  // namespace brevane
