#include "logging/scan_record_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/line_splitter.h"
#include "logging/scan_record_fields.h"
#include "logging/scan_record_lines.h"

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#endif

namespace brevane {

namespace {

// What a path that is no regular file names instead; empty for a regular file.
std::string not_a_file(bool folder, bool fifo, bool socket) {
  if (folder) return "it is a folder, not a file";
  if (fifo) return "it is a FIFO, not a file";
  if (socket) return "it is a socket, not a file";
  return "it is a device, not a file";
}

// Opens path for reading when it is a regular file. A device, a FIFO or a folder could block
// the open or never end, so it is refused, with the reason in refusal; a system error goes to
// read_error.
bool open_regular_file(const QString& path, QFile& file, std::string* refusal,
                       std::string* read_error) {
#if defined(Q_OS_UNIX)
  // Not blocking: opening a FIFO would otherwise wait for a writer. The type is taken from the
  // very file opened, so nothing can swap it in between.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *read_error = std::generic_category().message(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    *read_error = std::generic_category().message(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    *refusal = not_a_file(S_ISDIR(info.st_mode), S_ISFIFO(info.st_mode), S_ISSOCK(info.st_mode));
    return false;
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    *read_error = file.errorString().toStdString();
    return false;
  }
  return true;
#else
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    *refusal = not_a_file(info.isDir(), false, false);
    return false;
  }
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *read_error = file.errorString().toStdString();
    return false;
  }
  return true;
#endif
}

std::string named(const QString& path) {
  return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

std::optional<scan_record> read_scan_record(const QString& path, std::string* refusal) {
  std::string why, read_error;
  QFile file;
  if (!open_regular_file(path, file, &why, &read_error)) {
    if (refusal)
      *refusal = named(path) +
                 (why.empty() ? " cannot be read: " + read_error : " is not a scan record: " + why);
    return std::nullopt;
  }
  scan_record_parser parser;
  line_splitter lines(scan_record_line_limit);
  const auto add = [&](std::string_view line, bool too_long) {
    return parser.add_line(line, too_long, &why);
  };
  std::vector<char> chunk(1 << 16);
  bool refused = false;
  for (;;) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) {
      read_error = file.errorString().toStdString();
      break;
    }
    if (n == 0) break;
    if (!lines.add(std::string_view(chunk.data(), static_cast<std::size_t>(n)), add)) {
      refused = true;
      break;
    }
  }
  refused = refused || !lines.finish(add);
  std::optional<scan_record> record;
  if (!refused) record = parser.finish(read_error, &why);
  if (!record && refusal) *refusal = named(path) + " is not a scan record: " + why;
  return record;
}

std::optional<scan_record> parse_scan_record(std::string_view bytes, const std::string& name,
                                             std::string* refusal) {
  scan_record_parser parser;
  line_splitter lines(scan_record_line_limit);
  std::string why;
  const auto add = [&](std::string_view line, bool too_long) {
    return parser.add_line(line, too_long, &why);
  };
  std::optional<scan_record> record;
  if (lines.add(bytes, add) && lines.finish(add)) record = parser.finish({}, &why);
  if (!record && refusal) *refusal = name + " is not a scan record: " + why;
  return record;
}

std::string scan_record_ending(const scan_record& record) {
  return record.end ? scan_record_fields::end_name(record.end->how) : "ended unexpectedly";
}

std::vector<recorded_reading> cycle_readings(const scan_record& record, int cycle) {
  if (cycle == 0) {
    for (auto it = record.readings.rbegin(); it != record.readings.rend(); ++it)
      if (it->event.cycle > 0) {
        cycle = it->event.cycle;
        break;
      }
    if (cycle == 0) return {};
  }
  std::vector<recorded_reading> out;
  for (const recorded_reading& r : record.readings)
    if (r.event.cycle == cycle) out.push_back(r);
  return out;
}

}  // namespace brevane
