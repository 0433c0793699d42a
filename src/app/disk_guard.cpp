#include "app/disk_guard.h"

#include <QFile>
#if defined(_WIN32)
#include <QStorageInfo>
#endif
#include <algorithm>
#include <string>

#if !defined(_WIN32)
#include <sys/statvfs.h>
#endif

namespace brevane {

namespace {

// A fast sweep on the simulated head writes some megabytes a second.
constexpr int check_interval_ms = 50;
// The margin also covers what the sweep writes between two looks, several times over.
constexpr qint64 intervals_of_margin = 4;

std::optional<qint64> system_free_bytes(const QString& folder) {
#if !defined(_WIN32)
  // One system call: QStorageInfo reads the whole mount table first, 20 times a second here.
  struct statvfs fs {};
  if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return std::nullopt;
  return static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize);
#else
  QStorageInfo storage(folder);
  if (!storage.isValid() || !storage.isReady()) return std::nullopt;
  return storage.bytesAvailable();
#endif
}

// In kilobytes, so a free space just under the margin never reads as equal to it.
std::string kilobytes(qint64 bytes) {
  return std::to_string(bytes / 1024) + " KB";
}

}  // namespace

disk_guard::disk_guard(std::function<QString()> folder,
                       std::function<void(const std::string&)> stop,
                       std::function<std::optional<qint64>(const QString&)> free_bytes)
    : folder_(std::move(folder)),
      stop_(std::move(stop)),
      free_bytes_(free_bytes ? std::move(free_bytes) : system_free_bytes) {
  timer_.setInterval(check_interval_ms);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { check(); });
}

void disk_guard::sweep_began() {
  stopped_ = false;
  last_free_.reset();
  timer_.start();
  check();
}

void disk_guard::sweep_ended() {
  timer_.stop();
}

void disk_guard::check() {
  if (stopped_) return;
  const QString folder = folder_();
  if (folder.isEmpty()) return;
  const std::optional<qint64> free = free_bytes_(folder);
  if (!free) return;
  const qint64 used = last_free_ ? std::max<qint64>(0, *last_free_ - *free) : 0;
  last_free_ = free;
  const qint64 margin = std::max(min_free_bytes, used * intervals_of_margin);
  if (*free >= margin) return;
  stopped_ = true;
  stop_("the disk of the data folder has " + kilobytes(*free) +
        " free; the sweep stopped to keep " + kilobytes(margin) + " free");
}

}  // namespace brevane
