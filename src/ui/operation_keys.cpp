#include "ui/operation_keys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>

namespace brevane {

operation_keys::operation_keys(QObject* parent) : QObject(parent) {
  QCoreApplication::instance()->installEventFilter(this);
}

operation_keys::~operation_keys() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void operation_keys::serve(QWidget* window) {
  if (window) windows_.emplace_back(window);
}

bool operation_keys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
    return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->isAutoRepeat() || key->modifiers() != Qt::NoModifier ||
      (key->key() != Qt::Key_Escape && key->key() != Qt::Key_F8))
    return false;
  const QWidget* window = static_cast<QWidget*>(watched)->window();
  if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) return false;
  if (key->key() == Qt::Key_Escape)
    emit escape_pressed();
  else
    emit pause_pressed();
  return true;
}

}  // namespace brevane
