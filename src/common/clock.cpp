#include "common/clock.h"

#include <QRegularExpression>
#include <optional>

namespace brevane {

namespace {

struct date_formats {
  QLocale locale;
  QString date;
  QString time;
};

// Working out the formats costs more than writing a log line, and the locale never changes
// during a run; keep the last ones.
const date_formats& formats_for(const QLocale& locale) {
  thread_local std::optional<date_formats> cached;
  if (cached && cached->locale == locale) return *cached;

  QString date_format = locale.dateFormat(QLocale::ShortFormat);
  if (!date_format.contains(QLatin1String("yyyy")))
    date_format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  QString time_format = locale.timeFormat(QLocale::LongFormat);
  // Drop the zone name and the separators around it; the date stem has no use for it.
  thread_local const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
  time_format.remove(zone);
  cached = date_formats{locale, date_format, time_format.trimmed()};
  return *cached;
}

}  // namespace

QString general_date_text(const QDateTime& when, const QLocale& locale) {
  const date_formats& f = formats_for(locale);
  QString text = locale.toString(when.date(), f.date);
  // Whole seconds: a clock that reads 00:00:00.250 is still at midnight.
  const QTime t = when.time();
  if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return text;
  text += QLatin1Char(' ') + locale.toString(when.time(), f.time);
  // Newer locale data puts no-break spaces before AM/PM; the stems want a plain blank there.
  text.replace(QChar(0x202F), QLatin1Char(' ')).replace(QChar(0x00A0), QLatin1Char(' '));
  return text;
}

}  // namespace brevane
