#include "paradox/sql/literal.h"

#include <gtest/gtest.h>

#include "paradox/value.h"
#include "../support/status_assert.h"

namespace paradox {
namespace {

TEST(LiteralTest, ByFieldType) {
  DateFormat f;
  Literal lit;
  Field time{"T", FieldType::kTime, 4, 4, 0};
  ASSERT_OK(ParseLiteral(time, "12:00:00", f, &lit));
  EXPECT_EQ(lit.number, 43200000);
  Field num{"N", FieldType::kLong, 4, 4, 0};
  ASSERT_OK(ParseLiteral(num, "-70000", f, &lit));
  EXPECT_EQ(lit.number, -70000);
  EXPECT_FALSE(ParseLiteral(num, "7x", f, &lit).ok());
  Field logical{"L", FieldType::kLogical, 1, 1, 0};
  ASSERT_OK(ParseLiteral(logical, "True", f, &lit));
  EXPECT_TRUE(lit.logical);
  // A timestamp is a date, or a date and a time, also where dates hold blanks.
  Field stamp{"S", FieldType::kTimestamp, 8, 8, 0};
  DateFormat spaced;
  spaced.pattern = "d MMM yyyy";
  const double day = static_cast<double>(DayFromCivil(2011, 1, 1)) * 86400000.0;
  ASSERT_OK(ParseLiteral(stamp, "1 Jan 2011", spaced, &lit));
  EXPECT_EQ(lit.number, day);
  ASSERT_OK(ParseLiteral(stamp, "1 Jan 2011 12:00:01", spaced, &lit));
  EXPECT_EQ(lit.number, day + 43201000);
  EXPECT_EQ(ParseLiteral(stamp, "1 Jan 2011 12", spaced, &lit).code(), ErrorCode::kBadLiteral);
  Field memo{"M", FieldType::kMemo, 20, 20, 0};
  EXPECT_EQ(ParseLiteral(memo, "x", f, &lit).code(), ErrorCode::kNotSupported);
}

}  // namespace
}  // namespace paradox
