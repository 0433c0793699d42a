#include "common/clock.h"

#include <QRegularExpression>

namespace brevane {

QString general_date_text(const QDateTime& when, const QLocale& locale) {
  QString date_format = locale.dateFormat(QLocale::ShortFormat);
  if (!date_format.contains(QLatin1String("yyyy")))
    date_format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  QString text = locale.toString(when.date(), date_format);
  if (when.time() == QTime(0, 0, 0)) return text;

  QString time_format = locale.timeFormat(QLocale::LongFormat);
  // Drop the zone name and the separators around it; the date stem has no use for it.
  time_format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
  text += QLatin1Char(' ') + locale.toString(when.time(), time_format.trimmed());
  // Newer locale data puts no-break spaces before AM/PM; the stems want a plain blank there.
  text.replace(QChar(0x202F), QLatin1Char(' ')).replace(QChar(0x00A0), QLatin1Char(' '));
  return text;
}

}  // namespace brevane
