#include "device/report_trace.h"

#include <cerrno>
#include <system_error>

namespace brevane::device {

namespace {

// std::strerror may share its buffer between threads; the category's text does not.
std::string error_text(int number) {
  return std::generic_category().message(number);
}

}  // namespace

report_trace::~report_trace() {
  close();
}

void report_trace::close() {
  if (!file_) return;
  // Every line was flushed as written; a failing close can lose nothing of them.
  if (std::fclose(file_) != 0 && !failed_ && on_failure)
    on_failure("The trace file " + path_ + " could not be closed (" + error_text(errno) + ")");
  file_ = nullptr;
}

std::string report_trace::open(const std::string& path, const std::string& header) {
  close();
  failed_ = false;
  lines_ = 0;
  path_ = path;
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) return "cannot open the trace file " + path + ": " + error_text(errno);
  if (!header.empty() && !put("# " + header + '\n')) {
    const int why = errno;
    close();
    return "cannot write the trace file " + path + ": " + error_text(why);
  }
  return {};
}

std::string report_trace::format(const char* direction, std::span<const std::uint8_t> report) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string text = direction;
  text.reserve(text.size() + report.size() * 3);
  for (auto b : report) {
    text += ' ';
    text += hex[b >> 4];
    text += hex[b & 0xf];
  }
  return text;
}

void report_trace::comment(const std::string& text) {
  if (!file_ || failed_) return;
  put("# " + text + '\n');
}

void report_trace::line(const char* direction, std::span<const std::uint8_t> report) {
  if (!file_ || failed_) return;
  put(format(direction, report) + '\n');
}

bool report_trace::put(const std::string& text) {
  errno = 0;
  // Flushed at once: outside tools follow the file while the program runs.
  const bool ok =
      std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0;
  if (ok) {
    ++lines_;
    return true;
  }
  // A trace with a hole in it would replay as a different session; one that stops at a
  // known line is honest, so nothing more is written.
  const int why = errno;
  failed_ = true;
  if (on_failure) {
    on_failure("The trace file " + path_ + " could not be written (" +
               (why ? error_text(why) : std::string("write error")) + "); it stops after " +
               std::to_string(lines_) + " whole lines");
  }
  return false;
}

}  // namespace brevane::device
