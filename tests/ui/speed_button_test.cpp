#include "ui/speed_button.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(SpeedButtonLookTest, FlatButtonShowsItsEdgeOnlyUnderTheMouse) {
  EXPECT_EQ(LookOf(TButtonState::bsUp, true, true, false).edge, ButtonEdge::kNone);
  EXPECT_EQ(LookOf(TButtonState::bsUp, true, true, true).edge, ButtonEdge::kRaised);
  EXPECT_EQ(LookOf(TButtonState::bsDown, true, true, true).edge, ButtonEdge::kSunken);
  EXPECT_FALSE(LookOf(TButtonState::bsUp, true, true, true).thick_edge);
}

TEST(SpeedButtonLookTest, TransparentFlatButtonLeavesItsBackgroundAlone) {
  EXPECT_FALSE(LookOf(TButtonState::bsUp, true, true, false).fill);
  EXPECT_TRUE(LookOf(TButtonState::bsUp, true, false, false).fill);
  // A standard (not flat) button always paints its face and a thick edge.
  SpeedButtonLook standard = LookOf(TButtonState::bsUp, false, true, false);
  EXPECT_TRUE(standard.fill);
  EXPECT_TRUE(standard.thick_edge);
  EXPECT_EQ(standard.edge, ButtonEdge::kRaised);
}

TEST(SpeedButtonLookTest, DisabledButtonIsEmbossedAndFlatOneHasNoEdgeEvenWhenHot) {
  SpeedButtonLook look = LookOf(TButtonState::bsDisabled, true, true, true);
  EXPECT_TRUE(look.embossed);
  EXPECT_EQ(look.edge, ButtonEdge::kNone);
  EXPECT_EQ(look.content_offset, 0);
  EXPECT_EQ(LookOf(TButtonState::bsDown, true, true, true).content_offset, 1);
}

}  // namespace
}  // namespace ui
