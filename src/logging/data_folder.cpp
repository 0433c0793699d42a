#include "logging/data_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/file_output.h"

namespace brevane {

namespace {

enum class lock_outcome { taken, in_use, failed };

struct lock_attempt {
  lock_outcome outcome = lock_outcome::failed;
  folder_lock lock;
  qint64 owner_pid = 0;  // 0 when the owner could not be read
  std::string error;
};

// How long a living owner may take from making its lock file to holding it: it takes the
// native lock right after creating the file, so this is ample.
constexpr std::chrono::milliseconds owner_grace{1000};

enum class abandoned { yes, no, too_young };

// A lock file with no readable owner is what a run that ended between creating the file and
// writing its pid leaves, and Qt never takes it over: with no pid to test, only its age could
// make it stale, and the age says nothing when a lock lasts the whole run. A living owner,
// though, holds a native lock on the file from the moment after it made it. So the file is
// abandoned when nobody holds that lock, it still names no owner, and it is older than the
// moment between the two. It is removed while locked and only if it is still the file at
// the path, so that two runs cannot both take it over.
abandoned remove_if_abandoned(const QLockFile& lock) {
  const QString path = lock.fileName();
  const auto young = [&path] {
    const qint64 age = QFileInfo(path).lastModified().msecsTo(QDateTime::currentDateTime());
    return age < owner_grace.count() && age > -owner_grace.count();
  };
#if defined(Q_OS_UNIX)
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return abandoned::no;
  abandoned result = abandoned::no;
  struct stat opened = {};
  struct stat at_path = {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
      !lock.getLockInfo(nullptr, nullptr, nullptr)) {
    if (young()) {
      result = abandoned::too_young;
    } else if (::stat(name.constData(), &at_path) == 0 && at_path.st_dev == opened.st_dev &&
               at_path.st_ino == opened.st_ino && ::unlink(name.constData()) == 0) {
      result = abandoned::yes;
    }
  }
  ::close(fd);
  return result;
#else
  // Elsewhere a lock file cannot be removed while its owner holds it open.
  if (lock.getLockInfo(nullptr, nullptr, nullptr)) return abandoned::no;
  if (young()) return abandoned::too_young;
  return QFile::remove(path) ? abandoned::yes : abandoned::no;
#endif
}

lock_attempt try_lock(const QString& folder) {
  lock_attempt a;
  const QString lock_file = QDir(folder).filePath(data_folder_lock_name);
  folder_lock lock(new QLockFile(lock_file), release_folder_lock{lock_file});
  // The lock lasts the whole run, so age says nothing: only an owner that is gone makes it
  // stale, and tryLock takes such a lock over by itself when the file names it.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    a.outcome = lock_outcome::taken;
    a.lock = std::move(lock);
    return a;
  }
  if (lock->error() != QLockFile::LockFailedError) {
    a.error = lock->error() == QLockFile::PermissionError ? "permission denied"
                                                          : "its lock file cannot be made";
    return a;
  }
  a.outcome = lock_outcome::in_use;
  // An owner that has just made the file may not have written its pid yet.
  for (int tries = 0; tries < 5 && !lock->getLockInfo(&a.owner_pid, nullptr, nullptr); ++tries)
    QThread::msleep(20);
  if (a.owner_pid > 0) return a;
  abandoned left = remove_if_abandoned(*lock);
  if (left == abandoned::too_young) {
    // Give a living owner the time to lock it, then look once more.
    QThread::msleep(static_cast<unsigned long>(owner_grace.count()));
    left = remove_if_abandoned(*lock);
  }
  if (left == abandoned::yes && lock->tryLock(0)) {
    a.outcome = lock_outcome::taken;
    a.lock = std::move(lock);
  }
  return a;
}

QtMessageHandler handler_before = nullptr;

void without_lock_file_warning(QtMsgType type, const QMessageLogContext& context,
                               const QString& message) {
  if (message.contains(QLatin1String("our own lock file"))) return;
  if (handler_before) {
    handler_before(type, context, message);
  } else {
    (void)std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')),
                     stderr);
  }
}

QString native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

void release_folder_lock::operator()(QLockFile* lock) const {
  if (lock->isLocked() && !QFileInfo::exists(path)) {
    handler_before = qInstallMessageHandler(without_lock_file_warning);
    delete lock;
    qInstallMessageHandler(handler_before);
    return;
  }
  delete lock;
}

std::string make_writable_folder(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() && !info.isDir()) return "it is not a folder";
  if (std::string why = files::make_folder(path); !why.empty()) return why;
#if defined(Q_OS_UNIX)
  // The system's reason, asked of the file system itself: permission bits say nothing of a
  // read-only file system.
  if (::access(QFile::encodeName(path).constData(), W_OK) != 0) return files::reason(errno);
#else
  if (!QFileInfo(path).isWritable()) return "it is not writable";
#endif
  return {};
}

data_folder_claim claim_data_folder(const QString& wanted, int max_siblings) {
  data_folder_claim claim;
  // Full paths, so the working directory never matters later.
  const QString first = QDir::cleanPath(QFileInfo(wanted).absoluteFilePath());
  if (const std::string why = make_writable_folder(first); !why.empty()) {
    claim.message = "The data folder " + native(first).toStdString() + " cannot be used (" + why +
                    "); the data log and the image log cannot be written.";
    return claim;
  }
  lock_attempt held = try_lock(first);
  if (held.outcome == lock_outcome::failed) {
    claim.message = "The data folder " + native(first).toStdString() + " cannot be used (" +
                    held.error + "); the data log and the image log cannot be written.";
    return claim;
  }
  if (held.outcome == lock_outcome::taken) {
    claim.path = first;
    claim.lock = std::move(held.lock);
    return claim;
  }

  const std::string in_use =
      "The data folder " + native(first).toStdString() + " is in use by another Brevane" +
      (held.owner_pid > 0 ? " (pid " + std::to_string(held.owner_pid) + ")" : std::string());
  for (int n = 2; n <= max_siblings; ++n) {
    const QString sibling = first + QLatin1Char(' ') + QString::number(n);
    // A sibling that cannot be made or is held is passed over like a taken one.
    if (!make_writable_folder(sibling).empty()) continue;
    lock_attempt attempt = try_lock(sibling);
    if (attempt.outcome != lock_outcome::taken) continue;
    claim.path = sibling;
    claim.lock = std::move(attempt.lock);
    claim.message = in_use + "; this run writes to " + native(sibling).toStdString();
    return claim;
  }
  const std::string name = QFileInfo(first).fileName().toStdString();
  claim.message = in_use + ", and every folder from \"" + name + " 2\" to \"" + name + " " +
                  std::to_string(max_siblings) +
                  "\" beside it is in use or cannot be made; the data log and the image log "
                  "cannot be written.";
  return claim;
}

}  // namespace brevane
