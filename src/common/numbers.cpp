#include "common/numbers.h"

#include <array>
#include <charconv>
#include <cmath>

namespace brevane {

double round_half_even(double v) {
  if (!std::isfinite(v)) return v;
  const double lower = std::floor(v);
  const double diff = v - lower;
  if (diff > 0.5) return lower + 1.0;
  if (diff < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<std::int16_t> try_to_integer(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  const double r = round_half_even(v);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(r);
}

std::int16_t to_integer(double v) {
  if (auto r = try_to_integer(v)) return *r;
  throw overflow_error("overflow: value outside -32768 to 32767");
}

std::optional<std::uint8_t> try_to_byte(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  const double r = round_half_even(v);
  if (r < 0.0 || r > 255.0) return std::nullopt;
  return static_cast<std::uint8_t>(r);
}

std::uint8_t to_byte(double v) {
  if (auto r = try_to_byte(v)) return *r;
  throw overflow_error("overflow: value outside 0 to 255");
}

std::optional<long> whole_mod(double dividend, double divisor) {
  const double a = round_half_even(dividend);
  const double b = round_half_even(divisor);
  if (b == 0.0 || !std::isfinite(a) || !std::isfinite(b)) return std::nullopt;
  // std::fmod keeps the sign of the dividend, as wanted.
  return static_cast<long>(std::fmod(a, b));
}

double baseline_value(double temperature, double avgt, int gain) {
  if (temperature >= avgt)
    return static_cast<double>(whole_mod(avgt, temperature).value_or(0)) * gain;
  return avgt - (avgt - temperature) * gain;
}

std::string display_format(double v) {
  if (!std::isfinite(v)) return ".";
  // Work in hundredths so 73.455 and friends round once, away from zero.
  const double hundredths = std::round(std::fabs(v) * 100.0);
  if (hundredths == 0.0) return ".";
  const auto whole = static_cast<unsigned long long>(hundredths / 100.0);
  const auto frac = static_cast<unsigned>(hundredths - static_cast<double>(whole) * 100.0);
  std::string out = v < 0 ? "-" : "";
  if (whole != 0) out += std::to_string(whole);
  out += '.';
  if (frac != 0) {
    out += static_cast<char>('0' + frac / 10);
    if (frac % 10 != 0) out += static_cast<char>('0' + frac % 10);
  }
  return out;
}

std::string str_format(double v) {
  if (v == 0.0) return " 0";  // also -0.0
  std::array<char, 64> buf{};
  // to_chars ignores the C locale, so a comma locale cannot creep in.
  const auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 15);
  std::string text(buf.data(), res.ptr);
  return v < 0 ? text : " " + text;
}

std::optional<std::int16_t> combine_reading(std::uint8_t low, std::uint8_t high) {
  if (high >= 128) return std::nullopt;
  return static_cast<std::int16_t>(high * 256 + low);
}

}  // namespace brevane
