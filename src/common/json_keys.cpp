#include "common/json_keys.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <vector>

namespace brevane {

namespace {

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

class string_reader {
 public:
  explicit string_reader(std::string_view s) : s_(s) {}

  // The string that starts at i (at its opening quote), decoded; i moves past its end.
  std::string read(std::size_t& i) const {
    std::string out;
    ++i;
    while (i < s_.size() && s_[i] != '"') {
      if (s_[i] != '\\' || i + 1 >= s_.size()) {
        out += s_[i++];
        continue;
      }
      const char e = s_[i + 1];
      i += 2;
      switch (e) {
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          char32_t c = hex4(i);
          // A surrogate pair is one character.
          if (c >= 0xd800 && c < 0xdc00 && s_.substr(i, 2) == "\\u") {
            std::size_t j = i + 2;
            const char32_t low = hex4(j);
            if (low >= 0xdc00 && low < 0xe000) {
              c = 0x10000 + ((c - 0xd800) << 10) + (low - 0xdc00);
              i = j;
            }
          }
          append_utf8(out, c);
          break;
        }
        default:
          out += e;  // \" \\ \/
      }
    }
    ++i;
    return out;
  }

 private:
  char32_t hex4(std::size_t& i) const {
    unsigned v = 0;
    const std::size_t n = std::min<std::size_t>(4, s_.size() - std::min(i, s_.size()));
    std::from_chars(s_.data() + i, s_.data() + i + n, v, 16);
    i += n;
    return v;
  }
  std::string_view s_;
};

struct frame {
  bool object = false;
  bool expecting_key = false;
  std::string name;  // the key it sits under
  std::set<std::string> keys;
};

}  // namespace

std::optional<duplicate_key> first_duplicate_key(std::string_view text) {
  const string_reader strings(text);
  std::vector<frame> open;
  std::string last_key;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '{' || c == '[') {
      // An array's elements take the array's name: "settings" stays "settings" inside a list.
      const std::string name = open.empty() || open.back().object ? last_key : open.back().name;
      open.push_back({c == '{', c == '{', name, {}});
      ++i;
    } else if (c == '}' || c == ']') {
      if (!open.empty()) open.pop_back();
      ++i;
    } else if (c == ',') {
      if (!open.empty() && open.back().object) open.back().expecting_key = true;
      ++i;
    } else if (c == '"') {
      std::string s = strings.read(i);
      if (!open.empty() && open.back().expecting_key) {
        frame& f = open.back();
        f.expecting_key = false;
        if (!f.keys.insert(s).second) return duplicate_key{std::move(s), f.name};
        last_key = std::move(s);
      }
    } else {
      ++i;
    }
  }
  return std::nullopt;
}

std::string duplicate_key_text(const duplicate_key& d) {
  std::string text = "\"" + d.key + "\" appears twice";
  if (!d.within.empty()) text += " in \"" + d.within + "\"";
  return text;
}

}  // namespace brevane
