#include "common/temporary_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brevane::files {

namespace {

#if !defined(_WIN32)

// The names the signal handler removes: fixed storage, so the handler neither allocates nor
// takes a lock, and calls nothing but unlink, signal and raise.
struct held_name {
  volatile std::sig_atomic_t used = 0;
  char path[PATH_MAX] = {};
};
constexpr int held_count = 16;
held_name held_names[held_count];
std::atomic<bool> taking{false};  // guards the choice of a free slot between threads

extern "C" void remove_temporaries_and_end(int number) {
  for (int i = 0; i < held_count; ++i)
    if (held_names[i].used != 0) ::unlink(held_names[i].path);
  (void)::signal(number, SIG_DFL);
  (void)::raise(number);
}

// Ours only where the signal would end the program anyway: a handler the program set (the
// event loop's) is left alone, for the program then lives through the signal and cleans up.
void watch_signals() {
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    if (::sigaction(number, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
    struct sigaction ours {};
    ours.sa_handler = remove_temporaries_and_end;
    sigemptyset(&ours.sa_mask);
    ::sigaction(number, &ours, nullptr);
  }
}

int take_slot(const QByteArray& path) {
  if (path.size() >= PATH_MAX) return -1;
  while (taking.exchange(true, std::memory_order_acquire)) {
  }
  int found = -1;
  for (int i = 0; i < held_count && found < 0; ++i) {
    if (held_names[i].used != 0) continue;
    std::memcpy(held_names[i].path, path.constData(), static_cast<std::size_t>(path.size()) + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the name before the mark
    held_names[i].used = 1;
    found = i;
  }
  taking.store(false, std::memory_order_release);
  return found;
}

// A write lock on the open file description: held while the file is ours, and free once its
// owner is gone, however it went.
bool lock(int fd) {
#if defined(F_OFD_SETLK)
  struct flock l {};
  l.l_type = F_WRLCK;
  l.l_whence = SEEK_SET;
  return ::fcntl(fd, F_OFD_SETLK, &l) == 0;
#else
  (void)fd;
  return false;
#endif
}

#endif

QString stem_of(const QString& target) {
  const QFileInfo info(target);
  return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.');
}

}  // namespace

temporary_file::~temporary_file() {
  if (!path_.isEmpty()) QFile::remove(path_);
  forget();
}

void temporary_file::kept() {
  forget();
}

void temporary_file::forget() {
#if !defined(_WIN32)
  if (slot_ >= 0) held_names[slot_].used = 0;
  if (fd_ >= 0) ::close(fd_);
#endif
  slot_ = -1;
  fd_ = -1;
  path_.clear();
}

std::string temporary_file::create_beside(const QString& target) {
  forget();
  remove_stale_temporaries(target);
#if !defined(_WIN32)
  watch_signals();
#endif
  for (int tries = 0; tries < 100; ++tries) {
    const QString name =
        stem_of(target) + QStringLiteral("%1.part").arg(QRandomGenerator::global()->generate(), 8,
                                                        16, QLatin1Char('0'));
#if defined(_WIN32)
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      path_ = name;
      return {};
    }
    if (QFileInfo::exists(name)) continue;
    return file.errorString().toStdString();
#else
    const QByteArray encoded = QFile::encodeName(name);
    // No signal between the file's making and its name's taking: it would leave the file.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, number);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before);
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = errno;
    if (fd >= 0) slot_ = take_slot(encoded);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) {
      if (error == EEXIST) continue;
      return std::generic_category().message(error);
    }
    path_ = name;
    fd_ = fd;
    lock(fd);
    return {};
#endif
  }
  return "no free name for a temporary file in " +
         QDir::toNativeSeparators(QFileInfo(target).absolutePath()).toStdString();
}

int remove_stale_temporaries(const QString& target) {
  int removed = 0;
#if !defined(_WIN32) && defined(F_OFD_SETLK)
  const QFileInfo info(target);
  const QDir folder = info.absoluteDir();
  const QRegularExpression ours(QRegularExpression::anchoredPattern(
      QLatin1Char('.') + QRegularExpression::escape(info.fileName()) +
      QStringLiteral("\\.[0-9a-f]{8}\\.part")));
  const QStringList candidates = folder.entryList(
      {QLatin1Char('.') + info.fileName() + QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
  for (const QString& name : candidates) {
    if (!ours.match(name).hasMatch()) continue;
    const QByteArray path = QFile::encodeName(folder.filePath(name));
    const int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {
    }, named{};
    // Only the very file that was found unlocked is removed, and only a regular file.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && lock(fd) &&
        ::lstat(path.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino && ::unlink(path.constData()) == 0)
      ++removed;
    ::close(fd);
  }
#else
  (void)target;
#endif
  return removed;
}

}  // namespace brevane::files
