#pragma once
// Appends every output report written and every input report stored to a text file, one
// line each, flushed as written: "out 00 58 aa ..." (11 bytes) or "in 00 ..." (9 bytes).

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace brevane::device {

class report_trace {
 public:
  report_trace() = default;
  ~report_trace();
  report_trace(const report_trace&) = delete;
  report_trace& operator=(const report_trace&) = delete;

  // Opens path for appending. Returns an error text, empty on success.
  std::string open(const std::string& path);
  bool is_open() const { return file_ != nullptr; }

  void out(std::span<const std::uint8_t> report) { line("out", report); }
  void in(std::span<const std::uint8_t> report) { line("in", report); }

  // The line for a report, as written to the file (without the newline).
  static std::string format(const char* direction, std::span<const std::uint8_t> report);

 private:
  void line(const char* direction, std::span<const std::uint8_t> report);
  std::FILE* file_ = nullptr;
};

}  // namespace brevane::device
