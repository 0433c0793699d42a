#include "logging/data_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

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

// Holds the native lock on a lock file the way a living owner does from the moment it made it.
class native_holder {
 public:
  enum kind { none, this_process, other_process, after_a_moment };

  native_holder(kind k, const QString& path) : kind_(k) {
    const QByteArray name = QFile::encodeName(path);
    if (k == this_process || k == after_a_moment) {
      fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
      if (k == this_process) held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
      // An owner between making the file and locking it.
      if (k == after_a_moment) {
        late_ = std::thread([this] {
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          ::flock(fd_, LOCK_EX);
        });
      }
    } else if (k == other_process) {
      int ready[2], done[2];
      if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
      child_ = ::fork();
      if (child_ == 0) {
        ::close(ready[0]);
        ::close(done[1]);
        const int fd = ::open(name.constData(), O_RDONLY);
        char byte = ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(done[0], &byte, 1);  // until the parent is done
        ::_exit(0);
      }
      ::close(ready[1]);
      ::close(done[0]);
      char byte = 0;
      held_ = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
      ::close(ready[0]);
      release_ = done[1];
    }
  }
  ~native_holder() {
    if (late_.joinable()) late_.join();
    if (fd_ >= 0) ::close(fd_);
    if (child_ > 0) {
      ::close(release_);
      ::waitpid(child_, nullptr, 0);
    }
  }
  bool ready() const { return kind_ == none || kind_ == after_a_moment || held_; }

 private:
  kind kind_;
  int fd_ = -1;
  bool held_ = false;
  pid_t child_ = -1;
  int release_ = -1;
  std::thread late_;
};

qint64 pid_of_a_finished_process() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// A lock that names no owner is what a run that ended between making it and writing its pid
// leaves. Nobody living holds it, so it is taken over; one that a living owner holds, or is
// just taking, is not.
TEST(DataFolder, ALockNoLivingProgramHoldsIsTakenOver) {
  using holder = native_holder;
  const QByteArray dead_pid = QByteArray::number(pid_of_a_finished_process()) + "\nbrevane\n\n";
  const struct {
    const char* name;
    QByteArray contents;
    bool old;  // made an hour ago; else just now
    holder::kind held_by;
    const char* expected;  // suffix of the folder claimed
  } cases[] = {
      {"empty, left by a crash", "", true, holder::none, ""},
      {"empty, just made by a run that ended", "", false, holder::none, ""},
      {"garbage", "\x01\xffnot a pid\n", true, holder::none, ""},
      {"no pid on its first line", "\nbrevane\nhost\n", true, holder::none, ""},
      {"a negative pid", "-42\nbrevane\n", true, holder::none, ""},
      {"the pid of a finished process", dead_pid, true, holder::none, ""},
      {"empty, held by a living owner elsewhere", "", true, holder::other_process, " 2"},
      {"garbage, held in this process", "junk", true, holder::this_process, " 2"},
      {"empty, its owner locking it now", "", false, holder::after_a_moment, " 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString wanted = dir.filePath("data");
    ASSERT_TRUE(QDir().mkpath(wanted));
    QFile lock(lock_path(wanted));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(c.contents);
    ASSERT_TRUE(lock.flush());
    if (c.old) {
      ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                   QFileDevice::FileModificationTime));
    }
    lock.close();
    native_holder held(c.held_by, lock_path(wanted));
    ASSERT_TRUE(held.ready());

    const data_folder_claim claim = claim_data_folder(wanted);
    EXPECT_EQ(claim.path.toStdString(), (wanted + c.expected).toStdString()) << claim.message;
    ASSERT_TRUE(claim.lock && claim.lock->isLocked());
    if (*c.expected) {
      EXPECT_NE(claim.message.find(" is in use by another Brevane;"), std::string::npos)
          << claim.message;
    } else {
      EXPECT_EQ(claim.message, "");
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
  // A folder on a read-only file system says so, not "permission denied"; the mount needs root.
  const QString read_only = dir.filePath("read-only");
  QDir().mkdir(read_only);
  if (::mount("tmpfs", QFile::encodeName(read_only).constData(), "tmpfs", MS_RDONLY, nullptr) ==
      0) {
    const data_folder_claim claim = claim_data_folder(read_only);
    ::umount(QFile::encodeName(read_only).constData());
    EXPECT_NE(claim.message.find("cannot be used (Read-only file system)"), std::string::npos)
        << claim.message;
  }
}

}  // namespace
}  // namespace brevane
