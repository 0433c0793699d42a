// The maintainer's guide names every folder of src/ as a layer, and no folder that is gone:
// a new folder without its place in docs/architecture.md fails here.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {

TEST(ArchitectureGuide, NamesEveryFolderOfTheSourcesAndNoOther) {
  QFile guide(QStringLiteral(BREVANE_SOURCE_DIR "/docs/architecture.md"));
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << guide.fileName().toStdString();
  const QString text = QString::fromUtf8(guide.readAll());

  QSet<QString> named;
  static const QRegularExpression folder(QStringLiteral(R"(`src/([a-z_]+)/`)"));
  for (auto it = folder.globalMatch(text); it.hasNext();) named.insert(it.next().captured(1));

  const QStringList present =
      QDir(QStringLiteral(BREVANE_SOURCE_DIR "/src")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  ASSERT_GE(present.size(), 10);
  for (const QString& f : present)
    EXPECT_TRUE(named.contains(f)) << "src/" << f.toStdString() << "/ is not in the guide";
  for (const QString& f : named)
    EXPECT_TRUE(present.contains(f)) << "the guide names src/" << f.toStdString()
                                     << "/, which does not exist";
}

}  // namespace
