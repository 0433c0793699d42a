#include "common/file_input.h"

#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#endif

namespace brevane::files {

namespace {

std::string not_a_file(bool folder, bool fifo, bool socket) {
  if (folder) return "it is a folder, not a file";
  if (fifo) return "it is a FIFO, not a file";
  if (socket) return "it is a socket, not a file";
  return "it is a device, not a file";
}

}  // namespace

open_result open_regular(const QString& path, QFile& file) {
  open_result r;
#if defined(Q_OS_UNIX)
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    r.error = std::generic_category().message(errno);
    return r;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    r.error = std::generic_category().message(errno);
    ::close(fd);
    return r;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    r.not_a_file =
        not_a_file(S_ISDIR(info.st_mode), S_ISFIFO(info.st_mode), S_ISSOCK(info.st_mode));
    return r;
  }
  // Reads of a regular file never wait; the flag only kept the open from blocking.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    r.error = file.errorString().toStdString();
  }
#else
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    r.not_a_file = not_a_file(info.isDir(), false, false);
    return r;
  }
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) r.error = file.errorString().toStdString();
#endif
  return r;
}

}  // namespace brevane::files
