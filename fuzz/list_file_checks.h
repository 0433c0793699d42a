#pragma once
// Reads arbitrary data as a list file, as the upload does, and checks every line and entry.
// Used by the fuzz target and by its regression tests.
//
// The first byte chooses the keep limit: below 0x80 the upload's default, else 0 to 127, so
// that long lines are cut often. The rest is the file.

#include <QBuffer>
#include <QByteArray>
#include <cstdint>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "logging/list_upload.h"

namespace brevane::fuzzing {

inline std::string printable(const std::string& text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 0xf];
    }
  }
  return out + "\"";
}

// The lines a reader must return: split at LF, the last piece only when not empty; a CR
// right before the line end is part of the line end; then cut after keep characters.
inline std::vector<std::string> expected_lines(std::span<const std::uint8_t> file,
                                               std::size_t keep) {
  std::vector<std::string> lines;
  std::string piece;
  auto finish = [&] {
    if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    lines.push_back(piece.substr(0, keep));
    piece.clear();
  };
  for (std::uint8_t b : file) {
    if (b == '\n')
      finish();
    else
      piece += static_cast<char>(b);
  }
  if (!piece.empty()) finish();
  return lines;
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_list_file(std::span<const std::uint8_t> data) {
  const bool default_keep = data.empty() || data[0] < 0x80;
  const std::size_t keep = default_keep ? 64 : data[0] & 0x7f;
  const auto file = data.empty() ? data : data.subspan(1);
  QByteArray bytes(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return "the buffer did not open";

  const std::vector<std::string> want = expected_lines(file, keep);
  list_line_reader reader(buffer);
  std::size_t count = 0;
  while (auto line = default_keep ? reader.next() : reader.next(keep)) {
    const std::string at = "line " + std::to_string(count) + " " + printable(*line) + ": ";
    if (count >= want.size()) return at + "more lines than the file holds";
    if (line->size() > keep) return at + "longer than the keep limit " + std::to_string(keep);
    if (*line != want[count]) return at + "the file says " + printable(want[count]);
    const auto entry = list_entry_bytes(*line);
    static_assert(std::tuple_size_v<decltype(entry)> == 8);
    for (std::size_t i = 0; i < entry.size(); ++i) {
      const auto expected = static_cast<std::uint8_t>(i < line->size() ? (*line)[i] : ' ');
      if (entry[i] != expected) return at + "entry byte " + std::to_string(i) + " is wrong";
    }
    ++count;
  }
  if (count != want.size())
    return std::to_string(count) + " lines read, the file holds " + std::to_string(want.size());
  return {};
}

}  // namespace brevane::fuzzing
