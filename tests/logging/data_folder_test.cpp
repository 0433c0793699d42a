#include "logging/data_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace brevane {
namespace {

QString lock_path(const QString& folder) {
  return QDir(folder).filePath(data_folder_lock_name);
}

// A lock file as another program would leave it. No process can have this pid: Linux pids stop
// at 2^22.
void leave_stale_lock(const QString& folder) {
  ASSERT_TRUE(QDir().mkpath(folder));
  QFile f(lock_path(folder));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("2147483646\nbrevane\n\n");
}

TEST(DataFolder, ASecondWriterTakesTheFirstFreeSibling) {
  const struct {
    const char* name;
    QStringList held;   // suffixes held by another locker: "" is the folder itself
    QStringList stale;  // suffixes with a lock left by a process that is gone
    int max_siblings;
    const char* expected;  // suffix of the folder claimed; nullptr: none
    const char* message;   // the message contains it
  } cases[] = {
      {"free folder", {}, {}, 99, "", ""},
      {"held", {""}, {}, 99, " 2", " is in use by another Brevane (pid "},
      {"held with its first sibling", {"", " 2"}, {}, 99, " 3", "; this run writes to "},
      {"only a sibling held", {" 2"}, {}, 99, "", ""},
      {"stale lock taken over", {}, {""}, 99, "", ""},
      {"stale sibling taken over", {""}, {" 2"}, 99, " 2", " is in use"},
      {"every sibling held", {"", " 2"}, {}, 2, nullptr, "cannot be written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString wanted = dir.filePath("data");
    std::vector<std::unique_ptr<QLockFile>> others;
    for (const QString& suffix : c.held) {
      ASSERT_TRUE(QDir().mkpath(wanted + suffix));
      others.push_back(std::make_unique<QLockFile>(lock_path(wanted + suffix)));
      ASSERT_TRUE(others.back()->tryLock(0));
    }
    for (const QString& suffix : c.stale) leave_stale_lock(wanted + suffix);

    const data_folder_claim claim = claim_data_folder(wanted, c.max_siblings);
    if (!c.expected) {
      EXPECT_TRUE(claim.path.isEmpty());
      EXPECT_FALSE(claim.lock);
    } else {
      EXPECT_EQ(claim.path, wanted + c.expected);
      ASSERT_TRUE(claim.lock && claim.lock->isLocked());
      EXPECT_TRUE(QFile::exists(lock_path(claim.path)));
    }
    EXPECT_NE(claim.message.find(c.message), std::string::npos) << claim.message;
    if (*c.message == '\0') {
      EXPECT_EQ(claim.message, "");
    }
    if (c.held.contains(QString())) {
      EXPECT_NE(claim.message.find(std::to_string(QCoreApplication::applicationPid())),
                std::string::npos)
          << "the owner's pid is named: " << claim.message;
    }
  }
}

TEST(DataFolder, IsMadeWhenMissingAndReleasedWithTheClaim) {
  QTemporaryDir dir;
  const QString wanted = dir.filePath("a/b/data");
  {
    const data_folder_claim claim = claim_data_folder(wanted);
    EXPECT_EQ(claim.path, wanted);
    EXPECT_TRUE(QFile::exists(lock_path(wanted)));
    // The same process asking again is a second writer too.
    EXPECT_EQ(claim_data_folder(wanted).path, wanted + " 2");
  }
  EXPECT_FALSE(QFile::exists(lock_path(wanted))) << "released at the end of the run";
  EXPECT_EQ(claim_data_folder(wanted).path, wanted);
}

TEST(DataFolder, AFolderThatCannotBeUsedIsRefusedWithItsName) {
  QTemporaryDir dir;
  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  // Checked even as root: nothing can be made under a plain file, and a plain file is no folder.
  for (const QString& wanted : {dir.filePath("blocker/data"), dir.filePath("blocker")}) {
    SCOPED_TRACE(wanted.toStdString());
    const data_folder_claim claim = claim_data_folder(wanted);
    EXPECT_TRUE(claim.path.isEmpty());
    EXPECT_NE(claim.message.find("The data folder " + wanted.toStdString() + " cannot be used ("),
              std::string::npos)
        << claim.message;
    EXPECT_FALSE(QFile::exists(wanted + " 2")) << "no sibling stands in for a refused folder";
  }
}

}  // namespace
}  // namespace brevane
