#include "logging/new_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace brevane {
namespace {

QByteArray read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

TEST(NewFile, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numbered_name("/d/x 1 Thermal.BMP", 1), "/d/x 1 Thermal.BMP");
  EXPECT_EQ(numbered_name("/d/x 1 Thermal.BMP", 2), "/d/x 1 Thermal (2).BMP");
  EXPECT_EQ(numbered_name("/d.e/x", 3), "/d.e/x (3)");
  EXPECT_EQ(numbered_name("/d/.hidden", 2), "/d/.hidden (2)");
}

TEST(NewFile, ATakenNameIsNeverReplaced) {
  QTemporaryDir dir;
  const QString wanted = dir.filePath("a.BMP");
  const QString link = dir.filePath("a (3).BMP");
  ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), link));  // a dangling link takes a name too
  const struct {
    const char* bytes;
    const char* lands_in;
  } writes[] = {{"first", "a.BMP"}, {"second", "a (2).BMP"}, {"third", "a (4).BMP"}};
  for (const auto& w : writes) {
    const new_file_result r = write_new_file(wanted, w.bytes);
    EXPECT_EQ(r.path, dir.filePath(w.lands_in)) << r.error.toStdString();
  }
  for (const auto& w : writes) EXPECT_EQ(read(dir.filePath(w.lands_in)), w.bytes);
  EXPECT_FALSE(QFile::exists(dir.filePath("nowhere")));
}

TEST(NewFile, AFailureNamesThePathAndLeavesNothing) {
  QTemporaryDir dir;
  const QString wanted = dir.filePath("missing/a.BMP");
  const new_file_result r = write_new_file(wanted, "x");
  EXPECT_TRUE(r.path.isEmpty());
  EXPECT_TRUE(r.error.startsWith(wanted + ": ")) << r.error.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
}

}  // namespace
}  // namespace brevane
