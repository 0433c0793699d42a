#pragma once
// Where the time stamps of the logs come from; tests pin it.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace brevane {

class clock {
 public:
  virtual ~clock() = default;
  virtual QDateTime now() const = 0;
};

class system_clock final : public clock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The general date text: the locale's short date with a four-digit year, a blank, and the
// locale's long time without a zone; at exactly midnight the time part is absent.
// en_US: "12/6/2026 5:04:10 AM"; de_DE: "06.12.2026 04:51:36".
QString general_date_text(const QDateTime& when, const QLocale& locale = QLocale::system());

}  // namespace brevane
