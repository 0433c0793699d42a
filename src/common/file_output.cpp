#include "common/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <system_error>
#include <vector>
#if defined(_WIN32)
#include <io.h>

#include <filesystem>
#else
#include <unistd.h>
#endif

#include "common/temporary_file.h"

namespace brevane::files {

namespace {

// The few system calls used here, under one name on every platform.
#if defined(_WIN32)
using file_size = __int64;
int sys_open(const QString& path, int flags, int mode) {
  return ::_wopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                  flags | _O_BINARY | _O_NOINHERIT, mode);
}
long long sys_write(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size > 0x40000000 ? 0x40000000 : size));
}
int sys_sync(int fd) {
  return ::_commit(fd);
}
int sys_truncate(int fd, file_size size) {
  return ::_chsize_s(fd, size) == 0 ? 0 : -1;
}
int sys_close(int fd) {
  return ::_close(fd);
}
bool sys_regular(int fd, file_size* size) {
  struct _stat64 s {};
  if (::_fstat64(fd, &s) != 0) return false;
  *size = s.st_size;
  return (s.st_mode & _S_IFMT) == _S_IFREG;
}
constexpr int append_flags = _O_WRONLY | _O_CREAT | _O_APPEND;
constexpr int new_flags = _O_WRONLY | _O_CREAT | _O_EXCL;
#else
using file_size = off_t;
int sys_open(const QString& path, int flags, int mode) {
  return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode);
}
long long sys_write(int fd, const char* data, std::size_t size) {
  return ::write(fd, data, size);
}
int sys_sync(int fd) {
#if defined(__APPLE__)
  return ::fsync(fd);
#else
  return ::fdatasync(fd);
#endif
}
int sys_truncate(int fd, file_size size) {
  return ::ftruncate(fd, size);
}
int sys_close(int fd) {
  return ::close(fd);
}
bool sys_regular(int fd, file_size* size) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return false;
  *size = s.st_size;
  return S_ISREG(s.st_mode);
}
constexpr int append_flags = O_WRONLY | O_CREAT | O_APPEND;
constexpr int new_flags = O_WRONLY | O_CREAT | O_EXCL;
#endif

// 0, or the error number of the first failing write.
int write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const long long n = sys_write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::string failed(int error_number) {
  return reason(error_number != 0 ? error_number : EIO);
}

// Far more than any folder holds of one name; it only bounds the search.
constexpr int max_number = 9999;

QString folder_of(const QString& path) {
  return QFileInfo(path).absolutePath();
}

// Syncs a file that was written by name, so the rename never publishes an empty file.
std::string sync_file(const QString& path) {
  const int fd = sys_open(path, O_WRONLY, 0);
  if (fd < 0) return failed(errno);
  std::string why;
  if (sys_sync(fd) != 0) why = failed(errno);
  if (sys_close(fd) != 0 && why.empty()) why = failed(errno);
  return why;
}

std::string rename_over(const QString& from, const QString& to) {
#if defined(_WIN32)
  std::error_code error;
  std::filesystem::rename(from.toStdWString(), to.toStdWString(), error);
  return error ? error.message() : std::string();
#else
  if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
    return failed(errno);
  return {};
#endif
}

}  // namespace

std::string reason(int error_number) {
  // The category's text does not share a buffer between threads, as strerror may.
  return std::generic_category().message(error_number);
}

bool ignore_size_limit_signal() {
#if defined(SIGXFSZ)
  return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
#else
  return true;
#endif
}

std::string check_target(const QString& target) {
#if !defined(_WIN32)
  // The name itself, not what a link points to: a link is never written through, for whoever
  // owns the link would choose the file (the kernel's protection of links in shared folders
  // only guards links it follows itself).
  struct stat s {};
  if (::lstat(QFile::encodeName(target).constData(), &s) != 0) return {};
  if (S_ISLNK(s.st_mode))
    return "it is a symbolic link, which is left as it is rather than written through; name "
           "the file itself";
  if (S_ISREG(s.st_mode)) return {};
  if (S_ISDIR(s.st_mode)) return "it is a folder";
#else
  const QFileInfo info(target);
  if (!info.exists() || info.isFile()) return {};
  if (info.isDir()) return "it is a folder";
#endif
  return "it is not a regular file (a device, a FIFO or a socket), so it is left as it is";
}

std::string write_whole_by_name(const QString& target,
                                const std::function<std::string(const QString&)>& fill) {
  if (std::string why = check_target(target); !why.empty()) return why;
  const QString absolute = QFileInfo(target).absoluteFilePath();
  temporary_file temporary;
  if (std::string why = temporary.create_beside(absolute); !why.empty()) return why;
  std::string why = fill(temporary.path());
  if (why.empty()) why = sync_file(temporary.path());
  if (why.empty()) {
    // The new file takes the old one's permissions, as an edit in place would keep them.
    if (QFileInfo::exists(absolute))
      QFile::setPermissions(temporary.path(), QFile::permissions(absolute));
    // rename replaces the name itself: a link put there meanwhile is replaced, not followed.
    why = rename_over(temporary.path(), absolute);
  }
  if (!why.empty()) return why;  // the temporary file goes with temporary
  temporary.kept();
  return sync_folder(folder_of(absolute));
}

std::string write_whole(const QString& target, const QByteArray& bytes) {
  return write_whole_by_name(target, [&bytes](const QString& temporary) {
    output_file file;
    std::string why = file.open_append(temporary);
    if (why.empty()) why = file.append(std::string_view(bytes.constData(), bytes.size()));
    const std::string closed = file.close();
    return why.empty() ? closed : why;
  });
}

QByteArray encode_image(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return {};
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) return {};
  return bytes;
}

std::string sync_folder(const QString& path) {
#if defined(_WIN32)
  (void)path;  // NTFS keeps its entries with the file's own sync
  return {};
#else
  const int fd = sys_open(path, O_RDONLY | O_DIRECTORY, 0);
  if (fd < 0) return failed(errno);
  std::string why;
  // Some file systems cannot sync a folder at all; that is no failure of ours.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) why = failed(errno);
  if (sys_close(fd) != 0 && why.empty()) why = failed(errno);
  return why;
#endif
}

std::string make_folder(const QString& path) {
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  // The missing folders, innermost first.
  std::vector<QString> missing;
  for (QString p = absolute; !QFileInfo::exists(p); p = folder_of(p)) {
    missing.push_back(p);
    if (folder_of(p) == p) break;
  }
  if (missing.empty())
    return QFileInfo(absolute).isDir() ? std::string() : std::string("it is not a folder");
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
#if defined(_WIN32)
    const bool made = QDir().mkdir(*it);
    const int error = made ? 0 : EACCES;
#else
    // The system's own reason: a read-only file system is no missing permission.
    const bool made = ::mkdir(QFile::encodeName(*it).constData(), 0777) == 0;
    const int error = made ? 0 : errno;
#endif
    if (!made) {
      // Another program may have made it meanwhile.
      if (QFileInfo(*it).isDir()) continue;
      const QFileInfo parent(folder_of(*it));
      if (error != ENAMETOOLONG && !parent.isDir())
        return "its parent " + QDir::toNativeSeparators(parent.filePath()).toStdString() +
               " is not a folder";
      return failed(error);
    }
    if (std::string why = sync_folder(folder_of(*it)); !why.empty()) return why;
  }
  return {};
}

QString numbered_name(const QString& wanted, int n) {
  if (n <= 1) return wanted;
  const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = wanted.lastIndexOf(QLatin1Char('.'));
  const QString number = QStringLiteral(" (%1)").arg(n);
  if (dot <= slash + 1) return wanted + number;  // no extension, or a dot-file
  return wanted.left(dot) + number + wanted.mid(dot);
}

new_file_result write_new_file(const QString& wanted, const QByteArray& bytes) {
  for (int n = 1; n <= max_number; ++n) {
    const QString name = numbered_name(wanted, n);
    output_file file;
    bool taken = false;
    std::string why = file.create_new(name, &taken);
    if (taken) continue;
    if (why.empty()) why = file.append(std::string_view(bytes.constData(), bytes.size()));
    const std::string closed = file.close();
    if (why.empty()) why = closed;
    if (why.empty()) return {name, QString()};
    // The file is ours and incomplete: a half picture must not pass for a whole one.
    if (file.path() == name) QFile::remove(name);
    return {QString(), name + QStringLiteral(": ") + QString::fromStdString(why)};
  }
  return {QString(),
          wanted + QStringLiteral(": every numbered name up to (%1) is taken").arg(max_number)};
}

output_file::~output_file() {
  close();
}

std::string output_file::open_with(const QString& path, int flags, bool* taken) {
  close();
  if (taken) *taken = false;
#if defined(_WIN32)
  const int fd = sys_open(path, flags, 0666);
#else
  // A FIFO would hold the open until a reader came, and then the program on every write.
  constexpr const char* fifo = "it is a FIFO or a socket, not a file";
  const int fd = sys_open(path, flags | O_NONBLOCK, 0666);
  if (fd < 0 && errno == ENXIO) {
    struct stat s {};
    if (::stat(QFile::encodeName(path).constData(), &s) == 0 && S_ISFIFO(s.st_mode)) return fifo;
  }
#endif
  if (fd < 0) {
    const int error = errno;
    if (taken && error == EEXIST) *taken = true;
    return failed(error);
  }
#if !defined(_WIN32)
  struct stat s {};
  if (::fstat(fd, &s) == 0 && (S_ISFIFO(s.st_mode) || S_ISSOCK(s.st_mode))) {
    sys_close(fd);
    return fifo;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
  fd_ = fd;
  path_ = path;
  file_size size = 0;
  regular_ = sys_regular(fd_, &size);
  return {};
}

std::string output_file::open_append(const QString& path) {
  return open_with(path, append_flags, nullptr);
}

std::string output_file::create_new(const QString& path, bool* taken) {
  return open_with(path, new_flags, taken);
}

std::string output_file::append(std::string_view text) {
  if (fd_ < 0) return reason(EBADF);
  file_size before = 0;
  if (regular_ && !sys_regular(fd_, &before)) return failed(errno);
  const int error = write_all(fd_, text.data(), text.size());
  if (error == 0) return {};
  // A torn piece would spoil the whole line it belongs to; the file ends where it did.
  if (regular_) (void)sys_truncate(fd_, before);
  return failed(error);
}

std::function<void(const QString&)>& sync_listener() {
  static std::function<void(const QString&)> listener;
  return listener;
}

void set_sync_listener(std::function<void(const QString& path)> listener) {
  sync_listener() = std::move(listener);
}

std::string output_file::sync() {
  if (fd_ < 0) return {};
  if (sys_sync(fd_) != 0 && errno != EINVAL) return failed(errno);
  if (const auto& listener = sync_listener()) listener(path_);
  return {};
}

std::string output_file::cut_back(long long size) {
  if (fd_ < 0) return reason(EBADF);
  if (sys_truncate(fd_, static_cast<file_size>(size)) != 0) return failed(errno);
  return sync();
}

bool output_file::removed() const {
#if defined(_WIN32)
  return false;  // an open file cannot be deleted there
#else
  struct stat s {};
  return fd_ >= 0 && regular_ && ::fstat(fd_, &s) == 0 && s.st_nlink == 0;
#endif
}

std::string output_file::close() {
  if (fd_ < 0) return {};
  const int fd = fd_;
  fd_ = -1;
  if (sys_close(fd) != 0 && errno != EINTR) return failed(errno);
  return {};
}

}  // namespace brevane::files
