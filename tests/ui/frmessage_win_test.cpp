// The progress window: its properties and layout, every row of
// ShowProgress's call table, closing by the operator, and the bar's pixels.
#include <gtest/gtest.h>

#include <set>

#include "framework/application_win.h"
#include "framework/bitmap_win.h"
#include "tests/framework/win_test_support.h"
#include "ui/frmessage_win.h"

namespace ui {
namespace {

using framework::Application;
using framework::ColorToRGB;
using testing_win::ClientCapture;
using testing_win::Pump;
using testing_win::WindowText;

// Windows-1251 "Сортировка".
const std::string kSorting = "\xD1\xEE\xF0\xF2\xE8\xF0\xEE\xE2\xEA\xE0";

class ProgressWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ShowProgress("", -1);
    Pump();
  }
};

TEST_F(ProgressWindowTest, PropertiesAndLayout) {
  ShowProgress(kSorting, 0);
  ASSERT_TRUE(MessageExists);
  TF_Message* f = F_Message;
  HWND window = f->Handle();
  EXPECT_EQ(WindowText(window), u"Ход процесса");
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 85);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);

  EXPECT_EQ(f->Panel1->BoundsRect(), framework::Bounds(0, 0, 400, 85));
  EXPECT_EQ(f->LabMess->BoundsRect(), framework::Bounds(8, 8, 380, 16));
  EXPECT_EQ(f->MsgProcent->BoundsRect(), framework::Bounds(8, 28, 380, 21));
  EXPECT_EQ(f->Label2->BoundsRect(), framework::Bounds(8, 60, 196, 13));
  EXPECT_EQ(f->BtnOK->BoundsRect(), framework::Bounds(312, 52, 75, 25));
  EXPECT_EQ(f->LabMess->Parent(), f->Panel1);
  EXPECT_EQ(f->MsgProcent->Parent(), f->Panel1);
  EXPECT_TRUE(f->LabMess->Font().Style() & framework::fsBold);
  EXPECT_TRUE(f->MsgProcent->Font().Style() & framework::fsBold);
  EXPECT_FALSE(f->Label2->Visible());
  EXPECT_FALSE(f->BtnOK->Visible());
  EXPECT_FALSE(f->Timer1->Running());
  EXPECT_EQ(f->Label2->Text(), u"Это сообщение будет закрыто через...");
  // The panel covers the grey form entirely: its sunken edge leaves a
  // 396 × 81 client area.
  RECT panel;
  GetClientRect(f->Panel1->Handle(), &panel);
  EXPECT_EQ(panel.right, 396);
  EXPECT_EQ(panel.bottom, 81);
}

TEST_F(ProgressWindowTest, CallTable) {
  ShowProgress("", 0);  // no window: nothing at all
  EXPECT_FALSE(MessageExists);

  ShowProgress("", 0.5);  // an empty text still makes a window
  ASSERT_TRUE(MessageExists);
  TF_Message* f = F_Message;
  EXPECT_EQ(f->LabMess->Text(), u"");
  EXPECT_TRUE(f->MsgProcent->Visible());
  EXPECT_EQ(f->MsgProcent->Progress(), 0);

  ShowProgress(kSorting, -1);  // the line without a bar
  EXPECT_EQ(F_Message, f);
  EXPECT_EQ(f->LabMess->Text(), u"Сортировка");
  EXPECT_FALSE(f->MsgProcent->Visible());
  EXPECT_EQ(f->MsgProcent->Progress(), 0);

  ShowProgress("", 250);  // the text stays; the bar shows 100
  EXPECT_EQ(f->LabMess->Text(), u"Сортировка");
  EXPECT_TRUE(f->MsgProcent->Visible());
  EXPECT_EQ(f->MsgProcent->Progress(), 100);

  ShowProgress("", 99.99);
  EXPECT_EQ(f->MsgProcent->Progress(), 99);
  ShowProgress("x", 37.9);
  EXPECT_EQ(f->MsgProcent->Progress(), 37);
  EXPECT_EQ(f->LabMess->Text(), u"x");

  HWND old = f->Handle();
  ShowProgress("", 0);  // closes, as -1 would
  EXPECT_FALSE(MessageExists);
  Pump();
  EXPECT_FALSE(IsWindow(old));
}

TEST_F(ProgressWindowTest, ShowingRightAfterAClosingMakesANewWindow) {
  ShowProgress("a", 10);
  TF_Message* first = F_Message;
  HWND old = first->Handle();
  first->Close();  // closed, not yet destroyed
  EXPECT_FALSE(MessageExists);
  EXPECT_TRUE(IsWindow(old));
  ShowProgress("", 20);  // a new window; the old one goes while messages run
  EXPECT_TRUE(MessageExists);
  EXPECT_NE(F_Message->Handle(), old);
  EXPECT_EQ(F_Message->LabMess->Text(), u"");
  EXPECT_EQ(F_Message->MsgProcent->Progress(), 20);
  EXPECT_FALSE(IsWindow(old));
}

TEST_F(ProgressWindowTest, WindowClosedByTheOperatorComesBackEmptyAndCentred) {
  ShowProgress(kSorting, 30);
  HWND old = F_Message->Handle();
  PostMessageW(old, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_FALSE(MessageExists);
  EXPECT_FALSE(IsWindow(old));  // freed at once, within the same processing

  ShowProgress("", 40);  // the pass's next update
  ASSERT_TRUE(MessageExists);
  EXPECT_EQ(F_Message->LabMess->Text(), u"");
  EXPECT_EQ(F_Message->MsgProcent->Progress(), 40);
  RECT outer;
  GetWindowRect(F_Message->Handle(), &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

TEST_F(ProgressWindowTest, HiddenByBtnOKTheSameWindowComesBack) {
  ShowProgress(kSorting, 60);
  TF_Message* f = F_Message;
  f->BtnOKClick(f->BtnOK);
  EXPECT_TRUE(MessageExists);
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
  ShowProgress("", 61);
  EXPECT_EQ(F_Message, f);
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_EQ(f->LabMess->Text(), u"Сортировка");
}

TEST_F(ProgressWindowTest, EveryShowingCallBringsTheWindowToTheFront) {
  ShowProgress(kSorting, 10);
  HWND progress = F_Message->Handle();
  // Another always-on-top window over it.
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  auto above = [](HWND a, HWND b) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      if (w == a) return true;
      if (w == b) return false;
    }
    return false;
  };
  ASSERT_TRUE(above(cover, progress));
  ShowProgress("", 11);
  EXPECT_TRUE(above(progress, cover));
  DestroyWindow(cover);
}

// The bar drawn at a percentage: what colours appear where.
class BarPixelsTest : public ::testing::Test {
 protected:
  void Draw(int percent) {
    ShowProgress("", percent == 0 ? 0.5 : percent);
    F_Message->MsgProcent->DrawImage(&image_);
  }
  void TearDown() override {
    ShowProgress("", -1);
    Pump();
  }
  uint32_t At(int x, int y) { return framework::ColorToRGB(static_cast<framework::TColor>(image_.Canvas().Pixel(x, y))); }
  // Colours found in the columns [x0, x1) of the inner rows.
  std::set<uint32_t> ColoursIn(int x0, int x1) {
    std::set<uint32_t> colours;
    for (int y = 1; y < 20; ++y)
      for (int x = x0; x < x1; ++x) colours.insert(At(x, y));
    return colours;
  }
  framework::TBitmap image_;
  static constexpr uint32_t kNavy = 0x800000;
  static constexpr uint32_t kWhite = 0xFFFFFF;
  static constexpr uint32_t kBlack = 0x000000;
  static constexpr uint32_t kLightYellow = 0x7FFFFF;  // red 255, green 255, blue 127
};

TEST_F(BarPixelsTest, FrameAndZeroPercent) {
  Draw(0);
  ASSERT_EQ(image_.Width(), 380);
  ASSERT_EQ(image_.Height(), 21);
  for (int x : {0, 190, 379}) {
    EXPECT_EQ(At(x, 0), kBlack);
    EXPECT_EQ(At(x, 20), kBlack);
  }
  EXPECT_EQ(At(0, 10), kBlack);
  EXPECT_EQ(At(379, 10), kBlack);
  EXPECT_EQ(At(1, 1), kWhite);
  // "0%" in black on white, and nothing else.
  EXPECT_EQ(ColoursIn(1, 379), (std::set<uint32_t>{kWhite, kBlack}));
}

TEST_F(BarPixelsTest, HalfwayTheNavyEndsBefore189AndTheTextInvertsOnBothSides) {
  Draw(50);
  EXPECT_EQ(At(1, 1), kNavy);
  EXPECT_EQ(At(188, 1), kNavy);
  EXPECT_EQ(At(189, 1), kWhite);
  EXPECT_EQ(At(378, 19), kWhite);
  // "50%" straddles the edge: light yellow glyph pixels on the navy side,
  // black ones on the white side; no blended colours anywhere.
  EXPECT_EQ(ColoursIn(1, 189), (std::set<uint32_t>{kNavy, kLightYellow}));
  EXPECT_EQ(ColoursIn(189, 379), (std::set<uint32_t>{kWhite, kBlack}));
}

TEST_F(BarPixelsTest, FullBarIsNavyWithLightYellowText) {
  Draw(100);
  EXPECT_EQ(At(1, 1), kNavy);
  EXPECT_EQ(At(378, 19), kNavy);
  EXPECT_EQ(At(379, 10), kBlack);
  EXPECT_EQ(ColoursIn(1, 379), (std::set<uint32_t>{kNavy, kLightYellow}));
}

TEST_F(BarPixelsTest, TheWindowShowsTheBarItDrew) {
  ShowProgress("", 50);
  ClientCapture panel(F_Message->Panel1->Handle());
  // The bar lies at (8, 28) of the panel's client area.
  EXPECT_EQ(panel.Pixel(8, 28), kBlack);
  EXPECT_EQ(panel.Pixel(8 + 1, 28 + 1), kNavy);
  EXPECT_EQ(panel.Pixel(8 + 188, 28 + 1), kNavy);
  EXPECT_EQ(panel.Pixel(8 + 189, 28 + 1), kWhite);
  EXPECT_EQ(panel.Pixel(4, 4), ColorToRGB(framework::clBtnFace));
}

}  // namespace
}  // namespace ui
