#pragma once
// Appends every output report written and every input report stored to a text file, one
// line each, flushed as written: "out 00 58 aa ..." (11 bytes) or "in 00 ..." (9 bytes).
// Lines starting with "#" are comments: the program and head it came from, and where the head
// went and came back.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/file_output.h"
#include "model/kept_account.h"

namespace brevane::device {

class report_trace {
 public:
  report_trace() = default;
  ~report_trace();
  report_trace(const report_trace&) = delete;
  report_trace& operator=(const report_trace&) = delete;

  // Opens path for appending and, when header is given, writes it as the first comment.
  // Returns an error text, empty on success.
  std::string open(const std::string& path, const std::string& header = {});
  bool is_open() const { return file_.is_open(); }

  void out(std::span<const std::uint8_t> report) { line("out", report); }
  void in(std::span<const std::uint8_t> report) { line("in", report); }
  // Writes "# text".
  void comment(const std::string& text);

  // Told once, on the first write that fails; nothing more is written after it, and the file
  // ends at its last whole line.
  std::function<void(const std::string& message)> on_failure;
  bool failed() const { return failed_; }
  // The lines that could not be written.
  kept_account& kept() { return kept_; }
  const kept_account& kept() const { return kept_; }

  // The line for a report, as written to the file (without the newline).
  static std::string format(const char* direction, std::span<const std::uint8_t> report);

 private:
  void close();
  void line(const char* direction, std::span<const std::uint8_t> report);
  bool put(const std::string& text);
  void fail(long lines_lost, const std::string& message);
  files::output_file file_;
  std::string path_;
  long lines_ = 0;
  bool failed_ = false;
  kept_account kept_;
};

}  // namespace brevane::device
