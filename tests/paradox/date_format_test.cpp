// Dates written in short date formats and read back by the same pattern.
#include "paradox/date_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "paradox/value.h"
#include "../support/short_dates.h"
#include "../support/status_assert.h"

namespace paradox {
namespace {

using testsupport::RussianShortDateFormat;
using testsupport::ShortDateFormat;

const int64_t k2011 = DayFromCivil(2011, 1, 1);

int64_t Read(const std::string& text, const DateFormat& f) {
  int32_t day = 0;
  const Status s = ReadDate(text, f, &day);
  EXPECT_OK(s) << f.pattern << " \"" << text << "\": " << s.ToString();
  return s.ok() ? day : -1;
}

TEST(DateFormatTest, EveryFormatReadsBackTheDatesItWrites) {
  std::vector<DateFormat> formats;
  for (const auto& c : testsupport::kShortDates) formats.push_back(ShortDateFormat(c.pattern));
  for (const auto& c : testsupport::kRussianShortDates) formats.push_back(RussianShortDateFormat(c.pattern));
  for (const char* p : {"dddd, d MMMM yyyy g", "ddMMyy", "d.M.yy", "yyyy-MM-dd (dddd)"}) {
    formats.push_back(ShortDateFormat(p));
    formats.push_back(RussianShortDateFormat(p));
  }
  for (const DateFormat& f : formats) {
    const bool two_digit_year = WriteDate(k2011, f).find("2011") == std::string::npos;
    // Two-digit years stand for 1950..2049; four digits for every year.
    std::vector<int64_t> days;
    for (int64_t d = DayFromCivil(1950, 1, 1); d <= DayFromCivil(2049, 12, 31); d += 13) days.push_back(d);
    if (!two_digit_year)
      for (int64_t d : {DayFromCivil(1, 1, 1), DayFromCivil(1899, 12, 30), DayFromCivil(9999, 12, 31)}) days.push_back(d);
    for (int64_t d : days) {
      const std::string text = WriteDate(d, f);
      ASSERT_EQ(Read(text, f), d) << f.pattern << " \"" << text << "\"";
    }
  }
}

TEST(DateFormatTest, WritesPatternsAsWindowsDoes) {
  const int64_t d2005 = DayFromCivil(2005, 3, 9);  // a Wednesday
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("y|yy|yyy|yyyyy")), "05|05|2005|2005");
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("d|dd|ddd|dddd|ddddd")), "9|09|Wed|Wednesday|Wednesday");
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("M|MM|MMM|MMMM|MMMMM")), "3|03|Mar|March|March");
  // Only single quotes quote; '' gives a quote inside quotes and nothing
  // outside; an open quote runs to the end.
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("dd'x''y'MM dd''MM dd\"x\"MM 'abc")), "09x'y03 0903 09\"x\"03 abc");
  // Letters are pattern letters in their own case only, as Windows reads them.
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("dd.mm.YYYY D h:ss")), "09.mm.YYYY D h:ss");
  DateFormat dashes = ShortDateFormat("M/d/yyyy");
  dashes.separator = "-";
  EXPECT_EQ(WriteDate(d2005, dashes), "3-9-2005");
  EXPECT_EQ(WriteDate(d2005, ShortDateFormat("gg yyyy, g")), "A.D. 2005, A.D.");
  // Month names take the genitive after a day number, where the locale has one.
  EXPECT_EQ(WriteDate(d2005, RussianShortDateFormat("MMMM yyyy|MMM")), "март 2005|мар");
  EXPECT_EQ(WriteDate(DayFromCivil(2011, 5, 1), RussianShortDateFormat("MMMM d|d MMMM|MMM")), "май 1|1 мая|мая");
  EXPECT_EQ(WriteDate(DayFromCivil(2011, 5, 1), RussianShortDateFormat("dddd d MMMM")), "воскресенье 1 мая");
}

TEST(DateFormatTest, ReadsDatesWrittenByHand) {
  const DateFormat dots = ShortDateFormat("dd.MM.yyyy");
  EXPECT_EQ(Read("1.1.2011", dots), k2011);
  EXPECT_EQ(Read("  01.01.11 ", dots), k2011);
  EXPECT_EQ(Read("31.12.49", dots), DayFromCivil(2049, 12, 31));
  EXPECT_EQ(Read("01.01.50", dots), DayFromCivil(1950, 1, 1));
  // Blanks more, fewer, none or of another width.
  const DateFormat blanks = ShortDateFormat("yyyy. MM. dd.");
  for (const char* t : {"2011.01.01.", "2011.  1.\u00A01.", "2011. 01. 01. "}) EXPECT_EQ(Read(t, blanks), k2011) << t;
  // Names in any letter case and any form the locale has.
  const DateFormat abbreviated = ShortDateFormat("dd-MMM-yy");
  for (const char* t : {"01-JAN-11", "01-jan-11", "01-January-11"}) EXPECT_EQ(Read(t, abbreviated), k2011) << t;
  const DateFormat russian = RussianShortDateFormat("d MMMM yyyy");
  for (const char* t : {"1 ЯНВАРЯ 2011", "1 январь 2011", "1 Янв 2011"}) EXPECT_EQ(Read(t, russian), k2011) << t;
  const int64_t may = DayFromCivil(2011, 5, 1);
  for (const char* t : {"1 мая 2011", "1 май 2011", "1 МАЯ 2011"}) EXPECT_EQ(Read(t, russian), may) << t;
  // Numbers next to each other take their full width.
  EXPECT_EQ(Read("20111231", ShortDateFormat("yyyyMMdd")), DayFromCivil(2011, 12, 31));
  EXPECT_EQ(Read("112011", ShortDateFormat("dMyyyy")), k2011);
}

TEST(DateFormatTest, RefusesTextThatIsNoDateOfItsFormat) {
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"dd.MM.yyyy", ""},           {"dd.MM.yyyy", "1.1"},          {"dd.MM.yyyy", "32.01.2011"},
      {"dd.MM.yyyy", "29.02.2011"}, {"dd.MM.yyyy", "01.13.2011"},   {"dd.MM.yyyy", "01..2011"},
      {"dd.MM.yyyy", ".01.01.2011"}, {"dd.MM.yyyy", "01.01.2011."}, {"dd.MM.yyyy", "aa.bb.cccc"},
      {"dd.MM.yyyy", "01.01.20111"}, {"dd.MM.yyyy", "01/01/2011"},  {"dd.MM.yyyy", "00.01.2011"},
      {"dd-MMM-yy", "01-Foo-11"},   {"dd-MMM-yy", "01-01-11"},
      {"ddd dd.MM.yyyy", "Sun 01.01.2011"},       // 1 January 2011 was a Saturday
      {"dd.MM.yyyy (d)", "01.01.2011 (2)"},       // the day twice, not the same
      {"dMyyyy", "1112011"},                      // 11 January or 1 November
  };
  for (const auto& c : cases) {
    int32_t day = 0;
    const Status s = ReadDate(c.text, ShortDateFormat(c.pattern), &day);
    EXPECT_EQ(s.code(), ErrorCode::kBadLiteral) << c.pattern << " \"" << c.text << "\"";
    EXPECT_NE(s.ToString().find(std::string("\"") + c.text + "\""), std::string::npos) << s.ToString();
  }
}

TEST(DateFormatTest, AFormatThatCannotNameADayIsNamedInTheError) {
  const struct {
    const char* pattern;
    const char* why;
  } cases[] = {
      {"MM/yyyy", "no day"},
      {"dd.mm.yyyy", "no month"},  // a lower-case m is no month letter
      {"d. MMMM", "no year"},
      {"", "no day"},
      {"yMd", "more than one date"},  // 1 January 2011 is "1111"
  };
  for (const auto& c : cases) {
    const DateFormat f = ShortDateFormat(c.pattern);
    const std::string literal = WriteDate(k2011, f);
    int32_t day = 0;
    const Status s = ReadDate(literal, f, &day);
    EXPECT_EQ(s.code(), ErrorCode::kBadLiteral) << c.pattern;
    const std::string text = s.ToString();
    EXPECT_NE(text.find("short date format \"" + std::string(c.pattern) + "\""), std::string::npos) << text;
    EXPECT_NE(text.find(c.why), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace paradox
