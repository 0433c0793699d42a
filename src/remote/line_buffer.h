#pragma once
// Cuts a client's bytes into lines and holds it to text: a line longer than the bound, a NUL,
// a control byte other than TAB, CR and LF, or bytes that are not UTF-8 end the connection.
// Control bytes are caught as they arrive; a line is let through only once it is complete.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace brevane::remote {

inline constexpr std::size_t max_line_bytes = std::size_t{64} * 1024;

class line_buffer {
 public:
  enum class status { ok, too_long, not_text };

  // Takes more bytes and hands each complete line, without its LF and a CR before it, to
  // take. After anything but ok the buffer takes nothing more.
  status feed(std::string_view bytes, const std::function<void(std::string&&)>& take);

 private:
  bool character_byte(unsigned char b);

  std::string partial_;
  status status_ = status::ok;
  // UTF-8 in progress: continuation bytes still to come and the range the next one must be in.
  int pending_ = 0;
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xbf;
  bool after_c2_ = false;  // C2 leads U+0080 to U+00BF, whose first 32 are control characters
};

}  // namespace brevane::remote
