// The gradient label on a real window under the system: each piece of its
// face where the rules put it, read back by pixels; its fitted size and
// docking; which events a press fires, by where the cursor is.
#include "ui/head_label_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/application_win.h"
#include "framework/form_win.h"
#include "tests/framework/win_test_support.h"

namespace ui {
namespace {

using namespace framework;
using testing_win::ClientCapture;
using testing_win::Pump;

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t Grey(int v) { return RGBValue(uint8_t(v), uint8_t(v), uint8_t(v)); }
bool Dark(uint32_t c) { return RedOf(c) < 128 && GreenOf(c) < 128 && BlueOf(c) < 128; }
bool Reddish(uint32_t c) { return RedOf(c) > 150 && GreenOf(c) < 110 && BlueOf(c) < 110; }

// A form that records the drag-by-caption command instead of running the
// system's move loop, which would wait for the real mouse.
class DragRecordingForm : public TForm {
 public:
  using TForm::TForm;
  std::vector<std::string>* log = nullptr;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_SYSCOMMAND && wparam == 0xF012) {
      if (log) log->push_back(GetCapture() ? "drag, mouse captured" : "drag");
      return 0;
    }
    return TForm::WndProc(message, wparam, lparam);
  }
};

// Text widths in a font, as the label measures them.
int WidthIn(const TFont& font, std::u16string_view text) {
  MemoryDC dc;
  TCanvas canvas;
  canvas.SetHandle(dc.get());
  canvas.Font().Assign(font);
  return canvas.TextWidth(text);
}

class HeadLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<DragRecordingForm>(&Application());
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetClientSize(300, 120);
    form->SetColor(clWhite);
    form->log = &log;
    label = new THeadLabel(form.get());
    label->SetAutoBounds(false);
    label->SetBounds(10, 10, 100, 20);
    label->SetParent(form.get());
    // Made but not shown: captures and presses need no visible window, and
    // showing one costs seconds without a window manager.
    form->Handle();
  }
  void TearDown() override {
    form.reset();
    Pump();
  }

  // The label's face as the window paints it, in label coordinates.
  struct Face {
    explicit Face(THeadLabel* l) : capture(l->Parent()->Handle()), left(l->Left()), top(l->Top()) {}
    uint32_t operator()(int x, int y) const { return capture.Pixel(left + x, top + y); }
    ClientCapture capture;
    int left;
    int top;
  };

  // A plain white face with black, crisp text in the text font.
  void PlainTextLabel(int width, int height) {
    label->SetBounds(10, 10, width, height);
    label->Gradient().SetStyle(TGradientStyle::gsNone);
    label->Gradient().SetStartColor(clWhite);
    label->Font().Assign(label->TextFont());
    label->Font().SetColor(clBlack);
    label->Font().SetQuality(TFontQuality::fqNonAntialiased);
  }

  // Columns [first, last] holding a pixel that passes `test`; {-1, -1} if none.
  std::pair<int, int> ColumnsWith(const Face& face, bool (*test)(uint32_t)) const {
    std::pair<int, int> span{-1, -1};
    for (int x = 0; x < label->Width(); ++x)
      for (int y = 0; y < label->Height(); ++y)
        if (test(face(x, y))) {
          if (span.first < 0) span.first = x;
          span.second = x;
        }
    return span;
  }

  // A glyph strip of 4 frames of 16 x 16: the first red, the others blue,
  // with a white 4 x 4 square at the bottom left, which is the strip's
  // transparent colour.
  static void MakeStrip(TBitmap* strip) {
    strip->SetSize(64, 16);
    TCanvas& c = strip->Canvas();
    c.SetBrushColor(static_cast<TColor>(kBlue));
    c.FillRect(Bounds(0, 0, 64, 16));
    c.SetBrushColor(static_cast<TColor>(kRed));
    c.FillRect(Bounds(0, 0, 16, 16));
    c.SetBrushColor(clWhite);
    c.FillRect(Bounds(0, 12, 4, 4));
  }

  // A press at x of the label, with the cursor really there: the glyph
  // zone is judged by the cursor, not by the message.
  void Press(int x, UINT message = WM_LBUTTONDOWN) {
    POINT p{label->Left() + x, label->Top() + 10};
    const LPARAM at = MAKELPARAM(p.x, p.y);
    ClientToScreen(form->Handle(), &p);
    SetCursorPos(p.x, p.y);
    SendMessageW(form->Handle(), message, MK_LBUTTON, at);
    SendMessageW(form->Handle(), message == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
  }
  void LogEvents() {
    label->OnClick = [this](TComponent* s) { log.push_back(s == label ? "click" : "click from elsewhere"); };
    label->OnDblClick = [this](TComponent*) { log.push_back("double"); };
    label->OnGlyphClick = [this](TComponent*) { log.push_back("glyph"); };
    label->OnGlyphDblClick = [this](TComponent*) { log.push_back("glyph double"); };
  }

  std::unique_ptr<DragRecordingForm> form;
  THeadLabel* label = nullptr;
  std::vector<std::string> log;
};

TEST_F(HeadLabelTest, ConstructionDefaults) {
  THeadLabel fresh(nullptr);
  EXPECT_EQ(fresh.BoundsRect(), Bounds(0, 0, 65, 17));
  EXPECT_EQ(fresh.TextFont().Name(), u"Arial");
  EXPECT_EQ(fresh.TextFont().Size(), 10);
  EXPECT_EQ(fresh.TextFont().Style(), fsBold);
  EXPECT_TRUE(fresh.ParentFont());
  EXPECT_TRUE(fresh.AutoBounds());
  // Placed, it takes the parent's font into its text font, and fits nothing.
  fresh.SetParent(form.get());
  EXPECT_EQ(fresh.TextFont().Name(), form->Font().Name());
  EXPECT_EQ(fresh.BoundsRect(), Bounds(0, 0, 65, 17));
  fresh.SetParent(nullptr);
}

TEST_F(HeadLabelTest, VerticalBandsAndBoundLinesWhereTheRulesPutThem) {
  label->SetBounds(10, 10, 40, 10);
  label->Gradient().SetColorSteps(4);
  label->Gradient().SetStartColor(clBlack);
  label->Gradient().SetEndColor(0xC8C8C8);
  label->SetBoundLines(blLeft | blTop | blRight | blBottom);
  label->SetBoundColor(static_cast<TColor>(kRed));
  Face face(label);
  for (int x = 1; x < 39; ++x) EXPECT_EQ(face(x, 5), Grey(50 * (x / 10))) << x;
  for (int y = 0; y < 9; ++y) {
    EXPECT_EQ(face(0, y), kRed) << y;
    EXPECT_EQ(face(39, y), kRed) << y;
  }
  for (int x = 0; x < 39; ++x) {
    EXPECT_EQ(face(x, 0), kRed) << x;
    EXPECT_EQ(face(x, 9), kRed) << x;
  }
  // Both lines that reach the bottom-right corner end there undrawn.
  EXPECT_EQ(face(39, 9), Grey(150));
  EXPECT_EQ(face(-1, 5), kWhite);
  EXPECT_EQ(face(40, 5), kWhite);
  EXPECT_EQ(face(5, 10), kWhite);
}

TEST_F(HeadLabelTest, OddBoundGradientMirrorsAndEndsInTheOuterColour) {
  label->SetBounds(10, 10, 30, 14);
  label->Gradient().SetStyle(TGradientStyle::dsBound);
  label->Gradient().SetColorSteps(7);
  label->Gradient().SetStartColor(clBlack);
  label->Gradient().SetEndColor(0xC8C8C8);
  Face face(label);
  const int band_grey[7] = {200, 133, 66, 66, 133, 200, 200};  // two rows each
  for (int y = 0; y < 14; ++y) {
    for (int x : {0, 15, 29}) EXPECT_EQ(face(x, y), Grey(band_grey[y / 2])) << x << "," << y;
  }
}

TEST_F(HeadLabelTest, PlainFaceIsNeverQuantisedAndRoundBitPaintsAtOnce) {
  label->Gradient().SetStyle(TGradientStyle::gsNone);
  label->Gradient().SetStartColor(0x7F7F7F);
  label->SetRoundBit(7);
  EXPECT_EQ(Face(label)(50, 10), Grey(0x7F));

  label->Gradient().SetStyle(TGradientStyle::gsTop);
  label->Gradient().SetColorSteps(1);
  label->SetRoundBit(0);
  EXPECT_EQ(Face(label)(50, 10), Grey(0x7F));
  Pump();
  ValidateRect(form->Handle(), nullptr);
  label->SetRoundBit(7);
  EXPECT_EQ(label->Palette().Slot(1), 0u);  // rebuilt and painted now...
  EXPECT_FALSE(GetUpdateRect(form->Handle(), nullptr, FALSE));  // ...with no repaint asked for
  EXPECT_EQ(Face(label)(50, 10), 0u);
}

TEST_F(HeadLabelTest, FirstGlyphFrameDrawnTransparentlyAndShrunkInALowLabel) {
  label->Gradient().SetStyle(TGradientStyle::gsNone);
  label->Gradient().SetStartColor(static_cast<TColor>(kGreen));
  TBitmap strip;
  MakeStrip(&strip);
  label->SetGlyph(strip);
  EXPECT_EQ(label->NumGlyphs(), 4);
  {
    Face face(label);  // the frame at (5, 2), 16 x 16
    EXPECT_EQ(face(5 + 8, 2 + 8), kRed);
    EXPECT_EQ(face(5 + 15, 2), kRed);
    EXPECT_EQ(face(5 + 15, 2 + 15), kRed);
    EXPECT_EQ(face(5 + 1, 2 + 14), kGreen);  // the white corner is left out
    EXPECT_EQ(face(5 + 4, 2 + 14), kRed);
    EXPECT_EQ(face(4, 10), kGreen);
    EXPECT_EQ(face(21, 10), kGreen);
    EXPECT_EQ(face(13, 1), kGreen);
    EXPECT_EQ(face(13, 18), kGreen);
    EXPECT_EQ(ColumnsWith(face, [](uint32_t c) { return c == kBlue; }).first, -1);  // frames 2 to 4 never
  }
  // 12 rows: the frame becomes 15 x 10 at (5, 1).
  label->SetBounds(10, 10, 100, 12);
  Face face(label);
  EXPECT_EQ(face(12, 1), kRed);
  EXPECT_EQ(face(12, 10), kRed);
  EXPECT_EQ(face(12, 0), kGreen);
  EXPECT_EQ(face(12, 11), kGreen);
  EXPECT_EQ(face(19, 5), kRed);
  EXPECT_EQ(face(20, 5), kGreen);
}

TEST_F(HeadLabelTest, StripOfMoreThanFourFramesIsRefusedAfterTheCopy) {
  TBitmap strip;
  strip.SetSize(80, 16);
  EXPECT_THROW(label->SetGlyph(strip), ERangeError);
  EXPECT_EQ(label->Glyph().Width(), 80);
  EXPECT_EQ(label->NumGlyphs(), 1);
}

TEST_F(HeadLabelTest, CaptionFollowsTheAlignmentAndTheSubCaptionStandsRight) {
  PlainTextLabel(200, 24);
  label->SetCaption(u8"Head");
  const int head = WidthIn(label->TextFont(), u"Head");
  auto dark = ColumnsWith(Face(label), Dark);
  EXPECT_GE(dark.first, 5);
  EXPECT_LE(dark.first, 7);
  EXPECT_LT(dark.second, 5 + head);

  label->SetAlignment(TTextAlignmt::taRight);
  dark = ColumnsWith(Face(label), Dark);
  EXPECT_GE(dark.second, 196);
  label->SetAlignment(TTextAlignmt::taCenter);
  dark = ColumnsWith(Face(label), Dark);
  EXPECT_NEAR((dark.first + dark.second) / 2, (5 + 200) / 2, 3);

  label->SubCaption().SetCaption(u"Sub");  // back to taLeft
  label->SubCaption().SetColor(static_cast<TColor>(kRed));
  TFont sub_font;
  sub_font.Assign(label->TextFont());
  sub_font.SetSize(8);
  sub_font.SetStyle(0);
  const int sub = WidthIn(sub_font, u"Sub");
  Face face(label);
  EXPECT_LE(ColumnsWith(face, Dark).first, 7);
  auto red = ColumnsWith(face, Reddish);
  EXPECT_GE(red.first, 200 - 8 - sub);
  EXPECT_LT(red.second, 200 - 8);
  EXPECT_GT(red.second, 200 - 8 - 4);

  // Not drawn at all when it is not 8 pixels narrower than the label.
  label->SubCaption().SetCaption(u"Subcaption");
  label->SetBounds(10, 10, WidthIn(sub_font, u"Subcaption") + 8, 24);
  EXPECT_EQ(ColumnsWith(Face(label), Reddish).first, -1);
}

TEST_F(HeadLabelTest, LongCaptionEndsInDotsAndVanishesWhenNothingFits) {
  PlainTextLabel(120, 24);
  label->SetCaption(u8"WWWWWWWWWWWWWWWW");
  const Face face(label);
  const auto dark = ColumnsWith(face, Dark);
  ASSERT_GE(dark.first, 0);
  // The dots stand in the room kept at the right, before the margin.
  EXPECT_LT(dark.second, 120 - 8);
  // The last columns are dots, below the middle; a W reaches above it.
  const int dots = WidthIn(label->TextFont(), u"...");
  auto above_middle = [&](int x) {
    for (int y = 0; y < 12; ++y)
      if (Dark(face(x, y))) return true;
    return false;
  };
  for (int x = dark.second - dots + 3; x <= dark.second; ++x) EXPECT_FALSE(above_middle(x)) << x;
  bool w_before_dots = false;
  for (int x = dark.second - dots - 6; x < dark.second - dots; ++x) w_before_dots |= above_middle(x);
  EXPECT_TRUE(w_before_dots);

  label->SetBounds(10, 10, 5 + 8 + WidthIn(label->TextFont(), u"... ") + 2, 24);
  EXPECT_EQ(ColumnsWith(Face(label), Dark).first, -1);
}

TEST_F(HeadLabelTest, AmpersandUnderlinesTheNextCharacter) {
  PlainTextLabel(200, 24);
  auto rows_and_columns = [&](const char8_t* caption) {
    label->SetCaption(caption);
    const Face face(label);
    int last_row = -1;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 200; ++x)
        if (Dark(face(x, y))) last_row = y;
    return std::make_pair(last_row, ColumnsWith(face, Dark));
  };
  const auto plain = rows_and_columns(u8"Head");
  const auto prefixed = rows_and_columns(u8"&Head");
  // The "&" itself is not shown; the underline spans the H's cell, which
  // may start a pixel before its stem.
  EXPECT_EQ(prefixed.second.second, plain.second.second);
  EXPECT_NEAR(prefixed.second.first, plain.second.first, 1);
  EXPECT_GT(prefixed.first, plain.first);  // an underline below the letters
  EXPECT_EQ(rows_and_columns(u8"&&").second, rows_and_columns(u8"&").second);
}

TEST_F(HeadLabelTest, FitsItsContentAndDocks) {
  label->SetAutoBounds(true);
  label->SetCaption(u8"Head");
  // Not painted yet: measured in the text font.
  TCanvas measure;
  MemoryDC dc;
  measure.SetHandle(dc.get());
  measure.Font().Assign(label->TextFont());
  const int width = measure.TextWidth(u"Head") + 5 + 5 + 8 + measure.TextWidth(u"... ");
  const int height = measure.TextHeight(u"Head");
  EXPECT_EQ(label->BoundsRect(), Bounds(10, 10, width, height));
  label->SetBoundLines(blLeft | blBottom);  // no fit of its own...
  EXPECT_EQ(label->Width(), width);
  label->SetSpacing(6);  // ...but the next fit counts them
  EXPECT_EQ(label->BoundsRect(), Bounds(10, 10, width + 2, height + 1));

  label->SetAlign(TAlign::alTop);
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 0, 300, height + 1));
  label->SetSpacing(5);  // docked at the top, only the height is fitted
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 0, 300, height + 1));
  label->SetAlign(TAlign::alClient);
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 0, 300, 120));
  EXPECT_FALSE(label->AutoBounds());
  label->SetAutoBounds(true);
  EXPECT_FALSE(label->AutoBounds());
}

TEST_F(HeadLabelTest, AfterASubCaptionIsPaintedFitsMeasureInItsFont) {
  label->SubCaption().SetCaption(u"S");
  label->SubCaption().SetSize(20);
  Face painted(label);  // the paint leaves the sub-caption's font selected
  label->SetAutoBounds(true);
  TFont big;
  big.Assign(label->TextFont());
  big.SetSize(20);
  MemoryDC dc;
  TCanvas measure;
  measure.SetHandle(dc.get());
  measure.Font().Assign(big);
  EXPECT_EQ(label->Height(), measure.TextHeight(u"S"));
}

TEST_F(HeadLabelTest, PressesInTheGlyphZoneFireTheGlyphEvents) {
  TBitmap strip;
  MakeStrip(&strip);
  label->SetGlyph(strip);
  LogEvents();
  label->OnMouseDown = [this](TComponent*, TMouseButton b, UINT, int, int) {
    log.push_back(b == TMouseButton::mbLeft ? "down" : "right down");
  };
  Press(60);  // the zone is the whole strip, though only 5..20 shows it
  Press(69);
  Press(70);
  Press(4);
  Press(60, WM_RBUTTONDOWN);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "glyph", "down", "glyph", "down", "click", "down", "click",
                                           "right down"}));
  log.clear();
  label->OnMouseDown = nullptr;

  // A double click: the first press clicks, the second double-clicks.
  Press(60);
  Press(60, WM_LBUTTONDBLCLK);
  Press(80);
  Press(80, WM_LBUTTONDBLCLK);
  EXPECT_EQ(log, (std::vector<std::string>{"glyph", "glyph double", "click", "double"}));
  log.clear();

  // Without glyph events the label's own fire there.
  label->OnGlyphClick = nullptr;
  label->OnGlyphDblClick = nullptr;
  Press(60);
  Press(60, WM_LBUTTONDBLCLK);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "double"}));
}

TEST_F(HeadLabelTest, FormMoveReleasesTheMouseAndDragsTheFormBeforeTheClick) {
  LogEvents();
  Press(50);
  label->SetFormMove(true);
  Press(50);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "drag", "click"}));
}

TEST(HeadLabelArithmeticTest, MulDivAgreesWithTheSystem) {
  for (int a = -70; a <= 70; ++a)
    for (int b : {-241, -29, -7, 0, 1, 10, 29, 241, 1000})
      for (int c : {-64, -3, 1, 2, 7, 64, 255}) ASSERT_EQ(MulDivRounded(a, b, c), MulDiv(a, b, c)) << a << b << c;
}

}  // namespace
}  // namespace ui
