#include "ui/head_label.h"

#include <gtest/gtest.h>

#include <vector>

namespace ui {
namespace {

using framework::TAlign;
using framework::clGray;
using framework::clSilver;
using framework::clWhite;

constexpr uint32_t kGray = 0x808080;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t Grey(int v) { return framework::RGBValue(uint8_t(v), uint8_t(v), uint8_t(v)); }

TEST(GradientPaletteTest, OneStepIsTheFirstColourOfEachStyle) {
  const framework::TColor start = 0x102030;
  const framework::TColor end = 0xA0B0C0;
  const std::pair<TGradientStyle, uint32_t> cases[] = {
      {TGradientStyle::gsLeft, 0x102030},   {TGradientStyle::gsTop, 0x102030},
      {TGradientStyle::gsBottom, 0xA0B0C0}, {TGradientStyle::gsRight, 0xA0B0C0},
      {TGradientStyle::dsBound, 0xA0B0C0},  // the odd last band takes the outer colour
  };
  for (auto [style, first] : cases) {
    GradientPalette p;
    p.Build(style, start, end, 1, 0);
    EXPECT_EQ(p.Slot(1), first) << int(style);
    EXPECT_EQ(p.Slot(2), 0u) << int(style);
  }
}

TEST(GradientPaletteTest, GreyToWhiteNeverReachesWhite) {
  GradientPalette top;
  top.Build(TGradientStyle::gsTop, clGray, clWhite, 64, 0);
  EXPECT_EQ(top.Slot(1), kGray);
  EXPECT_EQ(top.Slot(64), 0xFDFDFDu);  // trunc(128 + 63 * 1.984375)
  // The utility's labels: white at the top, toward grey at the bottom.
  GradientPalette bottom;
  bottom.Build(TGradientStyle::gsBottom, clGray, clWhite, 64, 0);
  EXPECT_EQ(bottom.Slot(1), kWhite);
  EXPECT_EQ(bottom.Slot(2), 0xFDFDFDu);
  EXPECT_EQ(bottom.Slot(63), 0x838383u);
  EXPECT_EQ(bottom.Slot(64), 0x818181u);
  for (int k = 2; k <= 64; ++k) EXPECT_LT(bottom.Slot(k), bottom.Slot(k - 1)) << k;
}

TEST(GradientPaletteTest, ChannelsRampEachOnTheirOwnAndSystemColoursResolve) {
  framework::SetSysColorTable([](int index) { return index == 8 ? 0x0000FFu : 0u; });
  GradientPalette p;
  // clWindowText (red here) toward $00FF00 in 4 steps: red falls, green rises.
  p.Build(TGradientStyle::gsLeft, framework::clWindowText, 0x00FF00, 4, 0);
  framework::SetSysColorTable(nullptr);
  EXPECT_EQ(p.Slot(1), 0x0000FFu);
  EXPECT_EQ(p.Slot(2), framework::RGBValue(191, 63, 0));  // 255 - 63.75, 63.75, truncated
  EXPECT_EQ(p.Slot(4), framework::RGBValue(63, 191, 0));
}

TEST(GradientPaletteTest, BoundStyleMirrorsItsRampAroundTheMiddle) {
  GradientPalette p;
  p.Build(TGradientStyle::dsBound, clGray, clWhite, 64, 0);
  EXPECT_EQ(p.Slot(1), kWhite);
  EXPECT_EQ(p.Slot(64), kWhite);
  EXPECT_EQ(p.Slot(32), Grey(131));  // trunc(255 - 31 * 127 / 32)
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(p.Slot(i), p.Slot(65 - i)) << i;

  // Odd: slots 1..2h mirror, the last one is the outer colour again.
  GradientPalette odd;
  odd.Build(TGradientStyle::dsBound, 0x000000, 0xC8C8C8, 7, 0);
  const std::vector<uint32_t> expected{Grey(200), Grey(133), Grey(66), Grey(66), Grey(133), Grey(200), Grey(200)};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(odd.Slot(i), expected[size_t(i - 1)]) << i;
}

TEST(GradientPaletteTest, RoundBitClearsLowBitsOfEveryChannel) {
  GradientPalette p;
  p.Build(TGradientStyle::gsLeft, 0x102030, 0xF0E0D0, 255, 7);
  bool saw_zero = false;
  bool saw_128 = false;
  for (int k = 1; k <= 255; ++k) {
    for (int shift : {0, 8, 16}) {
      const uint32_t c = (p.Slot(k) >> shift) & 0xFF;
      EXPECT_TRUE(c == 0 || c == 128) << k;
      saw_zero |= c == 0;
      saw_128 |= c == 128;
    }
  }
  EXPECT_TRUE(saw_zero && saw_128);
}

TEST(GradientPaletteTest, SlotsAboveTheBandCountKeepOlderValues) {
  GradientPalette p;
  for (int k = 1; k <= 255; ++k) EXPECT_EQ(p.Slot(k), 0u);  // black at creation
  p.Build(TGradientStyle::gsTop, clGray, clWhite, 64, 0);
  p.Build(TGradientStyle::gsTop, clWhite, clWhite, 4, 0);
  EXPECT_EQ(p.Slot(4), kWhite);
  EXPECT_EQ(p.Slot(5), Grey(135));
  EXPECT_EQ(p.Slot(64), 0xFDFDFDu);
  p.Build(TGradientStyle::gsNone, 0x123456, 0x123456, 64, 0);  // builds nothing
  EXPECT_EQ(p.Slot(64), 0xFDFDFDu);
}

TEST(BandTest, UtilityLabelsLeaveTheFirstAndLastOf64BandsEmpty) {
  using framework::Rect;
  EXPECT_EQ(MulDivRounded(1, 29, 64), 0);  // 0.45; halves go away from zero:
  EXPECT_EQ(MulDivRounded(5, -1, 2), -3);
  EXPECT_EQ(MulDivRounded(2000000000, 3, 4), 1500000000);  // no overflow in between
  const TGradientStyle s = TGradientStyle::gsBottom;
  EXPECT_EQ(BandRect(s, 0, 64, 241, 29).Height(), 0);
  EXPECT_EQ(BandRect(s, 1, 64, 241, 29), Rect(0, 0, 241, 1));
  EXPECT_EQ(BandRect(s, 62, 64, 241, 29), Rect(0, 28, 241, 29));
  EXPECT_EQ(BandRect(s, 63, 64, 241, 29).Height(), 0);
  EXPECT_EQ(BandRect(TGradientStyle::gsLeft, 1, 4, 40, 10), Rect(10, 0, 20, 10));
  EXPECT_EQ(BandRect(TGradientStyle::gsRight, 3, 4, 40, 10), Rect(30, 0, 40, 10));
  EXPECT_EQ(BandRect(TGradientStyle::dsBound, 3, 4, 40, 10), Rect(0, 8, 40, 10));  // 7.5 rounds up
}

TEST(BandTest, MoreBandsThanPixelsGiveEveryPixelExactlyOneBand) {
  for (int rows : {1, 7, 29, 100}) {
    std::vector<int> covered(size_t(rows), 0);
    for (int k = 0; k < 255; ++k) {
      const framework::TRect band = BandRect(TGradientStyle::gsTop, k, 255, 5, rows);
      EXPECT_GE(band.Height(), 0);
      for (int y = band.Top; y < band.Bottom; ++y) ++covered[size_t(y)];
    }
    for (int y = 0; y < rows; ++y) EXPECT_EQ(covered[size_t(y)], 1) << rows << " rows, row " << y;
  }
}

// 10 pixels a character, "." 3 and " " 2: "... " is 11 wide.
int FakeWidth(std::u16string_view text) {
  int w = 0;
  for (char16_t c : text) w += c == u'.' ? 3 : c == u' ' ? 2 : 10;
  return w;
}

TEST(FitCaptionTest, LongestFittingPrefixGetsThreeDots) {
  // Room: 100 - (0 + 5 + 8 + 11) = 76, seven characters.
  EXPECT_EQ(FitCaption(u"ABCDEFG", u"", 5, 100, 8, FakeWidth), u"ABCDEFG");
  EXPECT_EQ(FitCaption(u"ABCDEFGH", u"", 5, 100, 8, FakeWidth), u"ABCDEFG...");
  EXPECT_EQ(FitCaption(u"", u"", 5, 100, 8, FakeWidth), u"");
  // The room shrinks by the sub-caption as drawn (with its dots), measured
  // in the same font: 76 - 29 leaves four.
  EXPECT_EQ(FitCaption(u"ABCDEFGH", SubCaptionText(u"XY", true), 5, 100, 8, FakeWidth), u"ABCD...");
  // A bigger left offset (after a glyph) leaves less.
  EXPECT_EQ(FitCaption(u"ABCDEFGH", u"", 26, 100, 8, FakeWidth), u"ABCDE...");
  // Ampersands count as they stand.
  EXPECT_EQ(FitCaption(u"&&&&&&&&", u"", 5, 100, 8, FakeWidth), u"&&&&&&&...");
}

TEST(FitCaptionTest, NothingWhenNoCharacterFits) {
  EXPECT_EQ(FitCaption(u"ABC", u"", 5, 33, 8, FakeWidth), u"");  // room 9
  EXPECT_EQ(FitCaption(u"ABC", u"", 5, 34, 8, FakeWidth), u"A...");  // room 10
  EXPECT_EQ(FitCaption(u"ABC", u"", 5, 10, 8, FakeWidth), u"");  // room below zero
  EXPECT_EQ(FitCaption(u"AB\U0001F600C", u"", 5, 54, 8, FakeWidth), u"AB...");  // no half surrogate pair
  // The sub-caption is drawn only when 8 narrower than the label.
  EXPECT_TRUE(SubCaptionFits(91, 100));
  EXPECT_FALSE(SubCaptionFits(92, 100));
}

TEST(GlyphTest, FirstFrameCentredAfterTheMarginAndTheCaptionAfterIt) {
  GlyphPlace p = PlaceGlyph(64, 16, 4, 100, 20, 5, 5, TGlyphMode::gmNormal);
  EXPECT_EQ(p.rect, framework::Bounds(5, 2, 16, 16));
  EXPECT_EQ(p.text_start, 26);
  EXPECT_EQ(PlaceGlyph(64, 16, 4, 100, 20, 5, 5, TGlyphMode::gmOverlayed).text_start, 5);
  EXPECT_EQ(PlaceGlyph(40, 16, 1, 100, 21, 5, 5, TGlyphMode::gmNormal).rect, framework::Bounds(5, 2, 40, 16));
}

TEST(GlyphTest, SmallLabelsShrinkTheGlyphByTheirRules) {
  // Too low: h = 12 - 2, w = 16 - (16 - 10) div 4.
  GlyphPlace low = PlaceGlyph(16, 16, 1, 100, 12, 5, 5, TGlyphMode::gmNormal);
  EXPECT_EQ(low.rect, framework::Bounds(5, 1, 15, 10));
  EXPECT_EQ(low.text_start, 25);
  // Too narrow: w = 14 - 2, h = 16 - 4 * (16 - 12) = 0: nothing drawn, no room.
  GlyphPlace narrow = PlaceGlyph(16, 16, 1, 14, 30, 5, 5, TGlyphMode::gmNormal);
  EXPECT_EQ(narrow.rect.Width() * narrow.rect.Height(), 0);
  EXPECT_EQ(narrow.text_start, 10);
  // Slightly narrow: w = 15 - 2, h = 20 - 4 * 3, centred in 30 rows.
  EXPECT_EQ(PlaceGlyph(16, 20, 1, 15, 30, 5, 5, TGlyphMode::gmNormal).rect, framework::Bounds(5, 11, 13, 8));
}

TEST(GlyphTest, HitZoneSpansTheWholeStripFromTheMargin) {
  EXPECT_TRUE(InGlyphZone(60, 5, 64));  // only 5..20 show the glyph
  EXPECT_TRUE(InGlyphZone(5, 5, 64));
  EXPECT_TRUE(InGlyphZone(69, 5, 64));
  EXPECT_FALSE(InGlyphZone(70, 5, 64));
  EXPECT_FALSE(InGlyphZone(4, 5, 64));
}

TEST(FitSizeTest, EachDockingSetsItsSides) {
  const FitMeasures m{.caption_width = 50, .caption_height = 16, .sub_width = 20, .sub_height = 13,
                      .dots_width = 11, .glyph_width = 32, .glyph_height = 20};
  const TBoundLines all = blLeft | blTop | blRight | blBottom;
  const int width = 50 + 5 + 32 + 5 + 20 + 8 + 11 + 2;
  FittedSize none = FitSize(TAlign::alNone, m, 5, 5, 8, all);
  EXPECT_EQ(none.width, width);
  EXPECT_EQ(none.height, 20 + 2);  // the glyph is the tallest
  for (TAlign a : {TAlign::alTop, TAlign::alBottom}) {
    EXPECT_FALSE(FitSize(a, m, 5, 5, 8, blTop).width.has_value());
    EXPECT_EQ(FitSize(a, m, 5, 5, 8, blTop).height, 21);
  }
  for (TAlign a : {TAlign::alLeft, TAlign::alRight}) {
    EXPECT_EQ(FitSize(a, m, 5, 5, 8, blLeft).width, width - 1);
    EXPECT_FALSE(FitSize(a, m, 5, 5, 8, blLeft).height.has_value());
  }
  for (TAlign a : {TAlign::alClient, TAlign::alCustom}) {
    FittedSize s = FitSize(a, m, 5, 5, 8, all);
    EXPECT_FALSE(s.width.has_value() || s.height.has_value());
  }
  // Spacing counts without a glyph too.
  EXPECT_EQ(FitSize(TAlign::alNone, FitMeasures{}, 5, 5, 8, 0).width, 18);
}

// The settings on a control that only counts what it is asked to do.
class CountingLabel : public HeadLabelSettings {
 public:
  using HeadLabelSettings::CountGlyphs;
  int repaints = 0;
  int fits = 0;
  int gradient_paints = 0;
  std::vector<TAlign> docked;

 protected:
  void RepaintLabel() override { ++repaints; }
  void FitBounds() override { ++fits; }
  void PaintGradientNow() override { ++gradient_paints; }
  void DockChanged(TAlign align) override { docked.push_back(align); }
};

TEST(HeadLabelSettingsTest, UnchangedValuesDoNothingExceptForThreeProperties) {
  CountingLabel l;
  l.Gradient().SetColorSteps(64);
  l.Gradient().SetStyle(TGradientStyle::gsLeft);
  l.SetMargin(5);
  l.SetBoundLines(0);
  l.SubCaption().SetSize(8);
  EXPECT_EQ(l.repaints + l.fits, 0);
  l.SetAlignment(TTextAlignmt::taLeft);
  l.SetNumGlyphs(1);
  EXPECT_EQ(l.repaints, 2);
  l.SetRoundBit(0);
  EXPECT_EQ(l.gradient_paints, 1);
}

TEST(HeadLabelSettingsTest, WhichChangesRepaintAndWhichFit) {
  CountingLabel l;
  l.Gradient().SetEndColor(clWhite);
  l.SubCaption().SetColor(clWhite);
  l.SubCaption().SetStyle(framework::fsBold);
  l.SetBoundLines(blTop | blBottom);
  l.SetBoundColor(clWhite);
  l.SetGlyphMode(TGlyphMode::gmOverlayed);
  l.SetFormMove(true);  // stored only
  EXPECT_EQ(l.repaints, 6);
  EXPECT_EQ(l.fits, 0);
  l.SetMargin(3);
  l.SetSpacing(2);
  l.SubCaption().SetMargin(1);
  EXPECT_EQ(l.repaints, 9);
  EXPECT_EQ(l.fits, 3);
  // Without AutoBounds they still repaint but fit nothing.
  l.SetAutoBounds(false);
  l.SetMargin(4);
  EXPECT_EQ(l.repaints, 10);
  EXPECT_EQ(l.fits, 3);
  // Turning AutoBounds on fits at once, without a repaint.
  l.SetAutoBounds(true);
  EXPECT_EQ(l.fits, 4);
  EXPECT_EQ(l.repaints, 10);
}

TEST(HeadLabelSettingsTest, SubCaptionResetsAlignmentAndRefusesOthersUntilCleared) {
  CountingLabel l;
  l.SetAlignment(TTextAlignmt::taRight);
  EXPECT_EQ(l.Alignment(), TTextAlignmt::taRight);
  l.SubCaption().SetCaption(u"Sub");
  EXPECT_EQ(l.Alignment(), TTextAlignmt::taLeft);
  EXPECT_EQ(l.fits, 1);
  const int repaints = l.repaints;
  l.SetAlignment(TTextAlignmt::taRight);
  l.SetAlignment(TTextAlignmt::taCenter);
  EXPECT_EQ(l.Alignment(), TTextAlignmt::taLeft);
  EXPECT_EQ(l.repaints, repaints);  // dropped without notice
  l.SubCaption().SetCaption(u"");
  EXPECT_EQ(l.fits, 2);
  l.SetAlignment(TTextAlignmt::taCenter);
  EXPECT_EQ(l.Alignment(), TTextAlignmt::taCenter);
}

TEST(HeadLabelSettingsTest, EllipsisNeedsASubCaption) {
  CountingLabel l;
  l.SubCaption().SetEllipsis(true);
  EXPECT_FALSE(l.SubCaption().Ellipsis());
  EXPECT_EQ(l.repaints + l.fits, 0);
  l.SubCaption().SetCaption(u"Sub");
  l.SubCaption().SetEllipsis(true);
  EXPECT_TRUE(l.SubCaption().Ellipsis());
  EXPECT_EQ(l.SubCaption().Text(), u"Sub...");
  EXPECT_EQ(l.fits, 2);
}

TEST(HeadLabelSettingsTest, ClientDockingTurnsAutoBoundsOffAndRefusesItBack) {
  CountingLabel l;
  l.SetAlign(TAlign::alClient);
  EXPECT_FALSE(l.AutoBounds());
  EXPECT_EQ(l.fits, 0);
  EXPECT_EQ(l.docked, std::vector<TAlign>{TAlign::alClient});
  l.SetAutoBounds(true);
  EXPECT_FALSE(l.AutoBounds());
  EXPECT_EQ(l.fits, 0);
  l.SetAlign(TAlign::alTop);
  l.SetAutoBounds(true);
  EXPECT_TRUE(l.AutoBounds());
  EXPECT_EQ(l.fits, 1);
  l.SetAlign(TAlign::alTop);  // unchanged: not passed on again
  EXPECT_EQ(l.docked.size(), 2u);
}

TEST(HeadLabelSettingsTest, RoundBitIsClampedAndPaintsTheGradientAtOnce) {
  CountingLabel l;
  l.SetRoundBit(9);
  EXPECT_EQ(l.RoundBit(), 7);
  l.SetRoundBit(-3);
  EXPECT_EQ(l.RoundBit(), 0);
  EXPECT_EQ(l.gradient_paints, 2);
  EXPECT_EQ(l.repaints, 0);
  l.Gradient().SetStyle(TGradientStyle::gsNone);
  l.SetRoundBit(4);
  EXPECT_EQ(l.RoundBit(), 4);
  EXPECT_EQ(l.gradient_paints, 2);  // a plain face has nothing to quantise
}

TEST(HeadLabelSettingsTest, OutOfRangeCountsRaiseAndChangeNothing) {
  CountingLabel l;
  EXPECT_THROW(l.Gradient().SetColorSteps(0), ERangeError);
  EXPECT_THROW(l.Gradient().SetColorSteps(256), ERangeError);
  EXPECT_EQ(l.Gradient().ColorSteps(), 64);
  l.Gradient().SetColorSteps(255);
  EXPECT_EQ(l.Gradient().ColorSteps(), 255);
  EXPECT_THROW(l.SetNumGlyphs(0), ERangeError);
  EXPECT_THROW(l.SetNumGlyphs(5), ERangeError);
  EXPECT_EQ(l.NumGlyphs(), 1);
}

TEST(HeadLabelSettingsTest, CountGlyphsFromTheStrip) {
  CountingLabel l;
  l.CountGlyphs(64, 16);
  EXPECT_EQ(l.NumGlyphs(), 4);
  l.CountGlyphs(40, 16);
  EXPECT_EQ(l.NumGlyphs(), 1);
  l.CountGlyphs(64, 16);
  EXPECT_THROW(l.CountGlyphs(80, 16), ERangeError);
  EXPECT_EQ(l.NumGlyphs(), 4);  // kept
  l.CountGlyphs(0, 0);
  EXPECT_EQ(l.NumGlyphs(), 1);
}

}  // namespace
}  // namespace ui
