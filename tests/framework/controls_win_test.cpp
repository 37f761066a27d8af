// The framework's controls in a real window procedure under the system:
// forms, mouse routing to windowless controls, the default error display,
// message dialogs, the grid and the edit box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "framework/application.h"
#include "framework/application_win.h"
#include "framework/edit_win.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "framework/panel_win.h"
#include "framework/string_grid_win.h"
#include "framework/text.h"
#include "tests/framework/win_test_support.h"
#include "ui/speed_button_win.h"

namespace framework {
namespace {

using testing_win::ClickAt;
using testing_win::ClientCapture;
using testing_win::MessageBoxRecorder;
using testing_win::Pump;

class TestForm : public TForm {
 public:
  TestForm(TComponent* owner, bool* destroyed) : TForm(owner), destroyed_(destroyed) {
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetClientSize(300, 200);
  }
  ~TestForm() override {
    if (destroyed_) *destroyed_ = true;
  }

 private:
  bool* destroyed_;
};

TEST(FormTest, DialogBorderClientSizeAndScreenCentre) {
  TestForm form(&Application(), nullptr);
  form.SetClientSize(538, 629);
  form.SetPosition(TPosition::poScreenCenter);
  form.Show();
  Pump();
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 538);
  EXPECT_EQ(client.bottom, 629);
  RECT outer;
  GetWindowRect(form.Handle(), &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
  LONG_PTR style = GetWindowLongPtrW(form.Handle(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
}

TEST(FormTest, CloseHidesFreesOrStaysAsTheHandlersSay) {
  bool destroyed = false;
  auto* form = new TestForm(&Application(), &destroyed);
  form->Show();
  HWND window = form->Handle();

  bool allow = false;
  int closes = 0;
  form->OnCloseQuery = [&](TComponent*, bool& can_close) { can_close = allow; };
  TCloseAction next = TCloseAction::caNone;
  form->OnClose = [&](TComponent*, TCloseAction& action) {
    ++closes;
    EXPECT_EQ(action, TCloseAction::caHide);  // the default
    action = next;
  };

  SendMessageW(window, WM_CLOSE, 0, 0);  // refused by OnCloseQuery
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(IsWindowVisible(window));

  allow = true;
  form->Close();  // caNone: stays
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindowVisible(window));

  next = TCloseAction::caHide;
  form->Close();
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(destroyed);

  form->Show();
  next = TCloseAction::caFree;
  form->Close();
  EXPECT_FALSE(destroyed);  // only when the pending messages are handled
  EXPECT_TRUE(IsWindow(window));
  Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(window));
}

TEST(WindowProcedureTest, OnlyOurWindowsAreTakenForControls) {
  TestForm form(&Application(), nullptr);
  EXPECT_EQ(TWinControl::FromHandle(form.Handle()), &form);
  // A window of the system's whose user data happens to hold a value.
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(other, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form));
  EXPECT_EQ(TWinControl::FromHandle(other), nullptr);
  DestroyWindow(other);
}

TEST(GraphicControlTest, ClicksReachTheTopmostEnabledControlUnderTheMouse) {
  TestForm form(&Application(), nullptr);
  auto* lower = new ui::TSpeedButton(&form);
  lower->SetBounds(10, 10, 100, 30);
  lower->SetParent(&form);
  auto* upper = new ui::TSpeedButton(&form);
  upper->SetBounds(60, 10, 100, 30);
  upper->SetParent(&form);
  int lower_clicks = 0;
  int upper_clicks = 0;
  lower->OnClick = [&](TComponent* sender) {
    EXPECT_EQ(sender, lower);
    ++lower_clicks;
  };
  upper->OnClick = [&](TComponent*) { ++upper_clicks; };
  form.Show();
  HWND window = form.Handle();

  ClickAt(window, 20, 20);
  EXPECT_EQ(lower_clicks, 1);
  ClickAt(window, 80, 20);  // both lie here: the later one is on top
  EXPECT_EQ(upper_clicks, 1);
  EXPECT_EQ(lower_clicks, 1);

  upper->SetEnabled(false);  // a disabled control lets the one beneath have it
  ClickAt(window, 80, 20);
  EXPECT_EQ(upper_clicks, 1);
  EXPECT_EQ(lower_clicks, 2);

  // Pressed inside, released outside: no click.
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(250, 150));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(250, 150));
  EXPECT_EQ(lower_clicks, 2);
}

TEST(ErrorDisplayTest, ExceptionLeavingAHandlerIsShownAndTheWindowGoesOn) {
  MessageBoxRecorder recorder;
  TestForm form(&Application(), nullptr);
  auto* button = new ui::TSpeedButton(&form);
  button->SetBounds(0, 0, 50, 20);
  button->SetParent(&form);
  int runs = 0;
  button->OnClick = [&](TComponent*) {
    ++runs;
    throw std::runtime_error("Query: Field 'FNumber' not found");
  };
  form.Show();
  ClickAt(form.Handle(), 5, 5);
  ClickAt(form.Handle(), 5, 5);
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[0].text, u"Query: Field 'FNumber' not found.");
  EXPECT_EQ(recorder.boxes[0].caption, Application().Title());
  EXPECT_EQ(recorder.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST(ErrorDisplayTest, TitleComesFromTheExecutableAndMessagesAreUtf8) {
  MessageBoxRecorder recorder;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  Application().Initialize();
  EXPECT_EQ(Application().Title(), TitleFromExeName(std::u16string(reinterpret_cast<char16_t*>(path), n)));
  // Ω: a letter no 8-bit code page of the operator's holds.
  Application().ShowException(std::runtime_error(Utf8Bytes(u8"C:\\Эфир Ω\\AdvBlock.db (x)")));
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, u"C:\\Эфир Ω\\AdvBlock.db (x)");
}

TEST(MessageDialogTest, CaptionAndIconFollowTheKind) {
  MessageBoxRecorder recorder;
  EXPECT_EQ(MessageDlg(u"a", TMsgDlgType::mtError), IDOK);
  MessageDlg(u"b", TMsgDlgType::mtWarning);
  MessageDlg(u"c", TMsgDlgType::mtInformation);
  ASSERT_EQ(recorder.boxes.size(), 3u);
  EXPECT_EQ(recorder.boxes[0].caption, u"Error");
  EXPECT_EQ(recorder.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(recorder.boxes[1].caption, u"Warning");
  EXPECT_EQ(recorder.boxes[1].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(recorder.boxes[2].caption, u"Information");
  EXPECT_EQ(recorder.boxes[2].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(recorder.boxes[2].text, u"c");
}

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TestForm>(&Application(), nullptr);
    form_->SetClientSize(538, 629);
    grid_ = new TStringGrid(form_.get());
    grid_->SetBounds(0, 92, 537, 497);
    grid_->SetColCount(6);
    grid_->SetFixedCols(0);
    grid_->SetDefaultRowHeight(16);
    grid_->SetRowCount(2);
    grid_->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRowSelect);
    grid_->SetParent(form_.get());
    form_->Show();
  }
  std::unique_ptr<TestForm> form_;
  TStringGrid* grid_ = nullptr;
};

TEST_F(GridTest, VerticalBarOnlyWhenTheRowsOverflow) {
  EXPECT_EQ(grid_->ClientWidth(), 533);
  EXPECT_EQ(grid_->ClientHeight(), 493);
  grid_->SetRowCount(29);  // 29 × 17 = 493: fits exactly
  EXPECT_FALSE(grid_->VerticalScrollBarShown());
  EXPECT_EQ(grid_->ClientWidth(), 533);
  grid_->SetRowCount(30);
  EXPECT_TRUE(grid_->VerticalScrollBarShown());
  EXPECT_EQ(grid_->ClientWidth(), 533 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_FALSE(grid_->HorizontalScrollBarShown());
  grid_->SetRowCount(2);
  EXPECT_FALSE(grid_->VerticalScrollBarShown());
  EXPECT_EQ(grid_->ClientWidth(), 533);
}

LRESULT CALLBACK CountFrameChanges(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR counter) {
  if (message == WM_NCCALCSIZE && wparam) ++*reinterpret_cast<int*>(counter);
  return DefSubclassProc(window, message, wparam, lparam);
}

// Rows and columns changed inside an update give the scroll bars of the
// final layout, in one change of the frame: the vertical bar the rows
// need, not the horizontal one the columns needed until they were fitted.
TEST_F(GridTest, AnUpdateShowsTheBarsOfItsFinalLayoutOnce) {
  const int widths[] = {49, 62, 54, 254, 41, 67};  // with their lines, the whole client width
  for (int c = 0; c < 6; ++c) grid_->SetColWidths(c, widths[c]);
  const int bar_w = GetSystemMetrics(SM_CXVSCROLL), bar_h = GetSystemMetrics(SM_CYHSCROLL);
  int frame_changes = 0;
  HWND h = grid_->Handle();
  ASSERT_TRUE(SetWindowSubclass(h, CountFrameChanges, 1, reinterpret_cast<DWORD_PTR>(&frame_changes)));

  grid_->BeginUpdate();
  grid_->SetRowCount(1000);
  EXPECT_FALSE(grid_->VerticalScrollBarShown());
  // The client area the layout will leave: both bars, with these widths.
  EXPECT_EQ(grid_->ClientWidth(), 533 - bar_w);
  EXPECT_EQ(grid_->ClientHeight(), 493 - bar_h);
  grid_->SetColWidths(3, 254 - bar_w);
  EXPECT_EQ(grid_->ClientHeight(), 493);
  grid_->EndUpdate();
  EXPECT_TRUE(grid_->VerticalScrollBarShown());
  EXPECT_FALSE(grid_->HorizontalScrollBarShown());
  EXPECT_EQ(grid_->ClientWidth(), 533 - bar_w);
  EXPECT_EQ(frame_changes, 1);

  // The same steps without an update show the horizontal bar and take it
  // away again.
  grid_->SetRowCount(2);
  grid_->SetColWidths(3, 254);
  frame_changes = 0;
  grid_->SetRowCount(1000);
  EXPECT_TRUE(grid_->HorizontalScrollBarShown());
  grid_->SetColWidths(3, 254 - bar_w);
  EXPECT_FALSE(grid_->HorizontalScrollBarShown());
  EXPECT_GE(frame_changes, 2);
  RemoveWindowSubclass(h, CountFrameChanges, 1);
}

TEST_F(GridTest, CellsKeepTheirTextsAcrossRowCountChanges) {
  grid_->SetCells(3, 0, u8"Название ролика");
  grid_->SetCells(5, 1, std::string("17/2010"));
  grid_->SetRowCount(50);
  grid_->SetRowCount(2);
  EXPECT_EQ(grid_->Cells(3, 0), u"Название ролика");
  EXPECT_EQ(grid_->Cells(5, 1), u"17/2010");
  EXPECT_EQ(grid_->Cells(9, 9), u"");
}

// A cell set in view asks for a paint, which happens when messages are
// handled; one out of view asks for nothing; after the paint, the next
// cell in view asks again. With many rows, a page down moves by what fits.
TEST_F(GridTest, CellsInViewAskForAPaintOthersDoNot) {
  grid_->SetRowCount(100000);
  HWND h = grid_->Handle();
  RECT r;
  UpdateWindow(h);
  ASSERT_FALSE(GetUpdateRect(h, &r, FALSE));
  grid_->SetCells(1, 5000, u"far below");
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
  grid_->SetCells(1, 3, u"in view");
  EXPECT_TRUE(GetUpdateRect(h, &r, FALSE));
  UpdateWindow(h);
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
  grid_->SetCells(1, 0, u"header");
  EXPECT_TRUE(GetUpdateRect(h, &r, FALSE));
  UpdateWindow(h);
  grid_->SetCells(1, 3, u"in view");  // the same text: nothing to paint
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));

  SendMessageW(h, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(grid_->TopRow(), 1 + 28);  // 476 pixels below the header hold 28 rows
  EXPECT_TRUE(GetUpdateRect(h, &r, FALSE));
  UpdateWindow(h);
  grid_->SetCells(1, 3, u"now above the view");
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
  grid_->SetCells(1, 30, u"now in view");
  EXPECT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(grid_->Cells(1, 5000), u"far below");
}

TEST_F(GridTest, KeyboardMovesTheSelectedRowAndKeepsItInView) {
  grid_->SetRowCount(100);
  EXPECT_EQ(grid_->Row(), 1);
  EXPECT_EQ(grid_->TopRow(), 1);
  SendMessageW(grid_->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(grid_->Row(), 2);
  SendMessageW(grid_->Handle(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(grid_->Row(), 99);
  // 476 pixels below the header hold 28 rows: rows 72..99.
  EXPECT_EQ(grid_->TopRow(), 72);
  SendMessageW(grid_->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(grid_->Row(), 1);
  EXPECT_EQ(grid_->TopRow(), 1);
  // A click selects the row under the mouse: y 17..33 is the first data row.
  SendMessageW(grid_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 17 + 17 + 5));
  EXPECT_EQ(grid_->Row(), 2);
}

TEST_F(GridTest, SelectedRowIsPaintedInTheHighlightColour) {
  grid_->SetRowCount(3);
  grid_->SetColWidths(0, 49);
  ClientCapture capture(grid_->Handle());
  const uint32_t highlight = ColorToRGB(clHighlight);
  EXPECT_EQ(capture.Pixel(40, 17 + 8), highlight);       // row 1, selected
  EXPECT_EQ(capture.Pixel(40, 34 + 8), ColorToRGB(clWindow));
  EXPECT_EQ(capture.Pixel(40, 16), ColorToRGB(clBlack));  // the header's grid line
  EXPECT_EQ(capture.Pixel(49, 34 + 8), ColorToRGB(clSilver));  // a grid line of the cells
}

// A font assigned again in another colour keeps its GDI font selected, and
// the text still comes in the new colour; another face takes a new font.
TEST(CanvasTest, ColourChangesKeepTheFontAndTakeEffect) {
  constexpr int kW = 60, kH = 20;
  MemoryDC dc;
  void* bits = nullptr;
  GdiBitmap bitmap(CreateDib32(kW, 3 * kH, &bits));
  SelectScope select(dc.get(), bitmap.get());
  TCanvas canvas;
  canvas.SetHandle(dc.get());
  canvas.SetBrushColor(clWhite);
  canvas.FillRect(Rect(0, 0, kW, 3 * kH));
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  TFont red, blue, bold_blue;
  red.SetColor(clRed);
  blue.SetColor(clBlue);
  bold_blue.SetColor(clBlue);
  bold_blue.SetStyle(fsBold);

  canvas.Font().Assign(red);
  canvas.TextOut(2, 2, u"WWW");
  const HFONT first = canvas.Font().HandleIfMade();
  canvas.Font().Assign(blue);
  EXPECT_EQ(canvas.Font().HandleIfMade(), first);
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), first);
  canvas.TextOut(2, kH + 2, u"WWW");
  canvas.Font().Assign(bold_blue);
  canvas.TextOut(2, 2 * kH + 2, u"WWW");
  EXPECT_NE(GetCurrentObject(dc.get(), OBJ_FONT), first);
  GdiFlush();

  // Pixels of each line of text ($RRGGBB, smoothed edges allowed): only
  // its own colour.
  const auto* px = static_cast<const uint32_t*>(bits);
  for (int line = 0; line < 3; ++line) {
    int red_px = 0, blue_px = 0;
    for (int y = line * kH; y < (line + 1) * kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint32_t p = px[y * kW + x];
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        red_px += r > 160 && g < 96 && b < 96;
        blue_px += b > 160 && r < 96 && g < 96;
      }
    SCOPED_TRACE("line " + std::to_string(line));
    EXPECT_GT(line == 0 ? red_px : blue_px, 10);
    EXPECT_EQ(line == 0 ? blue_px : red_px, 0);
  }
}

TEST(EditTest, TextAsUtf16Cp1251AndUtf8) {
  TestForm form(&Application(), nullptr);
  auto* edit = new TEdit(&form);
  edit->SetCaption(u8"C:\\Морване");
  edit->SetParent(&form);
  EXPECT_EQ(edit->Text(), u"C:\\Морване");
  EXPECT_EQ(edit->Caption(), "C:\\\xCC\xEE\xF0\xE2\xE0\xED\xE5");
  EXPECT_EQ(edit->TextUtf8(), "C:\\\xD0\x9C\xD0\xBE\xD1\x80\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB5");
  // Typed text (the window's own) is what Text gives.
  SetWindowTextW(edit->Handle(), L"D:\\Base\\");
  EXPECT_EQ(edit->Text(), u"D:\\Base\\");
  edit->SetCaption(u8"C:\\Морване");
  EXPECT_EQ(edit->Text(), u"C:\\Морване");
}

TEST(PanelTest, RaisedOuterAndLoweredInnerBevels) {
  TestForm form(&Application(), nullptr);
  auto* panel = new TPanel(&form);
  panel->SetBounds(0, 0, 100, 50);
  panel->SetBevelOuter(TBevelCut::bvRaised);
  panel->SetBevelInner(TBevelCut::bvLowered);
  panel->SetParent(&form);
  ClientCapture c(panel->Handle());
  const uint32_t light = ColorToRGB(clBtnHighlight);
  const uint32_t shadow = ColorToRGB(clBtnShadow);
  EXPECT_EQ(c.Pixel(0, 0), light);
  EXPECT_EQ(c.Pixel(50, 0), light);
  EXPECT_EQ(c.Pixel(99, 25), shadow);
  EXPECT_EQ(c.Pixel(50, 49), shadow);
  EXPECT_EQ(c.Pixel(1, 1), shadow);   // the lowered inner bevel
  EXPECT_EQ(c.Pixel(98, 25), light);
  EXPECT_EQ(c.Pixel(50, 25), ColorToRGB(clBtnFace));
}

TEST(LabelTest, CentredTextIsCutAtBothEdges) {
  TestForm form(&Application(), nullptr);
  form.SetColor(clWhite);
  auto* label = new TLabel(&form);
  label->SetBounds(10, 10, 60, 16);
  label->SetAlignment(TAlignment::taCenter);
  label->SetColor(clWhite);
  label->SetCaption(std::string(40, 'W'));
  label->SetParent(&form);
  ClientCapture c(form.Handle());
  auto dark_in_column = [&](int x) {
    for (int y = 10; y < 26; ++y) {
      if (c.Pixel(x, y) != 0xFFFFFFu) return true;
    }
    return false;
  };
  EXPECT_TRUE(dark_in_column(10));   // the text reaches the left edge...
  EXPECT_TRUE(dark_in_column(69));   // ...and the right edge
  EXPECT_FALSE(dark_in_column(9));   // and nothing is drawn outside
  EXPECT_FALSE(dark_in_column(70));
}

}  // namespace
}  // namespace framework
