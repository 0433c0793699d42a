#include "common/file_output.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/temporary_file.h"

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
}

// A link is never written through: whoever owns the link would choose the file that changes
// (as root, a link another user left in /tmp could name /etc/passwd). It is refused and left
// as it is, and so is what it points to; a dangling link does not become a file.
TEST(FileOutput, ATargetThatIsALinkIsRefusedAndLeftAsItIs) {
  QTemporaryDir dir;
  const QString file = dir.filePath("file.csv");
  ASSERT_EQ(write_whole(file, "kept\n"), "");
  const std::pair<const char*, QString> links[] = {{"to a file", file},
                                                   {"dangling", dir.filePath("nowhere.csv")}};
  for (const auto& [what, points_to] : links) {
    SCOPED_TRACE(what);
    const QString link = dir.filePath("link.csv");
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(points_to, link));
    EXPECT_EQ(write_whole(link, "new\n"),
              "it is a symbolic link, which is left as it is rather than written through; name "
              "the file itself");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), points_to);
    EXPECT_EQ(read(file), "kept\n");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere.csv")));
  }
  EXPECT_EQ(names(dir.path()), QStringList({"file.csv", "link.csv"}));
}

// A temporary file dies with its export: on a signal that ends the program, and, after a kill
// nothing lives through, at the next export to the same target, which finds it unowned. One a
// running export holds is left to it.
TEST(FileOutput, TemporaryFilesDoNotOutliveTheirExport) {
  QTemporaryDir dir;
  const QString target = dir.filePath("maps.nxs");
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(number);
    const pid_t child = ::fork();
    if (child == 0) {
      std::signal(number, SIG_DFL);
      temporary_file t;
      if (!t.create_beside(target).empty()) ::_exit(3);
      std::raise(number);
      ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << status;
    EXPECT_EQ(names(dir.path()), QStringList());
  }
  // Left by a kill: not locked by anyone.
  const QString stale = dir.filePath(".maps.nxs.0badc0de.part");
  const QString other = dir.filePath(".maps.nxs.not-ours.part");
  for (const QString& name : {stale, other}) QFile(name).open(QIODevice::WriteOnly);
  temporary_file running;
  ASSERT_EQ(running.create_beside(target), "");
  EXPECT_EQ(write_whole(target, "whole\n"), "");
  EXPECT_FALSE(QFileInfo::exists(stale));
  EXPECT_TRUE(QFileInfo::exists(other)) << "a name no export makes is not ours to remove";
  EXPECT_TRUE(QFileInfo::exists(running.path())) << "held by an export still running";
  EXPECT_EQ(read(target), "whole\n");
}

TEST(FileOutput, NewFoldersAreMadeWithTheirParents) {
  QTemporaryDir dir;
  EXPECT_EQ(make_folder(dir.filePath("a/b/c")), "");
  EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
  EXPECT_EQ(make_folder(dir.filePath("a/b/c")), "");
  QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
  EXPECT_NE(make_folder(dir.filePath("file/sub")), "");
}

// A folder that cannot be made says the system's own reason.
TEST(FileOutput, AFolderThatCannotBeMadeSaysTheSystemsReason) {
  QTemporaryDir dir;
  // A read-only file system needs a mount, which only root may make; elsewhere that row is
  // left out.
  const QString read_only = dir.filePath("read-only");
  QDir().mkdir(read_only);
  const bool mounted =
      ::mount("tmpfs", QFile::encodeName(read_only).constData(), "tmpfs", MS_RDONLY, nullptr) == 0;
  std::vector<std::pair<QString, std::string>> cases = {
      {dir.filePath(QString(300, QLatin1Char('n'))), "File name too long"},
      {dir.filePath(QString(300, QLatin1Char('n')) + "/data"), "File name too long"},
  };
  if (mounted) cases.emplace_back(read_only + "/data", "Read-only file system");
  for (const auto& [path, reason] : cases) {
    EXPECT_EQ(make_folder(path), reason) << path.toStdString();
  }
  if (mounted) ::umount(QFile::encodeName(read_only).constData());
}

}  // namespace
}  // namespace brevane::files
