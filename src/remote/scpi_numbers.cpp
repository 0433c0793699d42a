#include "remote/scpi_numbers.h"

#include <charconv>
#include <system_error>

namespace brevane::remote {

namespace {

bool digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

number_result read_number(std::string_view text, double& value) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissa = i;
  std::size_t digits = 0;
  while (i < text.size() && digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && digit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return number_result::not_a_number;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < text.size() && digit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return number_result::not_a_number;
  }
  if (i != text.size()) return number_result::not_a_number;
  // from_chars takes no '+'; the sign is put back by hand.
  const bool negative = text[0] == '-';
  const auto [end, error] =
      std::from_chars(text.data() + mantissa, text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) return number_result::out_of_range;
  if (error != std::errc{} || end != text.data() + text.size()) return number_result::not_a_number;
  if (negative) value = -value;
  return number_result::ok;
}

}  // namespace brevane::remote
