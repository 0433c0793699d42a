#pragma once
// The keys of a running operation, F8 (pause or resume the sweep) and Escape (end it), from
// every window of the program that it serves: it hears them before the control that has the
// focus, so no line edit or combo box swallows them. A dialog, a menu or an open combo box
// list is a window of its own, and keeps its own Escape.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace brevane {

class operation_keys : public QObject {
  Q_OBJECT

 public:
  explicit operation_keys(QObject* parent = nullptr);
  ~operation_keys() override;

  void serve(QWidget* window);

 signals:
  void escape_pressed();
  void pause_pressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<QPointer<QWidget>> windows_;
};

}  // namespace brevane
