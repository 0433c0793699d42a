// The formats guide describes exactly the formats of the export table: a new row without its
// section in docs/formats.md, or a section whose format is gone, fails here.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "export/export_formats.h"

namespace brevane {
namespace {

TEST(ExportFormatsGuide, HasASectionForEveryRowOfTheTableAndNoOther) {
  QFile guide(QStringLiteral(BREVANE_SOURCE_DIR "/docs/formats.md"));
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << guide.fileName().toStdString();
  const QString text = QString::fromUtf8(guide.readAll());
  QSet<QString> described;
  static const QRegularExpression heading(QStringLiteral(R"(^## .*\(`--export-([a-z0-9]+)`)"),
                                          QRegularExpression::MultilineOption);
  for (auto it = heading.globalMatch(text); it.hasNext();) described.insert(it.next().captured(1));
  QSet<QString> table;
  for (const export_kind& k : export_kinds) table.insert(QLatin1String(k.name));
  EXPECT_EQ(described, table);
}

}  // namespace
}  // namespace brevane
