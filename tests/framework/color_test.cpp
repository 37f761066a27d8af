#include "framework/color.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(ColorTest, SystemColoursGoThroughTheTableOthersKeepTheirRgb) {
  SetSysColorTable([](int index) { return 0x010203u * static_cast<uint32_t>(index); });
  EXPECT_EQ(ColorToRGB(clWindowText), 0x081018u);  // index 8
  EXPECT_EQ(ColorToRGB(clBtnFace), 0x0F1E2Du);
  EXPECT_EQ(ColorToRGB(clNavy), 0x800000u);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x02345678)), 0x345678u);
  SetSysColorTable(nullptr);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
}

TEST(ColorTest, NamedColoursAreBgr) {
  EXPECT_EQ(RedOf(ColorToRGB(clNavy)), 0);
  EXPECT_EQ(BlueOf(ColorToRGB(clNavy)), 128);
  EXPECT_EQ(RGBValue(255, 255, 127), 0x7FFFFFu);
  EXPECT_TRUE(IsSystemColor(clWindowText));
  EXPECT_FALSE(IsSystemColor(clWhite));
  EXPECT_EQ(static_cast<uint32_t>(clWindowText), 0xFF000008u);
}

}  // namespace
}  // namespace framework
