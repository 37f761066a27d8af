#include "ui/percent_bar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ui {
namespace {

TEST(PercentBarTest, FillEndsAtTruncOf379TimesThePercentage) {
  EXPECT_EQ(PercentFillEnd(50, 380), 189);
  EXPECT_EQ(PercentFillEnd(100, 380), 379);
  EXPECT_EQ(PercentFillEnd(29, 380), 109);  // 109.91
  EXPECT_EQ(PercentFillEnd(1, 380), 3);
  EXPECT_EQ(PercentFillEnd(0, 380), 0);
  EXPECT_EQ(PercentFillEnd(250, 380), 379);
}

TEST(PercentBarTest, TextCentredInTheInnerSizeDroppingTheFraction) {
  EXPECT_EQ(PercentTextLeft(25, 380), 177);
  EXPECT_EQ(PercentTextTop(13, 21), 3);
  EXPECT_EQ(PercentTextLeft(380, 380), 0);  // (379 - 380) div 2 truncates toward zero
  EXPECT_EQ(PercentText(45), u"45%");
}

TEST(ShowProgressPlanTest, EmptyTextWithoutPositivePercentCloses) {
  EXPECT_TRUE(PlanProgress(true, 0).close);
  EXPECT_TRUE(PlanProgress(true, -1).close);
  EXPECT_TRUE(PlanProgress(true, std::nan("")).close);
  EXPECT_FALSE(PlanProgress(false, 0).close);
  EXPECT_FALSE(PlanProgress(true, 0.5).close);
}

TEST(ShowProgressPlanTest, BarValueIsTruncatedAndCapped) {
  ProgressPlan half = PlanProgress(true, 0.5);
  EXPECT_TRUE(half.bar_visible);
  EXPECT_EQ(half.bar_value, 0);
  EXPECT_EQ(PlanProgress(false, 37.9).bar_value, 37);
  EXPECT_EQ(PlanProgress(true, 99.99).bar_value, 99);
  EXPECT_EQ(PlanProgress(true, 250).bar_value, 100);
  EXPECT_EQ(PlanProgress(true, 1e300).bar_value, 100);
  EXPECT_EQ(PlanProgress(true, std::numeric_limits<double>::infinity()).bar_value, 100);
}

TEST(ShowProgressPlanTest, TextWithNegativeOrNanPercentHidesTheBar) {
  ProgressPlan p = PlanProgress(false, -1);
  EXPECT_FALSE(p.close);
  EXPECT_FALSE(p.bar_visible);
  EXPECT_EQ(p.bar_value, 0);
  EXPECT_FALSE(PlanProgress(false, std::nan("")).bar_visible);
  EXPECT_TRUE(PlanProgress(false, 0).bar_visible);
}

}  // namespace
}  // namespace ui
