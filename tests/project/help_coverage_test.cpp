// The help is as current as the program: every option the command line takes is in --help,
// and every option, simulated head setting and menu command is in the help page and the
// README. A new option or command without its help fails here.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "app/command_line.h"
#include "ui/layout_table.h"

namespace brevane {
namespace {

QString source_file(const char* relative) {
  QFile f(QStringLiteral(BREVANE_SOURCE_DIR "/") + QString::fromLatin1(relative));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << relative;
  return QString::fromUtf8(f.readAll());
}

QSet<QString> matches(const QString& text, const char* pattern) {
  QSet<QString> found;
  const QRegularExpression re(QString::fromLatin1(pattern));
  for (auto it = re.globalMatch(text); it.hasNext();) found.insert(it.next().captured(1));
  return found;
}

TEST(HelpCoverage, EveryOptionAndCommandIsDocumented) {
  const QString help = QString::fromStdString(command_line_help());
  // The options the parser compares against, and those --help names.
  const QSet<QString> parsed =
      matches(source_file("src/app/command_line.cpp"), R"re(QLatin1String\("(--[a-z-]+)"\))re");
  ASSERT_GE(parsed.size(), 25);
  for (const QString& option : parsed)
    EXPECT_TRUE(help.contains(option)) << option.toStdString() << " is missing from --help";

  const QString page = source_file("packaging/help.html");
  const QString readme = source_file("README.md");
  for (const QString& option : parsed) {
    EXPECT_TRUE(page.contains(option)) << option.toStdString() << " is missing from help.html";
    EXPECT_TRUE(readme.contains(option)) << option.toStdString() << " is missing from README.md";
  }
  // The simulated head's settings, as --help lists them: latency=MS, seed=N, ...
  const QSet<QString> settings = matches(help, R"re(([a-z-]+)=(?:MS|N|PCT|FILE)\b)re");
  ASSERT_GE(settings.size(), 6);
  for (const QString& setting : settings)
    EXPECT_TRUE(page.contains(setting + QLatin1Char('='))) << setting.toStdString();

  // Every menu command, by the caption the operator reads.
  for (const menu_row& item : layout_menus()) {
    QString caption =
        QString::fromUtf8(item.caption.data(), static_cast<qsizetype>(item.caption.size()));
    caption.replace(QStringLiteral("\u2026"), QStringLiteral("&hellip;"));
    EXPECT_TRUE(page.contains(caption)) << caption.toStdString() << " is missing from help.html";
  }
}

}  // namespace
}  // namespace brevane
