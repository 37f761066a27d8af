// The list's order, its sort and its search, against plain references.
#include "cleaning/dup_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cleaning/progress.h"
#include "cleaning/texts.h"

namespace cleaning {
namespace {

TBlockRec Rec(double date, double time, int16_t number, const std::string& name, int32_t order = 0,
              int32_t year = 0) {
  TBlockRec r;
  r.Date = date;
  r.Time = time;
  r.Number = number;
  r.Name.Assign(name);
  r.Order = order;
  r.YearOrder = year;
  return r;
}

struct RecordedProgress : ProgressReport {
  std::vector<std::pair<std::string, double>> shown;
  int due_calls = 0;
  void ShowProgress(const std::string& text, double percent) override { shown.emplace_back(text, percent); }
  bool ProgressDue() override {
    ++due_calls;
    return false;
  }
};

TEST(CompareBlocksTest, KeyPrecedenceAndNameBytes) {
  EXPECT_EQ(CompareBlocks(Rec(1, 0.9, 9, "z"), Rec(2, 0, 0, "a")), -1);  // date first
  EXPECT_EQ(CompareBlocks(Rec(2, 0.5, 0, "a"), Rec(2, 0.25, 9, "z")), 1);  // then time
  EXPECT_EQ(CompareBlocks(Rec(2, 0.5, -3, "z"), Rec(2, 0.5, 2, "a")), -1);  // number signed
  EXPECT_EQ(CompareBlocks(Rec(2, 0.5, 1, "ab"), Rec(2, 0.5, 1, "abc")), -1);  // a prefix first
  EXPECT_EQ(CompareBlocks(Rec(2, 0.5, 1, "abc"), Rec(2, 0.5, 1, "ab")), 1);
  // Windows-1251: upper-case А (0xC0) before lower-case а (0xE0), both after ASCII.
  EXPECT_EQ(CompareBlocks(Rec(0, 0, 0, "\xC0"), Rec(0, 0, 0, "\xE0")), -1);
  EXPECT_EQ(CompareBlocks(Rec(0, 0, 0, "z"), Rec(0, 0, 0, "\xC0")), -1);
  // Order and YearOrder take no part in the key, but in SameBlock.
  EXPECT_EQ(CompareBlocks(Rec(5, 0.1, 1, "n", 1, 2010), Rec(5, 0.1, 1, "n", 2, 2011)), 0);
  EXPECT_FALSE(SameBlock(Rec(5, 0.1, 1, "n", 1, 2010), Rec(5, 0.1, 1, "n", 2, 2010)));
  EXPECT_FALSE(SameBlock(Rec(5, 0.1, 1, "n", 1, 2010), Rec(5, 0.1, 1, "n", 1, 2011)));
  EXPECT_FALSE(SameBlock(Rec(5, 0.1, 1, "n"), Rec(5, 0.1, 1, "N")));
  EXPECT_TRUE(SameBlock(Rec(5, 0.1, 1, "n", 7, 8), Rec(5, 0.1, 1, "n", 7, 8)));
}

// The quicksort as the procedure gives it, on positions into `recs`.
void ReferenceQuickSort(std::vector<const TBlockRec*>& a, int L, int R) {
  int I, J;
  do {
    I = L;
    J = R;
    const TBlockRec* P = a[(L + R) / 2];
    do {
      while (CompareBlocks(*a[I], *P) == -1) ++I;
      while (CompareBlocks(*a[J], *P) == 1) --J;
      if (I <= J) {
        std::swap(a[I], a[J]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) ReferenceQuickSort(a, L, J);
    L = I;
  } while (I < R);
}

// Key number k of a small key space of 108 keys (dates, times, signed
// numbers and names that order by byte and length).
TBlockRec KeyRec(int k, int32_t order) {
  static const char* const names[] = {"a", "ab", "abc", "b", "\xC0", "\xE0"};
  return Rec(40544 + k % 3, (k / 3 % 2) * 0.5, static_cast<int16_t>(k / 6 % 3 - 1), names[k / 18 % 6], order);
}

// Lists with few distinct keys give many equal keys; Order tells records apart.
void FillRandom(std::mt19937& rng, int n, int distinct, TDupList* list) {
  std::uniform_int_distribution<int> key(0, distinct - 1);
  for (int i = 0; i < n; ++i) list->Add(KeyRec(key(rng), i));
}

TEST(SortListTest, SameOrderAsTheGivenQuicksortOnRandomLists) {
  std::mt19937 rng(7);
  RecordedProgress progress;
  for (int round = 0; round < 300; ++round) {
    const int n = static_cast<int>(rng() % 300);
    const int distinct = 1 + static_cast<int>(rng() % 120);
    TDupList list;
    FillRandom(rng, n, distinct, &list);
    std::vector<const TBlockRec*> expected;
    for (int i = 0; i < n; ++i) expected.push_back(list[i]);
    if (n > 0) ReferenceQuickSort(expected, 0, n - 1);

    SortList(list, progress);
    ASSERT_EQ(list.Count(), n);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(list[i], expected[static_cast<size_t>(i)]) << "round " << round << " position " << i;
      if (i > 0) {
        ASSERT_LE(CompareBlocks(*list[i - 1], *list[i]), 0);
      }
    }
  }
  EXPECT_TRUE(progress.shown.empty());
}

TEST(SortListTest, ShowsSortingOnlyAbove1024Records) {
  for (int n : {1024, 1025}) {
    TDupList list;
    for (int i = 0; i < n; ++i) list.Add(Rec(n - i, 0, 0, "x"));
    RecordedProgress progress;
    SortList(list, progress);
    if (n == 1024) {
      EXPECT_TRUE(progress.shown.empty());
    } else {
      ASSERT_EQ(progress.shown.size(), 1u);  // and no closing call: the grid fill closes it
      EXPECT_EQ(progress.shown[0].first, texts::Sorting());
      EXPECT_EQ(progress.shown[0].second, 0);
    }
    EXPECT_EQ(progress.due_calls, 0);
  }
}

TEST(FindIndexTest, EndTestsAndTheirComparisonCounts) {
  TDupList list;
  long made = 0;
  EXPECT_EQ(FindIndex(list, Rec(1, 0, 0, "a"), &made), -1);
  EXPECT_EQ(made, 0);

  list.Add(Rec(5, 0, 0, "m"));
  made = 0;
  EXPECT_EQ(FindIndex(list, Rec(5, 0, 0, "m", 9, 9), &made), 0);  // Order ignored
  EXPECT_EQ(made, 1);
  made = 0;
  EXPECT_EQ(FindIndex(list, Rec(6, 0, 0, "m"), &made), -1);
  EXPECT_EQ(made, 1);
  made = 0;
  EXPECT_EQ(FindIndex(list, Rec(4, 0, 0, "m"), &made), -1);
  EXPECT_EQ(made, 2);

  for (int i = 0; i < 9; ++i) list.Add(Rec(10 + 2 * i, 0, 0, "m"));  // 5, 10, 12, ..., 26
  struct Case {
    double date;
    int index;
    long comparisons;
  } cases[] = {
      {26, 9, 1},  // the last record: found without bisection
      {30, -1, 1},  // after the last
      {5, 0, 2},    // the first
      {1, -1, 2},   // before the first
  };
  for (const Case& c : cases) {
    made = 0;
    EXPECT_EQ(FindIndex(list, Rec(c.date, 0, 0, "m"), &made), c.index) << c.date;
    EXPECT_EQ(made, c.comparisons) << c.date;
  }
  // Inside: the two ends, then one comparison per halving.
  made = 0;
  EXPECT_EQ(FindIndex(list, Rec(11, 0, 0, "m"), &made), -1);
  EXPECT_GE(made, 3);
  EXPECT_LE(made, 2 + 5);
}

TEST(FindIndexTest, AgreesWithBruteForceOnRandomSortedLists) {
  std::mt19937 rng(11);
  RecordedProgress progress;
  for (int round = 0; round < 400; ++round) {
    const int n = static_cast<int>(rng() % 200);
    TDupList list;
    FillRandom(rng, n, 1 + static_cast<int>(rng() % 100), &list);
    SortList(list, progress);
    // The two ends, one comparison per halving, and one more where the
    // bisection tests a neighbour of lo again before it gives up.
    int bound = 3;
    for (int span = n; span > 1; span = (span + 1) / 2) ++bound;
    // Every key of the key space, present or not.
    for (int k = 0; k < 108; ++k) {
      TBlockRec probe = KeyRec(k, -1);
      bool present = false;
      for (int i = 0; i < n; ++i) present = present || CompareBlocks(probe, *list[i]) == 0;
      long made = 0;
      int at = FindIndex(list, probe, &made);
      if (present) {
        ASSERT_GE(at, 0) << "round " << round << " key " << k;
        ASSERT_EQ(CompareBlocks(probe, *list[at]), 0);
      } else {
        ASSERT_EQ(at, -1) << "round " << round << " key " << k;
      }
      ASSERT_LE(made, bound);
    }
  }
}

}  // namespace
}  // namespace cleaning
