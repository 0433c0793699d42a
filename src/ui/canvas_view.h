#pragma once
// Shows a canvas inside a two-pixel sunken border. The drawing lives in the canvas, so the
// widget only paints the image and repaints whenever the canvas reports a change.

#include <QFrame>

namespace brevane {

class canvas;

class canvas_view : public QFrame {
  Q_OBJECT

 public:
  // The canvas must outlive the view's last paint; a callback left behind after the view is
  // gone does nothing.
  explicit canvas_view(canvas& shown, QWidget* parent = nullptr);

  canvas& shown() { return canvas_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  canvas& canvas_;
};

}  // namespace brevane
