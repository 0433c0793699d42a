#pragma once
// The status bar's message. A message longer than the bar is cut after a whole word and ends
// in "…", and its tooltip holds the whole text; a long message never widens the window.

#include <QLabel>
#include <QString>
#include <functional>

namespace brevane {

// text when fits(text); otherwise its longest start that ends with a whole word and fits with
// "…" after it. A first word too long for the room is cut where it must be.
QString elided_at_word(const QString& text, const std::function<bool(const QString&)>& fits);

class status_line : public QLabel {
  Q_OBJECT

 public:
  explicit status_line(QWidget* parent = nullptr);

  void set_message(const QString& message);
  const QString& message() const { return message_; }

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fit();

  QString message_;
};

}  // namespace brevane
