#include "app/grid_routines.h"

#include <gtest/gtest.h>

#include <vector>

namespace app {
namespace {

const std::vector<int16_t> kNameTakesTheRest{0, 0, 0, 100, 0, 0};

GridMetrics MainGrid(int rows, bool vertical_bar) {
  GridMetrics m;
  m.outer_width = 537;
  m.client_width = vertical_bar ? 533 - 17 : 533;
  m.client_height = 493;
  m.row_heights.assign(static_cast<size_t>(rows), 16);
  m.col_widths = {49, 62, 54, 235, 41, 67};
  return m;
}

TEST(FitColumnWidthsTest, NameColumnTakesWhatTheOthersLeave) {
  // 537 - 4 - 50 - 63 - 55 - 42 - 68 = 255, less the name's own line.
  std::vector<int> w = FitColumnWidths(MainGrid(2, false), kNameTakesTheRest);
  EXPECT_EQ(w, (std::vector<int>{49, 62, 54, 254, 41, 67}));
}

TEST(FitColumnWidthsTest, RowsThatDoNotFitTakeTheClientWidth) {
  // 30 rows of 17 pixels do not fit 493: the client width (without the bar).
  EXPECT_EQ(FitColumnWidths(MainGrid(30, true), kNameTakesTheRest)[3], 237);
  // Exactly 29 rows make 493, which is not less than the client height:
  // the client width counts even though no bar is shown.
  GridMetrics exact = MainGrid(29, false);
  exact.outer_width = 600;  // would give another result by the outer width
  EXPECT_EQ(FitColumnWidths(exact, kNameTakesTheRest)[3], 254);
  EXPECT_EQ(FitColumnWidths(MainGrid(28, false), kNameTakesTheRest)[3], 254);
}

TEST(FitColumnWidthsTest, SharesSplitTheRoomAndPositionsPastTheColumnsAreIgnored) {
  GridMetrics m;
  m.outer_width = 104;
  m.client_width = 100;
  m.client_height = 100;
  m.row_heights = {16};
  m.col_widths = {10, 20, 30};
  // Room 100 - 11 = 89: 50 % gives trunc(44.5) - 1 = 43, 25 % gives 21.
  std::vector<int16_t> p{0, 50, 25, 100, 7};
  EXPECT_EQ(FitColumnWidths(m, p), (std::vector<int>{10, 43, 21}));
  // A shorter array leaves the remaining columns alone.
  std::vector<int16_t> one{100};
  EXPECT_EQ(FitColumnWidths(m, one), (std::vector<int>{99, 20, 30}));
}

}  // namespace
}  // namespace app
