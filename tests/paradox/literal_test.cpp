#include "paradox/literal.h"

#include <gtest/gtest.h>

#include "paradox/value.h"

namespace paradox {
namespace {

const int32_t k2011 = static_cast<int32_t>(DayFromCivil(2011, 1, 1));

TEST(LiteralTest, DateUnderRegionalFormats) {
  struct Case {
    const char* pattern;
    const char* text;
    int y, m, d;
  } cases[] = {
      {"dd.MM.yyyy", "01.01.2011", 2011, 1, 1}, {"m/d/yy", "1/1/11", 2011, 1, 1},
      {"M/d/yyyy", "12/31/2010", 2010, 12, 31}, {"dd.MM.yyyy", "31.12.2010", 2010, 12, 31},
      {"yyyy-MM-dd", "2011-02-03", 2011, 2, 3},  {"dd/MM/yy", "29/02/12", 2012, 2, 29},
      {"d.M.yy", "5.6.99", 1999, 6, 5},
  };
  for (const Case& c : cases) {
    DateFormat f;
    f.pattern = c.pattern;
    int32_t day = 0;
    ASSERT_TRUE(ParseDateLiteral(c.text, f, &day).ok()) << c.pattern << " " << c.text;
    EXPECT_EQ(day, DayFromCivil(c.y, c.m, c.d)) << c.pattern << " " << c.text;
  }
  DateFormat f;
  int32_t day = 0;
  ASSERT_TRUE(ParseDateLiteral("01.01.2011", f, &day).ok());
  EXPECT_EQ(day, k2011);
}

TEST(LiteralTest, DatesThatDoNotParse) {
  DateFormat f;  // dd.MM.yyyy
  for (const char* t : {"", "1.1", "32.01.2011", "29.02.2011", "01.13.2011", "01..2011", ".01.01.2011",
                        "01.01.2011.", "aa.bb.cccc", "01.01.20111"}) {
    int32_t day = 0;
    EXPECT_EQ(ParseDateLiteral(t, f, &day).code(), ErrorCode::kBadLiteral) << t;
  }
}

TEST(LiteralTest, ByFieldType) {
  DateFormat f;
  Literal lit;
  Field time{"T", FieldType::kTime, 4, 4, 0};
  ASSERT_TRUE(ParseLiteral(time, "12:00:00", f, &lit).ok());
  EXPECT_EQ(lit.number, 43200000);
  Field num{"N", FieldType::kLong, 4, 4, 0};
  ASSERT_TRUE(ParseLiteral(num, "-70000", f, &lit).ok());
  EXPECT_EQ(lit.number, -70000);
  EXPECT_FALSE(ParseLiteral(num, "7x", f, &lit).ok());
  Field logical{"L", FieldType::kLogical, 1, 1, 0};
  ASSERT_TRUE(ParseLiteral(logical, "True", f, &lit).ok());
  EXPECT_TRUE(lit.logical);
  Field memo{"M", FieldType::kMemo, 20, 20, 0};
  EXPECT_EQ(ParseLiteral(memo, "x", f, &lit).code(), ErrorCode::kNotSupported);
}

}  // namespace
}  // namespace paradox
