#pragma once
// A picture that keeps its drawing: the procedures draw into the image, a widget only shows
// it, and the image log saves it. Optional user units scale line coordinates to pixels.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <functional>

namespace brevane {

class canvas {
 public:
  // width and height are the drawable area in pixels; unit_w/unit_h are pixels per user unit.
  canvas(int width, int height, QColor background, double unit_w = 1.0, double unit_h = 1.0);

  int width() const { return image_.width(); }
  int height() const { return image_.height(); }
  QColor background() const { return background_; }

  // Fills the picture with its background colour.
  void clear();
  // A straight line between two points in user units; whatever falls outside is clipped.
  void draw_line(double x1, double y1, double x2, double y2, QColor colour);
  // Direct access for painters that write scan lines; call touched() afterwards.
  QImage& image() { return image_; }
  const QImage& image() const { return image_; }
  void touched();
  // The picture at its full size as an uncompressed BMP file's bytes; empty when it cannot be
  // encoded. The image log decides where they go.
  QByteArray bmp() const;

  // Called after every change, so a widget can repaint.
  std::function<void()> on_changed;

 private:
  QImage image_;
  QColor background_;
  double unit_w_;
  double unit_h_;
};

}  // namespace brevane
