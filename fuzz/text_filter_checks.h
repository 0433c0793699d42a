#pragma once
// Runs arbitrary data, read as UTF-8, through the five text filters in both forms and checks
// each output against the characters its filter allows and the length it may have. Used by
// the fuzz target and by its regression tests.
//
// Data that starts with 0xff, 0xfc to 0xff is a long text: the rest padded to 32765 to 32768
// characters, around the length at which four of the filters give up. The two-byte mark keeps
// such inputs rare, as each takes milliseconds.

#include <QList>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "logging/text_filters.h"

namespace brevane::fuzzing {

inline constexpr qsizetype filter_length_limit = 32767;  // characters; from here on, overflow

struct text_filter {
  const char* name;
  QString (*filter)(const QString&);
  void (*in_place)(std::string&);
  bool bounded;  // throws overflow_error for long texts
  // Appends what one character becomes.
  void (*map)(char32_t, QString&);
  // Whether an output character is allowed.
  bool (*allowed)(QChar);
  // Largest output length per input character.
  qsizetype growth;
};

inline bool ascii_digit(char32_t c) {
  return c >= U'0' && c <= U'9';
}
inline bool ascii_lower(char32_t c) {
  return c >= U'a' && c <= U'z';
}
inline bool ascii_upper(char32_t c) {
  return c >= U'A' && c <= U'Z';
}
inline bool ascii_alnum(char32_t c) {
  return ascii_digit(c) || ascii_lower(c) || ascii_upper(c);
}
inline QChar one(char32_t c) {
  return QChar(static_cast<char16_t>(c));
}

inline const std::vector<text_filter>& text_filters() {
  static const std::vector<text_filter> filters = {
      {"numstring", &numstring, &numstring, true,
       [](char32_t c, QString& out) {
         if (ascii_digit(c) || c == U'.') out += one(c);
       },
       [](QChar c) { return ascii_digit(c.unicode()) || c == u'.'; }, 1},
      {"swapstring", &swapstring, &swapstring, false,
       [](char32_t c, QString& out) { out += c == U' ' || ascii_alnum(c) ? one(c) : QChar(u'_'); },
       [](QChar c) { return c == u' ' || c == u'_' || ascii_alnum(c.unicode()); }, 1},
      {"dString", &dString, &dString, true,
       [](char32_t c, QString& out) {
         if (c == U' ' || ascii_alnum(c)) out += one(c);
       },
       [](QChar c) { return c == u' ' || ascii_alnum(c.unicode()); }, 1},
      {"CString", &CString, &CString, true,
       [](char32_t c, QString& out) {
         if (ascii_alnum(c))
           out += one(c);
         else if (c == U' ')
           out += u"%20";
       },
       [](QChar c) { return c == u'%' || ascii_alnum(c.unicode()); }, 3},
      {"eString", &eString, &eString, true,
       [](char32_t c, QString& out) {
         if (ascii_lower(c) || ascii_digit(c) || c == U'?') out += one(c);
       },
       [](QChar c) { return c == u'?' || ascii_lower(c.unicode()) || ascii_digit(c.unicode()); },
       1},
  };
  return filters;
}

inline QString shown(const QString& text) {
  const QString head = text.left(40);
  return "\"" + head + (text.size() > head.size() ? "...\"" : "\"") + " (" +
         QString::number(text.size()) + " units)";
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_text_filters(std::span<const std::uint8_t> data) {
  const bool long_text = data.size() >= 2 && data[0] == 0xff && data[1] >= 0xfc;
  const auto rest = data.subspan(std::min<std::size_t>(data.size(), long_text ? 2 : 1));
  std::string bytes(reinterpret_cast<const char*>(rest.data()), rest.size());
  QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  const QList<uint> ucs4 = text.toUcs4();
  std::u32string characters(ucs4.begin(), ucs4.end());
  if (long_text) {
    // The filler is the same every time, so long texts reach no branch that short ones miss
    // and the fuzzer keeps few of them.
    const std::size_t target = 32765 + (data[1] & 0x03);
    if (characters.size() < target) characters.append(target - characters.size(), U'~');
    text = QString::fromUcs4(characters.data(), static_cast<qsizetype>(characters.size()));
    bytes = text.toStdString();
  }
  const auto n = static_cast<qsizetype>(characters.size());
  const bool too_long = n >= filter_length_limit;

  for (const text_filter& f : text_filters()) {
    const std::string at = std::string(f.name) + " of " + shown(text).toStdString() + ": ";
    bool threw = false;
    QString got;
    try {
      got = f.filter(text);
    } catch (const overflow_error&) {
      threw = true;
    }
    if (threw != (f.bounded && too_long))
      return at + (threw ? "overflow for " : "no overflow for ") + std::to_string(n) +
             " characters";
    if (!threw) {
      for (QChar c : got) {
        if (!f.allowed(c))
          return at + "output holds U+" + QString::number(c.unicode(), 16).toStdString();
      }
      if (f.growth == 1 && f.bounded && got.size() > n) return at + "output longer than input";
      if (!f.bounded && got.size() != n) return at + "output length differs from the input's";
      if (got.size() > f.growth * n) return at + "output too long";
      QString want;
      want.reserve(text.size() * f.growth);
      for (char32_t c : characters) f.map(c, want);
      if (got != want) return at + "output " + shown(got).toStdString();
    }

    // The in-place form reads the bytes as UTF-8 too, and keeps them when it fails.
    std::string tem = bytes;
    bool tem_threw = false;
    try {
      f.in_place(tem);
    } catch (const overflow_error&) {
      tem_threw = true;
    }
    if (tem_threw != threw) return at + "the in-place form disagrees about the overflow";
    if (tem_threw && tem != bytes) return at + "the in-place form changed the text and threw";
    if (!tem_threw && tem != got.toStdString()) return at + "the in-place form gave another text";
  }
  return {};
}

}  // namespace brevane::fuzzing
