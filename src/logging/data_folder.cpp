#include "logging/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include "common/file_output.h"

namespace brevane {

namespace {

enum class lock_outcome { taken, in_use, failed };

struct lock_attempt {
  lock_outcome outcome = lock_outcome::failed;
  std::unique_ptr<QLockFile> lock;
  qint64 owner_pid = 0;  // 0 when the owner could not be read
  std::string error;
};

lock_attempt try_lock(const QString& folder) {
  lock_attempt a;
  auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(data_folder_lock_name));
  // The lock lasts the whole run, so age says nothing: only an owner that is gone makes it
  // stale, and tryLock takes such a lock over by itself.
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
  return a;
}

QString native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

std::string make_writable_folder(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() && !info.isDir()) return "it is not a folder";
  if (std::string why = files::make_folder(path); !why.empty()) return why;
  if (!QFileInfo(path).isWritable()) return "it is not writable";
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
