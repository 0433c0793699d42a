#pragma once
// The program's number rules: rounding, range conversions and the two text formats.
// Every reading, caption and log field goes through here so they agree everywhere.

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

namespace brevane {

// Raised where a value does not fit the 16-bit Integer or the byte it is converted to.
class overflow_error : public std::range_error {
 public:
  using std::range_error::range_error;
};

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double round_half_even(double v);

// Conversion to Integer: rounds halves to even; nullopt outside -32768..32767.
std::optional<std::int16_t> try_to_integer(double v);
// As above, but throws overflow_error.
std::int16_t to_integer(double v);

// Conversion to a byte: rounds halves to even; nullopt / overflow_error outside 0..255.
std::optional<std::uint8_t> try_to_byte(double v);
std::uint8_t to_byte(double v);

// v without its fraction, as T; nullopt for NaN, an infinity or a value outside T's range, where
// a plain cast would be undefined.
template <std::integral T>
std::optional<T> try_truncate(double v) {
  // 2^digits is exact as a double, so the bounds compare exactly.
  constexpr double upper = [] {
    double p = 1;
    for (int i = 0; i < std::numeric_limits<T>::digits; ++i) p *= 2;
    return p;
  }();
  constexpr double lower = std::numeric_limits<T>::is_signed ? -upper : 0;
  const double whole = std::trunc(v);
  if (!(whole >= lower && whole < upper)) return std::nullopt;
  return static_cast<T>(whole);
}

// Remainder of whole numbers: both operands rounded halves to even, the result takes the
// sign of the dividend. nullopt when the divisor rounds to 0.
std::optional<long> whole_mod(double dividend, double divisor);

// A temperature against the thermal baseline avgt at a gain, as the thermal map and the scope
// show it: at or above the baseline, the whole remainder of avgt by the reading times the gain;
// below it, the difference stretched by the gain. A reading that rounds to 0 against a baseline
// of 0 or below has no remainder and counts as 0, so the reading is still stored and drawn.
double baseline_value(double temperature, double avgt, int gain);

// Display format "###.##": integer digits without leading zeros, always a point, at most two
// decimals with trailing zeros dropped. 73.456 -> "73.46", 70 -> "70.", 0 -> ".".
std::string display_format(double v);

// Str format: leading blank (or minus), no point for whole values, "." whatever the locale,
// at most 15 significant digits. 25 -> " 25", -12.5 -> "-12.5".
std::string str_format(double v);

// The signed 16-bit reading held in input bytes 4 (low) and 5 (high). A high byte of 128 or
// more overflows the signed sum, and the reading counts as absent (nullopt).
std::optional<std::int16_t> combine_reading(std::uint8_t low, std::uint8_t high);

}  // namespace brevane
