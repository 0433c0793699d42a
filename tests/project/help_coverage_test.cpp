// The help is as current as the program: every option the command line takes is in --help,
// and every option, simulated head setting and menu command is in the help page and the
// README. A new option or command without its help fails here.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "app/command_line.h"
#include "remote/scpi_parser.h"
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

QString whole(double v) {
  return QString::number(static_cast<long long>(v));
}

// The remote programming guide lists every command of the parser's table on a line of its own,
// with its range and its reset value, and the help page names each.
TEST(HelpCoverage, TheRemoteGuideHoldsEveryCommandWithItsRangeAndReset) {
  const QString guide = source_file("docs/remote.md");
  const QString html = source_file("packaging/help.html");
  const QString page = QString(html).remove(QLatin1Char('[')).remove(QLatin1Char(']')) +
                       QString(html).remove(QRegularExpression(QStringLiteral(R"(\[[^\]]*\])")));
  QStringList lines;
  for (const QString& line : guide.split(QLatin1Char('\n'))) {
    if (!line.startsWith(QLatin1String("| `"))) continue;
    // An optional node, [:EVENt], is the command with it and without it.
    lines << QString(line).remove(QLatin1Char('[')).remove(QLatin1Char(']'))
          << QString(line).remove(QRegularExpression(QStringLiteral(R"(\[[^\]]*\])")));
  }
  for (const remote::command_row& row : remote::command_table()) {
    const QString header = QString::fromLatin1(row.header.data(), row.header.size());
    const QRegularExpression named(QStringLiteral("`") + QRegularExpression::escape(header) +
                                   QStringLiteral("[`? ]"));
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const QString& l) { return l.contains(named); });
    EXPECT_TRUE(page.contains(header)) << header.toStdString() << " is missing from help.html";
    if (line == lines.end()) {
      ADD_FAILURE() << header.toStdString() << " is missing from docs/remote.md";
      continue;
    }
    if (!row.range) continue;
    const QString range = whole(row.range->low) + " to " + whole(row.range->high);
    EXPECT_TRUE(line->contains(range)) << header.toStdString() << ": " << range.toStdString();
    if (row.range->reset) {
      const QRegularExpression reset(QStringLiteral(R"(\| )") + whole(*row.range->reset) +
                                     QStringLiteral(R"(( \([^|]*\))? \|)"));
      EXPECT_TRUE(line->contains(reset)) << header.toStdString() << ": reset " << *row.range->reset;
    }
  }
}

}  // namespace
}  // namespace brevane
