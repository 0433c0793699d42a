#include "model/canvas.h"

#include <QPainter>

#include "common/file_output.h"

namespace brevane {

canvas::canvas(int width, int height, QColor background, double unit_w, double unit_h)
    : image_(width, height, QImage::Format_RGB32),
      background_(background),
      unit_w_(unit_w),
      unit_h_(unit_h) {
  image_.fill(background_);
}

void canvas::clear() {
  image_.fill(background_);
  touched();
}

void canvas::draw_line(double x1, double y1, double x2, double y2, QColor colour) {
  {
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(colour, 0));
    p.drawLine(QPointF(x1 * unit_w_, y1 * unit_h_), QPointF(x2 * unit_w_, y2 * unit_h_));
  }
  touched();
}

void canvas::touched() {
  if (on_changed) on_changed();
}

QByteArray canvas::bmp() const {
  return files::encode_image(image_.convertToFormat(QImage::Format_RGB888), "bmp");
}

}  // namespace brevane
