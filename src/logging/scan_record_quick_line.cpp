#include "logging/scan_record_quick_line.h"

#include <array>
#include <charconv>
#include <cmath>

#include "logging/scan_record_fields.h"
#include "logging/scan_record_lines.h"

namespace brevane {

namespace {

enum key : unsigned {
  k_type,
  k_kind,
  k_cycle,
  k_pass,
  k_row,
  k_point,
  k_x,
  k_z,
  k_temperature,
  k_distance,
  k_ms,
  key_count
};
constexpr std::array<std::string_view, key_count> key_names = {
    "type", "kind", "cycle",         "pass",        "row", "point",
    "x",    "z",    "temperature_f", "distance_in", "ms"};

struct value {
  enum { none, null, number, text } kind = none;
  double number_value = 0;
  std::string_view text_value;
};

class scanner {
 public:
  explicit scanner(std::string_view s) : s_(s) {}

  void skip_space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  bool take(char c) {
    skip_space();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool at_end() {
    skip_space();
    return i_ == s_.size();
  }
  // A text without escapes or control characters; anything else is left to the full parser.
  bool plain_text(std::string_view* out) {
    if (!take('"')) return false;
    const std::size_t begin = i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      const auto c = static_cast<unsigned char>(s_[i_]);
      if (c == '\\' || c < 0x20) return false;
      ++i_;
    }
    if (i_ == s_.size()) return false;
    *out = s_.substr(begin, i_ - begin);
    ++i_;
    return true;
  }
  bool read_value(value* v) {
    skip_space();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '"') {
      v->kind = value::text;
      return plain_text(&v->text_value);
    }
    if (s_.substr(i_, 4) == "null") {
      i_ += 4;
      v->kind = value::null;
      return true;
    }
    v->kind = value::number;
    return json_number(&v->number_value);
  }

 private:
  bool digits() {
    const std::size_t begin = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > begin;
  }
  // JSON's number grammar exactly, then a correctly rounded conversion.
  bool json_number(double* out) {
    const std::size_t begin = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ < s_.size() && s_[i_] == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      if (!digits()) return false;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    const auto [end, ec] = std::from_chars(s_.data() + begin, s_.data() + i_, *out);
    return ec == std::errc() && end == s_.data() + i_ && std::isfinite(*out);
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

std::optional<int> whole(const value& v) {
  if (v.kind != value::number || v.number_value != std::floor(v.number_value) ||
      std::abs(v.number_value) > 2e9)
    return std::nullopt;
  return static_cast<int>(v.number_value);
}

// The optional number of a reading: set (a number), empty (null), or nullopt (neither).
std::optional<std::optional<double>> number_or_null(const value& v) {
  if (v.kind == value::null) return std::optional<double>();
  if (v.kind == value::number) return std::optional<double>(v.number_value);
  return std::nullopt;
}

}  // namespace

std::optional<recorded_reading> quick_reading_line(std::string_view line,
                                                   const QDateTime& start_utc) {
  std::array<value, key_count> values;
  scanner s(line);
  if (!s.take('{')) return std::nullopt;
  unsigned seen = 0;
  do {
    std::string_view name;
    if (!s.plain_text(&name) || !s.take(':')) return std::nullopt;
    unsigned k = 0;
    while (k < key_count && key_names[k] != name) ++k;
    if (k == key_count || (seen & (1u << k))) return std::nullopt;
    seen |= 1u << k;
    if (!s.read_value(&values[k])) return std::nullopt;
  } while (s.take(','));
  if (!s.take('}') || !s.at_end() || seen != (1u << key_count) - 1) return std::nullopt;

  using namespace scan_record_fields;
  const value& type = values[k_type];
  const value& kind_text = values[k_kind];
  if (type.kind != value::text || type.text_value != type_reading || kind_text.kind != value::text)
    return std::nullopt;
  const auto kind = kind_from(QLatin1StringView(
      kind_text.text_value.data(), static_cast<qsizetype>(kind_text.text_value.size())));
  recorded_reading r;
  const value& pass = values[k_pass];
  if (pass.kind == value::text && pass.text_value == "upward")
    r.event.pass = pass_direction::upward;
  else if (pass.kind == value::text && pass.text_value == "downward")
    r.event.pass = pass_direction::downward;
  else if (pass.kind != value::null)
    return std::nullopt;
  const auto cycle = whole(values[k_cycle]), row = whole(values[k_row]),
             point = whole(values[k_point]), x = whole(values[k_x]), z = whole(values[k_z]);
  const auto temperature = number_or_null(values[k_temperature]);
  const auto distance = number_or_null(values[k_distance]);
  const auto time = values[k_ms].kind == value::number
                        ? time_from_ms(values[k_ms].number_value, start_utc)
                        : std::nullopt;
  if (!kind || !cycle || !row || !point || !x || !z || !temperature || !distance || !time)
    return std::nullopt;
  return reading_of(*kind, r.event.pass, *cycle, *row, *point, *x, *z, *temperature, *distance,
                    *time);
}

}  // namespace brevane
