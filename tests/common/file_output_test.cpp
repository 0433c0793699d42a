#include "common/file_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <string>

namespace brevane::files {
namespace {

QByteArray read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// The names in a folder, hidden ones included: a failed export leaves no temporary file.
QStringList names(const QString& folder) {
  return QDir(folder).entryList(
      QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(FileOutput, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numbered_name("/d/x 1 Thermal.BMP", 1), "/d/x 1 Thermal.BMP");
  EXPECT_EQ(numbered_name("/d/x 1 Thermal.BMP", 2), "/d/x 1 Thermal (2).BMP");
  EXPECT_EQ(numbered_name("/d.e/x", 3), "/d.e/x (3)");
  EXPECT_EQ(numbered_name("/d/.hidden", 2), "/d/.hidden (2)");
}

TEST(FileOutput, ANewFileNeverReplacesATakenName) {
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

// Each way a write can fail, for each kind of writer: the failure names the system's reason,
// and what the file held before is all it holds after.
TEST(FileOutput, EveryWriterNamesTheReasonAndKeepsWhatWasThere) {
  ignore_size_limit_signal();
  QTemporaryDir dir;
  {
    QFile old(dir.filePath("old.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier\n");
  }
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  const QByteArray big(64 * 1024, 'x');

  struct fault {
    const char* name;
    QString target;
    bool size_limit;  // RLIMIT_FSIZE set below the size written
    const char* reason;
  };
  const fault faults[] = {
      {"full disk", QStringLiteral("/dev/full"), false, "not a regular file"},
      {"FIFO", dir.filePath("fifo"), false, "not a regular file"},
      {"folder", dir.path(), false, "folder"},
      {"removed folder", dir.filePath("gone/x.csv"), false, "No such file or directory"},
      {"size limit", dir.filePath("old.csv"), true, "File too large"},
  };
  for (const fault& f : faults) {
    SCOPED_TRACE(f.name);
    struct rlimit before {};
    ::getrlimit(RLIMIT_FSIZE, &before);
    if (f.size_limit) {
      struct rlimit small = before;
      small.rlim_cur = 4096;
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
    const std::string why = write_whole(f.target, big);
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_NE(why.find(f.reason), std::string::npos) << why;
  }
  EXPECT_EQ(read(dir.filePath("old.csv")), "earlier\n");
  EXPECT_EQ(names(dir.path()), QStringList({"fifo", "old.csv"}));
  struct stat device {};
  ASSERT_EQ(::stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode)) << "/dev/full was replaced";
}

TEST(FileOutput, AnAppendThatFailsCutsItsPieceBack) {
  ignore_size_limit_signal();
  QTemporaryDir dir;
  const QString path = dir.filePath("log.txt");
  output_file log;
  ASSERT_EQ(log.open_append(path), "");
  ASSERT_EQ(log.append("line 1\n"), "");
  struct rlimit before {};
  ::getrlimit(RLIMIT_FSIZE, &before);
  struct rlimit small = before;
  small.rlim_cur = 10;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const std::string why = log.append("line 2 is longer than the limit\n");
  ::setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_NE(why.find("File too large"), std::string::npos) << why;
  EXPECT_EQ(log.close(), "");
  EXPECT_EQ(read(path), "line 1\n");

  // On a device that takes nothing, the reason is the device's.
  output_file full;
  ASSERT_EQ(full.open_append(QStringLiteral("/dev/full")), "");
  EXPECT_EQ(full.append("x\n"), "No space left on device");
}

TEST(FileOutput, AWholeFileReplacesTheOldOneOnlyWhenComplete) {
  QTemporaryDir dir;
  const QString target = dir.filePath("table.csv");
  EXPECT_EQ(write_whole(target, "one\n"), "");
  EXPECT_EQ(write_whole(target, "two\n"), "");
  EXPECT_EQ(read(target), "two\n");
  // A writer that fails after writing half leaves the old table and no temporary file.
  const std::string why = write_whole_by_name(target, [](const QString& temporary) {
    QFile half(temporary);
    half.open(QIODevice::WriteOnly);
    half.write("th");
    return std::string("the library gave up");
  });
  EXPECT_EQ(why, "the library gave up");
  EXPECT_EQ(read(target), "two\n");
  EXPECT_EQ(names(dir.path()), QStringList({"table.csv"}));
  // A link stays a link; the file it points to gets the new contents.
  ASSERT_TRUE(QFile::link(target, dir.filePath("link.csv")));
  EXPECT_EQ(write_whole(dir.filePath("link.csv"), "three\n"), "");
  EXPECT_TRUE(QFileInfo(dir.filePath("link.csv")).isSymLink());
  EXPECT_EQ(read(target), "three\n");
}

TEST(FileOutput, NewFoldersAreMadeWithTheirParents) {
  QTemporaryDir dir;
  EXPECT_EQ(make_folder(dir.filePath("a/b/c")), "");
  EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
  EXPECT_EQ(make_folder(dir.filePath("a/b/c")), "");
  QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
  EXPECT_NE(make_folder(dir.filePath("file/sub")), "");
}

}  // namespace
}  // namespace brevane::files
