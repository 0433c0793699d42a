#include "device/report_trace.h"

#include <cerrno>
#include <cstring>

namespace brevane::device {

report_trace::~report_trace() {
  if (file_) std::fclose(file_);
}

std::string report_trace::open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) return "cannot open the trace file " + path + ": " + std::strerror(errno);
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

void report_trace::line(const char* direction, std::span<const std::uint8_t> report) {
  if (!file_) return;
  const std::string text = format(direction, report) + '\n';
  std::fwrite(text.data(), 1, text.size(), file_);
  // Outside tools follow the file while the program runs.
  std::fflush(file_);
}

}  // namespace brevane::device
