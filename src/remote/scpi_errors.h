#pragma once
// The standard error numbers of the remote interface and the queue SYSTem:ERRor? reads.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace brevane::remote {

enum class scpi_error {
  none = 0,
  command = -100,
  data_type = -104,
  parameter_not_allowed = -108,
  missing_parameter = -109,
  undefined_header = -113,
  header_suffix = -114,
  execution = -200,
  data_out_of_range = -222,
  illegal_parameter = -224,
  queue_overflow = -350,
};

// "Undefined header" and the like: the standard's own words.
std::string_view error_text(scpi_error code);

struct error_entry {
  scpi_error code = scpi_error::none;
  std::string detail;
};

// `-113,"Undefined header;FOO:BAR"`, with quotes in the detail doubled and control characters
// blanked, so the answer stays one line whatever the detail holds.
std::string format_error(const error_entry& entry);

// At most this many bytes of a detail are kept; a client's text cannot grow the queue.
inline constexpr std::size_t max_detail_bytes = 120;

// Bounded, oldest first. A push onto a full queue turns its newest entry into -350, as
// instruments do, so the first errors, which usually explain the rest, survive.
class error_queue {
 public:
  static constexpr std::size_t capacity = 20;

  void push(scpi_error code, std::string_view detail);
  // The oldest entry, or 0 "No error" when there is none.
  error_entry pop();
  void clear() { entries_.clear(); }
  std::size_t size() const { return entries_.size(); }

 private:
  std::deque<error_entry> entries_;
};

// Cuts text to at most max bytes without splitting a UTF-8 character.
std::string cut_utf8(std::string_view text, std::size_t max);

}  // namespace brevane::remote
