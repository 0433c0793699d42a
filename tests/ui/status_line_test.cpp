#include "ui/status_line.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(StatusLine, LongMessagesAreCutAfterAWholeWord) {
  const QString paused =
      QStringLiteral("Paused at X 120 Z 150 (cycle 1, upward pass, row 2 of 9, point 3 of 16).");
  struct row {
    QString text;
    int room;  // characters that fit
    QString shown;
  };
  const row rows[] = {
      {paused, 200, paused},
      {paused, 64,
       QStringLiteral("Paused at X 120 Z 150 (cycle 1, upward pass, row 2 of 9, point\u2026")},
      {paused, 62,
       QStringLiteral("Paused at X 120 Z 150 (cycle 1, upward pass, row 2 of 9,\u2026")},
      {paused, 10, QStringLiteral("Paused at\u2026")},
      {QStringLiteral("/home/ana/Documents/Brevane/scans"), 10, QStringLiteral("/home/ana\u2026")},
      {QString(), 0, QString()},
  };
  for (const row& r : rows) {
    const QString shown =
        elided_at_word(r.text, [&](const QString& t) { return t.size() <= r.room; });
    EXPECT_EQ(shown.toStdString(), r.shown.toStdString()) << r.room;
  }
}

TEST(StatusLine, TheTooltipHoldsWhatWasCut) {
  status_line line;
  line.resize(160, 20);
  line.show();
  const QString message = QStringLiteral(
      "Sweep completed: 248 readings; record /home/ana/Documents/Brevane/scans/scan "
      "2026-12-07 09-51-55.jsonl");
  line.set_message(message);
  EXPECT_EQ(line.message(), message);
  ASSERT_TRUE(line.text().endsWith(QStringLiteral("\u2026"))) << line.text().toStdString();
  const QString kept = line.text().chopped(1);
  EXPECT_TRUE(message.startsWith(kept) && message[kept.size()] == QLatin1Char(' '));
  EXPECT_EQ(line.toolTip(), message);

  line.resize(2000, 20);
  EXPECT_EQ(line.text().toStdString(), message.toStdString());
  EXPECT_TRUE(line.toolTip().isEmpty());
}

}  // namespace
}  // namespace brevane
