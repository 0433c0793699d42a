#include "logging/text_filters.h"

namespace brevane {

namespace {

// Positions were counted in a signed 16-bit counter; longer texts overflow it.
constexpr qsizetype longest_text = 32766;

bool is_digit(char32_t c) {
  return c >= U'0' && c <= U'9';
}
bool is_lower(char32_t c) {
  return c >= U'a' && c <= U'z';
}
bool is_upper(char32_t c) {
  return c >= U'A' && c <= U'Z';
}
bool is_alnum(char32_t c) {
  return is_digit(c) || is_lower(c) || is_upper(c);
}

// Calls visit once per character; a valid surrogate pair is one character, a lone surrogate
// is a character of its own. Only the ASCII range matters to the filters.
template <class Visit>
void for_each_character(const QString& text, Visit&& visit) {
  const qsizetype n = text.size();
  for (qsizetype k = 0; k < n; ++k) {
    const QChar unit = text[k];
    if (unit.isHighSurrogate() && k + 1 < n && text[k + 1].isLowSurrogate()) {
      visit(QChar::surrogateToUcs4(unit, text[k + 1]));
      ++k;
    } else {
      visit(char32_t{unit.unicode()});
    }
  }
}

qsizetype character_count(const QString& text) {
  if (text.size() <= longest_text) return text.size();  // never fewer units than characters
  qsizetype count = 0;
  for_each_character(text, [&count](char32_t) { ++count; });
  return count;
}

void check_length(const QString& text) {
  if (character_count(text) > longest_text) throw overflow_error("Overflow");
}

template <class Keep>
QString keep_only(const QString& text, Keep&& keep) {
  QString result;
  result.reserve(text.size());
  for_each_character(text, [&](char32_t c) {
    if (keep(c)) result.append(QChar(static_cast<char16_t>(c)));
  });
  return result;
}

template <class Filter>
void in_place(std::string& tem, Filter&& filter) {
  // Assigned only after the filter succeeds, so a failure leaves tem as it was.
  tem = filter(QString::fromStdString(tem)).toStdString();
}

}  // namespace

QString numstring(const QString& text) {
  check_length(text);
  return keep_only(text, [](char32_t c) { return is_digit(c) || c == U'.'; });
}

QString swapstring(const QString& text) {
  QString result;
  result.reserve(text.size());
  for_each_character(text, [&result](char32_t c) {
    result.append(c == U' ' || is_alnum(c) ? QChar(static_cast<char16_t>(c)) : QChar(u'_'));
  });
  return result;
}

QString dString(const QString& text) {
  check_length(text);
  return keep_only(text, [](char32_t c) { return c == U' ' || is_alnum(c); });
}

QString CString(const QString& text) {
  check_length(text);
  QString result;
  result.reserve(text.size());
  for_each_character(text, [&result](char32_t c) {
    if (is_alnum(c))
      result.append(QChar(static_cast<char16_t>(c)));
    else if (c == U' ')
      result.append(u"%20");
  });
  return result;
}

QString eString(const QString& text) {
  check_length(text);
  return keep_only(text, [](char32_t c) { return is_lower(c) || is_digit(c) || c == U'?'; });
}

void numstring(std::string& tem) {
  in_place(tem, [](const QString& t) { return numstring(t); });
}
void swapstring(std::string& tem) {
  in_place(tem, [](const QString& t) { return swapstring(t); });
}
void dString(std::string& tem) {
  in_place(tem, [](const QString& t) { return dString(t); });
}
void CString(std::string& tem) {
  in_place(tem, [](const QString& t) { return CString(t); });
}
void eString(std::string& tem) {
  in_place(tem, [](const QString& t) { return eString(t); });
}

}  // namespace brevane
