#include "remote/line_buffer.h"

namespace brevane::remote {

// False for a byte that cannot be part of a line of text.
bool line_buffer::character_byte(unsigned char b) {
  if (pending_ > 0) {
    if (b < low_ || b > high_) return false;
    if (after_c2_ && b < 0xa0) return false;
    low_ = 0x80;
    high_ = 0xbf;
    after_c2_ = false;
    --pending_;
    return true;
  }
  if (b < 0x80) return b >= 0x20 ? b != 0x7f : b == '\t' || b == '\r';
  // The first byte of a sequence fixes its length and keeps out overlong forms, surrogates
  // and code points past U+10FFFF.
  low_ = 0x80;
  high_ = 0xbf;
  if (b >= 0xc2 && b <= 0xdf) {
    pending_ = 1;
    after_c2_ = b == 0xc2;
  } else if (b >= 0xe0 && b <= 0xef) {
    pending_ = 2;
    if (b == 0xe0) low_ = 0xa0;
    if (b == 0xed) high_ = 0x9f;
  } else if (b >= 0xf0 && b <= 0xf4) {
    pending_ = 3;
    if (b == 0xf0) low_ = 0x90;
    if (b == 0xf4) high_ = 0x8f;
  } else {
    return false;
  }
  return true;
}

line_buffer::status line_buffer::feed(std::string_view bytes,
                                      const std::function<void(std::string&&)>& take) {
  if (status_ != status::ok) return status_;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '\n' && pending_ == 0) {
      partial_.append(bytes.substr(begin, i - begin));
      begin = i + 1;
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      if (partial_.size() > max_line_bytes) return status_ = status::too_long;
      std::string line;
      line.swap(partial_);
      take(std::move(line));
      continue;
    }
    if (!character_byte(b)) return status_ = status::not_text;
    // A CR that may yet be followed by its LF is not counted.
    if (partial_.size() + (i - begin) > max_line_bytes) return status_ = status::too_long;
  }
  partial_.append(bytes.substr(begin));
  return status_;
}

}  // namespace brevane::remote
