// Matching rows to listed records in all six fields.
#include "cleaning/copy_finder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace cleaning {
namespace {

TBlockRec Rec(double date, const std::string& name, int32_t order, int32_t year) {
  TBlockRec r;
  r.Date = date;
  r.Time = 0.25;
  r.Number = 3;
  r.Name.Assign(name);
  r.Order = order;
  r.YearOrder = year;
  return r;
}

TEST(CopyFinderTest, UsesEachIdenticalRecordOnce) {
  TDupList list;
  list.Add(Rec(1, "a", 1, 2011));  // 0
  list.Add(Rec(2, "b", 5, 2011));  // 1: same key as 2 and 3, other order
  list.Add(Rec(2, "b", 7, 2011));  // 2
  list.Add(Rec(2, "b", 5, 2011));  // 3: identical to 1
  list.Add(Rec(2, "b", 5, 2012));  // 4: other order year
  {
    TCopyFinder copies(list);
    const TBlockRec row = Rec(2, "b", 5, 2011);
    int first = copies.Find(row);
    ASSERT_TRUE(first == 1 || first == 3);
    copies.Use(first);
    int second = copies.Find(row);
    ASSERT_TRUE((second == 1 || second == 3) && second != first);
    copies.Use(second);
    EXPECT_EQ(copies.Find(row), -1);  // both used; 2 and 4 differ in order or year
    EXPECT_EQ(copies.Find(Rec(2, "b", 5, 2010)), -1);
    EXPECT_EQ(copies.Find(Rec(2, "b", 6, 2011)), -1);
    EXPECT_EQ(copies.Find(Rec(2, "b", 7, 2011)), 2);
    EXPECT_EQ(copies.Find(Rec(3, "b", 5, 2011)), -1);
    EXPECT_EQ(list.Count(), 5);  // nothing leaves before Finish
    copies.Finish();
  }
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0]->Date, 1);
  EXPECT_EQ(list[1]->Order, 7);
  EXPECT_EQ(list[2]->YearOrder, 2012);
}

// The filter before the searches never turns away a row equal to a
// listed record, and turns away nearly all others.
TEST(CopyFinderTest, MayHoldEveryRecordEqualInAllSixFields) {
  TDupList list;
  for (int i = 0; i < 1000; ++i) list.Add(Rec(40544 + i % 37, "name " + std::to_string(i), i, 2011));
  list.Add(Rec(0, "", 0, 0));
  list.Add(Rec(1, std::string(64, 'x'), 1, 1));
  TCopyFinder copies(list);
  for (int i = 0; i < list.Count(); ++i) {
    TBlockRec row = *list[i];
    std::memset(row.Name.Chars + row.Name.Length, '?', 64 - row.Name.Length);  // meaningless bytes
    EXPECT_TRUE(copies.MayHold(row)) << i;
  }
  TBlockRec zero = Rec(-0.0, "", 0, 0);  // equal to 0 as a number
  zero.Time = 0.25;
  EXPECT_TRUE(copies.MayHold(zero));
  int passed = 0;
  for (int i = 0; i < 1000; ++i) {
    passed += copies.MayHold(Rec(40544 + i % 37, "name " + std::to_string(i), i, 2012));
    passed += copies.MayHold(Rec(40544 + i % 37, "name " + std::to_string(i + 1), i, 2011));
  }
  EXPECT_LT(passed, 2000 / 16);
}

// Records whose rows came back (a group of deletions not written) are
// listed again and found again, the latest uses first.
TEST(CopyFinderTest, GivenBackRecordsStayListed) {
  TDupList list;
  list.Add(Rec(1, "a", 1, 2011));  // 0
  list.Add(Rec(2, "b", 5, 2011));  // 1
  list.Add(Rec(2, "b", 5, 2011));  // 2: identical to 1
  list.Add(Rec(3, "c", 1, 2011));  // 3
  {
    TCopyFinder copies(list);
    const TBlockRec b = Rec(2, "b", 5, 2011);
    for (const TBlockRec& row : {Rec(1, "a", 1, 2011), b, b, Rec(3, "c", 1, 2011)}) copies.Use(copies.Find(row));
    copies.GiveBack(3);  // the uses of 3, of one b and of the other
    EXPECT_EQ(copies.Used(), 1);
    EXPECT_EQ(copies.Find(Rec(1, "a", 1, 2011)), -1);
    const int again = copies.Find(b);
    ASSERT_TRUE(again == 1 || again == 2);
    copies.Use(again);
    EXPECT_GE(copies.Find(b), 1);
    EXPECT_EQ(copies.Find(Rec(3, "c", 1, 2011)), 3);
    copies.GiveBack(5);  // more than were used
    EXPECT_EQ(copies.Used(), 0);
    copies.Finish();
  }
  EXPECT_EQ(list.Count(), 4);
}

}  // namespace
}  // namespace cleaning
