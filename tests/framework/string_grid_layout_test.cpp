#include "framework/string_grid_layout.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(GridLayoutTest, ExtentCountsOneLinePerCell) {
  std::vector<int> widths{49, 62, 54, 254, 41, 67};
  EXPECT_EQ(CellsExtent(widths, 0, 6, 1), 533);
  EXPECT_EQ(CellsExtent(widths, 1, 3, 1), 118);
  EXPECT_EQ(CellsExtent(widths, 0, 99, 1), 533);
}

TEST(GridLayoutTest, ScrollBarsAppearOnlyWhenNeeded) {
  // 29 rows of 16 + 1 fill a 493-pixel client exactly: no bar.
  EXPECT_FALSE(ScrollBarsNeeded(533, 29 * 17, 533, 493, 17, 17).vertical);
  EXPECT_TRUE(ScrollBarsNeeded(533, 30 * 17, 533, 493, 17, 17).vertical);
  // The vertical bar takes 17 pixels of width, which makes the columns
  // (533 wide) overflow: both bars.
  GridScrollBars both = ScrollBarsNeeded(533, 30 * 17, 533, 493, 17, 17);
  EXPECT_TRUE(both.horizontal);
  // Columns that fit beside the bar: only the vertical one.
  GridScrollBars one = ScrollBarsNeeded(516, 30 * 17, 533, 493, 17, 17);
  EXPECT_TRUE(one.vertical);
  EXPECT_FALSE(one.horizontal);
  // Rows that fit only until a horizontal bar takes its 17 pixels.
  GridScrollBars chain = ScrollBarsNeeded(600, 480, 533, 493, 17, 17);
  EXPECT_TRUE(chain.horizontal);
  EXPECT_TRUE(chain.vertical);
}

TEST(GridLayoutTest, CellsThatFitAndTheLastFirstRow) {
  std::vector<int> rows(40, 16);
  // 493 - 17 (the header) = 476 pixels: 28 rows of 17.
  EXPECT_EQ(CellsThatFit(rows, 1, 476, 1), 28);
  EXPECT_EQ(CellsThatFit(rows, 39, 476, 1), 1);
  EXPECT_EQ(CellsThatFit(rows, 1, 5, 1), 1);   // a partial row still counts as the page
  EXPECT_EQ(CellsThatFit(rows, 40, 476, 1), 0);
  EXPECT_EQ(MaxFirstCell(rows, 1, 476, 1), 12);  // rows 12..39 are 28 rows
  std::vector<int> few(10, 16);
  EXPECT_EQ(MaxFirstCell(few, 1, 476, 1), 1);
}

}  // namespace
}  // namespace framework
