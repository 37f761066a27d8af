// Dates and times as text in regional formats, and the purge's literal.
#include "cleaning/date_text.h"

#include <gtest/gtest.h>

namespace cleaning {
namespace {

paradox::DateFormat Format(const std::string& pattern, const std::string& separator) {
  paradox::DateFormat f;
  f.pattern = pattern;
  f.separator = separator;
  return f;
}

TEST(DateTextTest, PurgeLiteralUnderCommonShortDateFormats) {
  EXPECT_EQ(PurgeDateLiteral(Format("dd.MM.yyyy", ".")), "01.01.2011");
  EXPECT_EQ(PurgeDateLiteral(Format("M/d/yy", "/")), "1/1/11");
  EXPECT_EQ(PurgeDateLiteral(Format("M/d/yyyy", "-")), "1-1-2011");  // "/" is the separator
  EXPECT_EQ(PurgeDateLiteral(Format("yyyy-MM-dd", "-")), "2011-01-01");
}

TEST(DateTextTest, DatesWithNamesQuotesAndTwoDigitYears) {
  // Day 40605 is Thursday 3 March 2011; day 0 is Saturday 30 December 1899.
  EXPECT_EQ(FormatDateText(40605.75, Format("dd.MM.yyyy", ".")), "03.03.2011");
  EXPECT_EQ(FormatDateText(40605, Format("ddd d MMM yy", ".")), "Thu 3 Mar 11");
  EXPECT_EQ(FormatDateText(40605, Format("dddd, MMMM d 'of' yyyy", ".")), "Thursday, March 3 of 2011");
  EXPECT_EQ(FormatDateText(0, Format("dddd dd.MM.yyyy", ".")), "Saturday 30.12.1899");
  EXPECT_EQ(FormatDateText(-1, Format("ddd", ".")), "Fri");
  EXPECT_EQ(FormatDateText(36526, Format("d/M/yy", "/")), "1/1/00");
}

TEST(DateTextTest, TimesIn24And12HourPatterns) {
  EXPECT_EQ(FormatTimeText(0.5, "H:mm:ss"), "12:00:00");
  EXPECT_EQ(FormatTimeText(0, "H:mm:ss"), "0:00:00");
  const double t = (13 * 3600 + 5 * 60 + 9) / 86400.0;
  EXPECT_EQ(FormatTimeText(t, "HH:mm:ss"), "13:05:09");
  EXPECT_EQ(FormatTimeText(t, "h:mm:ss tt"), "1:05:09 PM");
  EXPECT_EQ(FormatTimeText(0, "hh:mm t"), "12:00 A");
  EXPECT_EQ(FormatTimeText(40544 + t, "H 'h' m"), "13 h 5");  // the date part is ignored
  EXPECT_EQ(FormatTimeText(86399400 / 86400000.0, "H:mm:ss"), "23:59:59");
}

}  // namespace
}  // namespace cleaning
