#include "common/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <optional>
#include <string>

namespace brevane {
namespace {

TEST(Numbers, IntegerConversionRoundsHalvesToEvenAndFailsOutsideRange) {
  EXPECT_EQ(to_integer(2.5), 2);
  EXPECT_EQ(to_integer(3.5), 4);
  EXPECT_EQ(to_integer(-2.5), -2);
  EXPECT_EQ(to_integer(24.5), 24);
  EXPECT_EQ(to_integer(25.5), 26);
  EXPECT_EQ(to_integer(73.92), 74);
  EXPECT_EQ(to_integer(32767.4), 32767);
  EXPECT_EQ(to_integer(-32768.5), -32768);
  EXPECT_THROW(to_integer(32767.5), overflow_error);
  EXPECT_THROW(to_integer(-32769), overflow_error);
  EXPECT_FALSE(try_to_integer(1e300));
}

TEST(Numbers, ByteConversionFailsOutsideZeroTo255) {
  EXPECT_EQ(to_byte(255), 255);
  EXPECT_EQ(to_byte(0), 0);
  EXPECT_THROW(to_byte(256), overflow_error);
  EXPECT_THROW(to_byte(-1), overflow_error);
}

TEST(Numbers, TruncationRefusesWhatTheTypeCannotHold) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double v;
    std::optional<long long> as_int64, as_int32, as_uint8;
  } cases[] = {
      {0, 0, 0, 0},
      {-0.0, 0, 0, 0},
      {255.9, 255, 255, 255},
      {-0.5, 0, 0, 0},
      {256, 256, 256, std::nullopt},
      {-1, -1, -1, std::nullopt},
      {2147483647.5, 2147483647, 2147483647, std::nullopt},
      {2147483648.0, 2147483648LL, std::nullopt, std::nullopt},
      {-2147483648.0, -2147483648LL, -2147483648LL, std::nullopt},
      {-2147483649.0, -2147483649LL, std::nullopt, std::nullopt},
      {9223372036854775807.0, std::nullopt, std::nullopt, std::nullopt},  // 2^63 as a double
      {-9223372036854775808.0, std::numeric_limits<long long>::min(), std::nullopt, std::nullopt},
      {1e19, std::nullopt, std::nullopt, std::nullopt},
      {1e300, std::nullopt, std::nullopt, std::nullopt},
      {-1e300, std::nullopt, std::nullopt, std::nullopt},
      {inf, std::nullopt, std::nullopt, std::nullopt},
      {-inf, std::nullopt, std::nullopt, std::nullopt},
      {nan, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(try_truncate<std::int64_t>(c.v), c.as_int64);
    const auto as_int32 = try_truncate<std::int32_t>(c.v);
    EXPECT_EQ(as_int32 ? std::optional<long long>(*as_int32) : std::nullopt, c.as_int32);
    const auto as_uint8 = try_truncate<std::uint8_t>(c.v);
    EXPECT_EQ(as_uint8 ? std::optional<long long>(*as_uint8) : std::nullopt, c.as_uint8);
  }
}

TEST(Numbers, WholeModRoundsOperandsAndKeepsTheDividendsSign) {
  EXPECT_EQ(whole_mod(70.0, 75.3), 70);
  EXPECT_EQ(whole_mod(24.5, 25), 24);  // 24.5 rounds to 24
  EXPECT_EQ(whole_mod(25.5, 26), 0);   // 25.5 rounds to 26
  EXPECT_EQ(whole_mod(-7, 3), -1);
  EXPECT_FALSE(whole_mod(0.0, 0.4));  // divisor rounds to 0
}

TEST(Numbers, DisplayFormatDropsLeadingAndTrailingZeros) {
  EXPECT_EQ(display_format(73.456), "73.46");
  EXPECT_EQ(display_format(73.92), "73.92");
  EXPECT_EQ(display_format(70), "70.");
  EXPECT_EQ(display_format(0), ".");
  EXPECT_EQ(display_format(0.5), ".5");
  EXPECT_EQ(display_format(8.3333333), "8.33");
  EXPECT_EQ(display_format(100.00000000000001), "100.");
  EXPECT_EQ(display_format(-5.25), "-5.25");
  EXPECT_EQ(display_format(0.001), ".");
}

TEST(Numbers, StrFormatHasLeadingBlankOrMinusAndNoPointForWholeValues) {
  EXPECT_EQ(str_format(25), " 25");
  EXPECT_EQ(str_format(26.5), " 26.5");
  EXPECT_EQ(str_format(-12.5), "-12.5");
  EXPECT_EQ(str_format(0), " 0");
  EXPECT_EQ(str_format(-0.0), " 0");
  EXPECT_EQ(str_format(1.0 / 3.0), " 0.333333333333333");
  EXPECT_EQ(str_format(25.1), " 25.1");
  EXPECT_EQ(str_format(170), " 170");
}

TEST(Numbers, FormatsIgnoreACommaDecimalLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8")) << "scripts/setup generates de_DE.UTF-8";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(str_format(26.5), " 26.5");
  EXPECT_EQ(display_format(73.456), "73.46");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(Numbers, ReadingCombinesBytesAndOverflowsOnHighByte128) {
  EXPECT_EQ(combine_reading(184, 1), 440);
  EXPECT_EQ(combine_reading(254, 0), 254);
  EXPECT_EQ(combine_reading(255, 127), 32767);
  EXPECT_FALSE(combine_reading(0, 128));
  EXPECT_FALSE(combine_reading(0, 200));
}

}  // namespace
}  // namespace brevane
