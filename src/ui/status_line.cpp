#include "ui/status_line.h"

#include <QFontMetrics>
#include <vector>

namespace brevane {

namespace {

constexpr QChar ellipsis(0x2026);

}  // namespace

QString elided_at_word(const QString& text, const std::function<bool(const QString&)>& fits) {
  if (fits(text)) return text;
  // The ends of words, in order; the longest start that fits is found by halving.
  std::vector<qsizetype> ends;
  for (qsizetype i = 1; i < text.size(); ++i)
    if (text[i].isSpace() && !text[i - 1].isSpace()) ends.push_back(i);
  qsizetype low = 0, high = static_cast<qsizetype>(ends.size());
  while (low < high) {
    const qsizetype mid = (low + high + 1) / 2;
    if (fits(text.left(ends[static_cast<std::size_t>(mid - 1)]) + ellipsis))
      low = mid;
    else
      high = mid - 1;
  }
  if (low > 0) return text.left(ends[static_cast<std::size_t>(low - 1)]) + ellipsis;
  qsizetype chars = 0;
  while (chars < text.size() && fits(text.left(chars + 1) + ellipsis)) ++chars;
  return text.left(chars) + ellipsis;
}

status_line::status_line(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("status"));
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void status_line::set_message(const QString& message) {
  message_ = message;
  fit();
}

QSize status_line::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

QSize status_line::sizeHint() const {
  return {0, QLabel::sizeHint().height()};
}

void status_line::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  fit();
}

void status_line::fit() {
  const QFontMetrics metrics(font());
  const int room = contentsRect().width() - 2 * margin();
  const QString shown = elided_at_word(
      message_, [&](const QString& t) { return metrics.horizontalAdvance(t) <= room; });
  setText(shown);
  setToolTip(shown == message_ ? QString() : message_);
}

}  // namespace brevane
