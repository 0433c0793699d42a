#pragma once
// Reads a trace written with --trace back as a recorded session: its out and in reports and
// where the head went and came back, in file order. Every other "#" line is skipped, so
// traces written before the comments existed read the same.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_constants.h"

namespace brevane::device {

struct trace_step {
  enum class kind { out, in, unplugged, plugged };
  kind what = kind::out;
  int line = 0;  // 1-based, in the file
  // An out report's 11 bytes; an in report fills the first 9.
  std::array<std::uint8_t, output_report_size> bytes{};
};

struct recorded_session {
  std::vector<trace_step> steps;
  int reports = 0;  // out lines
};

// Lines longer than this are no trace lines; it also bounds what a stray binary file costs.
inline constexpr std::size_t trace_line_limit = 200;

// Reads trace lines one at a time. A line that is no trace line is refused with its number.
class trace_reader {
 public:
  // text without its line end. False, with error set to "line N: ...", when it is refused.
  bool add_line(std::string_view text, std::string* error);
  int lines() const { return line_; }
  recorded_session take() { return std::move(session_); }

 private:
  recorded_session session_;
  int line_ = 0;
  bool has_reports_ = false;
};

// The whole text of a trace; error is "line N: ..." on failure.
std::optional<recorded_session> parse_trace(std::string_view text, std::string* error);
// The trace in file path; error names the file (and the line) on failure. A file that holds
// no out report at all is refused too: there is nothing to replay.
std::optional<recorded_session> read_trace(const std::string& path, std::string* error);

// A report's bytes as a trace line shows them: "00 58 aa ...".
std::string hex_bytes(const std::uint8_t* bytes, std::size_t n);

}  // namespace brevane::device
