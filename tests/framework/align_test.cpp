#include "framework/align.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(AlignBoundsTest, SidesTakeStripsInTurnAndTheClientTheRest) {
  std::vector<DockedControl> c{
      {TAlign::alClient, Bounds(0, 0, 1, 1)},   {TAlign::alLeft, Bounds(50, 50, 30, 5)},
      {TAlign::alBottom, Bounds(0, 0, 300, 20)}, {TAlign::alTop, Bounds(7, 9, 10, 25)},
      {TAlign::alRight, Bounds(0, 0, 40, 1)},    {TAlign::alNone, Bounds(3, 4, 5, 6)},
      {TAlign::alCustom, Bounds(1, 2, 3, 4)},
  };
  AlignBounds(Bounds(0, 0, 200, 100), &c);
  EXPECT_EQ(c[3].bounds, Bounds(0, 0, 200, 25));   // top first, its height kept
  EXPECT_EQ(c[2].bounds, Bounds(0, 80, 200, 20));  // then bottom
  EXPECT_EQ(c[1].bounds, Bounds(0, 25, 30, 55));   // left, between the two
  EXPECT_EQ(c[4].bounds, Bounds(160, 25, 40, 55));
  EXPECT_EQ(c[0].bounds, Bounds(30, 25, 130, 55));
  EXPECT_EQ(c[5].bounds, Bounds(3, 4, 5, 6));  // not docked: untouched
  EXPECT_EQ(c[6].bounds, Bounds(1, 2, 3, 4));
}

TEST(AlignBoundsTest, OneSideGoesInTheOrderItStandsAndTheRestNeverGoesNegative) {
  std::vector<DockedControl> c{
      {TAlign::alTop, Bounds(0, 40, 10, 30)},
      {TAlign::alTop, Bounds(0, 5, 10, 50)},
      {TAlign::alClient, Bounds(0, 0, 10, 10)},
  };
  AlignBounds(Bounds(0, 0, 100, 60), &c);
  EXPECT_EQ(c[1].bounds, Bounds(0, 0, 100, 50));  // it stood higher
  EXPECT_EQ(c[0].bounds, Bounds(0, 50, 100, 30));  // keeps its height past the edge
  EXPECT_EQ(c[2].bounds, Bounds(0, 80, 100, 0));
}

}  // namespace
}  // namespace framework
