#include "logging/text_filters.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

const QString date_text = QStringLiteral("12/6/2026 4:52:28 AM");
const QString reading_text = QStringLiteral("Temp = -12.5 F?");

TEST(TextFilters, DateText) {
  EXPECT_EQ(dString(date_text), QStringLiteral("1262026 45228 AM"));
  EXPECT_EQ(swapstring(date_text), QStringLiteral("12_6_2026 4_52_28 AM"));
  EXPECT_EQ(numstring(date_text), QStringLiteral("126202645228"));
  EXPECT_EQ(CString(date_text), QStringLiteral("1262026%2045228%20AM"));
  EXPECT_EQ(eString(date_text), QStringLiteral("126202645228"));
}

TEST(TextFilters, ReadingText) {
  EXPECT_EQ(numstring(reading_text), QStringLiteral("12.5"));
  EXPECT_EQ(swapstring(reading_text), QStringLiteral("Temp _ _12_5 F_"));
  EXPECT_EQ(dString(reading_text), QStringLiteral("Temp  125 F"));
  EXPECT_EQ(CString(reading_text), QStringLiteral("Temp%20%20125%20F"));
  EXPECT_EQ(eString(reading_text), QStringLiteral("emp125?"));
}

TEST(TextFilters, EmptyTextStaysEmpty) {
  EXPECT_TRUE(numstring(QString()).isEmpty());
  EXPECT_TRUE(swapstring(QString()).isEmpty());
  EXPECT_TRUE(dString(QString()).isEmpty());
  EXPECT_TRUE(CString(QString()).isEmpty());
  EXPECT_TRUE(eString(QString()).isEmpty());
  std::string tem;
  dString(tem);
  EXPECT_TRUE(tem.empty());
}

TEST(TextFilters, LettersOutsideAsciiAreOtherCharacters) {
  const QString text = QStringLiteral(u"Café Ωmega 7");
  EXPECT_EQ(dString(text), QStringLiteral("Caf mega 7"));
  EXPECT_EQ(swapstring(text), QStringLiteral("Caf_ _mega 7"));
  EXPECT_EQ(eString(text), QStringLiteral("afmega7"));
  // A surrogate pair is one character.
  const QString emoji = QStringLiteral(u"a\U0001F600b");
  EXPECT_EQ(swapstring(emoji), QStringLiteral("a_b"));
  EXPECT_EQ(dString(emoji), QStringLiteral("ab"));
}

TEST(TextFilters, OnlyThePlainBlankCounts) {
  const QString text = QStringLiteral(u"4:52\u202FAM\t1");
  EXPECT_EQ(dString(text), QStringLiteral("452AM1"));
  EXPECT_EQ(CString(text), QStringLiteral("452AM1"));
  EXPECT_EQ(swapstring(text), QStringLiteral("4_52_AM_1"));
}

TEST(TextFilters, FilteringTwiceIsFilteringOnce) {
  for (const QString& text :
       {date_text, reading_text, QStringLiteral(u"Ünïcödé 3.14 ?x_Y"), QString()}) {
    EXPECT_EQ(numstring(numstring(text)), numstring(text));
    EXPECT_EQ(swapstring(swapstring(text)), swapstring(text));
    EXPECT_EQ(dString(dString(text)), dString(text));
    EXPECT_EQ(eString(eString(text)), eString(text));
  }
}

TEST(TextFilters, LengthLimit) {
  const QString longest(32766, QChar(u'a'));
  const QString too_long(32767, QChar(u'a'));
  EXPECT_EQ(numstring(longest), QString());
  EXPECT_EQ(dString(longest), longest);
  EXPECT_EQ(CString(longest), longest);
  EXPECT_EQ(eString(longest), longest);
  EXPECT_THROW(numstring(too_long), overflow_error);
  EXPECT_THROW(dString(too_long), overflow_error);
  EXPECT_THROW(CString(too_long), overflow_error);
  EXPECT_THROW(eString(too_long), overflow_error);
  const QString much_longer(70000, QChar(u'/'));
  EXPECT_EQ(swapstring(much_longer), QString(70000, QChar(u'_')));
}

TEST(TextFilters, LengthCountsCharactersNotCodeUnits) {
  QString pairs;
  for (int k = 0; k < 32766; ++k) pairs += QStringLiteral(u"\U0001F600");
  EXPECT_EQ(dString(pairs), QString());
  pairs += QStringLiteral(u"\U0001F600");
  EXPECT_THROW(dString(pairs), overflow_error);
}

TEST(TextFilters, InPlaceOnUtf8) {
  std::string tem = "12/6/2026 4:52:28 AM";
  dString(tem);
  EXPECT_EQ(tem, "1262026 45228 AM");
  dString(tem);
  EXPECT_EQ(tem, "1262026 45228 AM");

  tem = "Caf\xC3\xA9 1";
  swapstring(tem);
  EXPECT_EQ(tem, "Caf_ 1");

  tem = "Temp = -12.5 F?";
  numstring(tem);
  EXPECT_EQ(tem, "12.5");
  tem = "Temp = -12.5 F?";
  CString(tem);
  EXPECT_EQ(tem, "Temp%20%20125%20F");
  tem = "Temp = -12.5 F?";
  eString(tem);
  EXPECT_EQ(tem, "emp125?");
}

TEST(TextFilters, InPlaceFailureLeavesTheTextAsItWas) {
  std::string tem(32766, '9');
  dString(tem);
  EXPECT_EQ(tem.size(), 32766u);

  const std::string too_long = std::string(32766, 'x') + "/";
  for (void (*filter)(std::string&) :
       {static_cast<void (*)(std::string&)>(numstring),
        static_cast<void (*)(std::string&)>(dString), static_cast<void (*)(std::string&)>(CString),
        static_cast<void (*)(std::string&)>(eString)}) {
    tem = too_long;
    EXPECT_THROW(filter(tem), overflow_error);
    EXPECT_EQ(tem, too_long);
  }
  tem = too_long;
  swapstring(tem);
  EXPECT_EQ(tem, std::string(32766, 'x') + "_");
}

}  // namespace
}  // namespace brevane
