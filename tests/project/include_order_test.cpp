// The folders of src/ form layers, and an include may only point to the folder's own layer or
// one below it. Folders that share a layer are siblings and never include each other. Reading
// the includes keeps the order from eroding one shortcut at a time.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <string>
#include <vector>

namespace {

// Bottom first. The procedures and what they draw and write sit between the device link
// and the front ends, in the order their includes show. The window and the remote interface
// are two front ends of one instrument, side by side.
const QList<QStringList> layers = {{"common"},       {"model"},   {"device"}, {"logging"},
                                   {"display"},      {"sensors"}, {"scan"},   {"export"},
                                   {"ui", "remote"}, {"app"}};

qsizetype layer_of(const QString& folder) {
  for (qsizetype i = 0; i < layers.size(); ++i)
    if (layers[i].contains(folder)) return i;
  return -1;
}

// "file:line: what is wrong" for every include that points up the order, or into a folder the
// order does not know.
std::vector<std::string> upward_includes(const QString& src) {
  static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"([^/"]+)/)"));
  std::vector<std::string> found;
  QDirIterator it(src, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = QDir(src).relativeFilePath(path);
    const QString folder = relative.section(QLatin1Char('/'), 0, 0);
    const auto own = layer_of(folder);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      found.push_back(relative.toStdString() + ": cannot be read");
      continue;
    }
    QTextStream lines(&file);
    for (int number = 1; !lines.atEnd(); ++number) {
      const auto match = include.match(lines.readLine());
      if (!match.hasMatch()) continue;
      const QString target = match.captured(1);
      const auto other = layer_of(target);
      const std::string where = relative.toStdString() + ":" + std::to_string(number) + ": ";
      if (own < 0 || other < 0) {
        found.push_back(where + "the folder \"" + (own < 0 ? folder : target).toStdString() +
                        "\" has no place in the layers");
      } else if (other > own) {
        found.push_back(where + folder.toStdString() + " includes " + target.toStdString() +
                        ", which lies above it");
      } else if (other == own && target != folder) {
        found.push_back(where + folder.toStdString() + " includes " + target.toStdString() +
                        ", which lies beside it");
      }
    }
  }
  return found;
}

TEST(IncludeOrder, EveryIncludeOfTheSourcesPointsDown) {
  for (const std::string& violation : upward_includes(QStringLiteral(BREVANE_SOURCE_DIR "/src")))
    ADD_FAILURE() << violation;
}

TEST(IncludeOrder, AnUpwardSidewaysOrUnknownIncludeIsNamedWithItsLine) {
  QTemporaryDir root;
  const auto write = [&root](const QString& name, const QByteArray& text) {
    QDir(root.path()).mkpath(name.section(QLatin1Char('/'), 0, 0));
    QFile file(root.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  };
  write("model/panel.h", "#pragma once\n#include <string>\n#include \"common/clock.h\"\n");
  write("device/link.cpp", "#include \"model/panel.h\"\n// x\n  #  include \"ui/main_window.h\"\n");
  write("extras/tool.cpp", "#include \"common/clock.h\"\n");
  write("ui/window.cpp", "#include \"scan/sweep.h\"\n#include \"remote/scpi_server.h\"\n");
  write("remote/server.cpp", "#include \"ui/main_window.h\"\n#include \"remote/parser.h\"\n");
  write("app/main.cpp", "#include \"ui/main_window.h\"\n#include \"remote/scpi_server.h\"\n");
  const auto found = upward_includes(root.path());
  ASSERT_EQ(found.size(), 4u);
  EXPECT_NE(std::find(found.begin(), found.end(),
                      "device/link.cpp:3: device includes ui, which lies above it"),
            found.end());
  EXPECT_NE(std::find(found.begin(), found.end(),
                      "extras/tool.cpp:1: the folder \"extras\" has no place in the layers"),
            found.end());
  EXPECT_NE(std::find(found.begin(), found.end(),
                      "ui/window.cpp:2: ui includes remote, which lies beside it"),
            found.end());
  EXPECT_NE(std::find(found.begin(), found.end(),
                      "remote/server.cpp:1: remote includes ui, which lies beside it"),
            found.end());
}

}  // namespace
