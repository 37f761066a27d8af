// The folder field in a real window under the system: its layout and the
// button's pixels, the button and Alt+Down with the dialog answered by the
// test, keys, focus, paste, drops, and the error mode around the dialog.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <stdexcept>

#include "framework/application_win.h"
#include "tests/framework/win_test_support.h"
#include "tests/ui/ui_win_test_support.h"
#include "ui/combo_edit_win.h"

namespace ui {
namespace {

using framework::Application;
using framework::ColorToRGB;
using testing_ui::DialogAnswer;
using testing_ui::FreshTree;
using testing_ui::HostForm;
using testing_win::ClientCapture;
using testing_win::MessageBoxRecorder;
using testing_win::Pump;

class DirectoryEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new HostForm(&Application());
    other = new framework::TEdit(form);
    other->SetBounds(8, 100, 100, 21);
    other->SetParent(form);
    de = new TDirectoryEdit(form);
    de->SetBounds(8, 24, 521, 21);
    de->SetNumGlyphs(1);
    de->SetCaption("C:\\Morvane");
    de->SetParent(form);
    form->Show();
    Pump();
  }
  void TearDown() override {
    delete form;
    Pump();
  }
  void ClickButton() {
    HWND host = de->ButtonHost()->Handle();
    testing_win::ClickAt(host, 10, 8);
  }
  std::pair<int, int> Selection() {
    DWORD start = 0, end = 0;
    SendMessageW(de->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
  }

  HostForm* form = nullptr;
  framework::TEdit* other = nullptr;
  TDirectoryEdit* de = nullptr;
};

TEST_F(DirectoryEditTest, LayoutOfTheMainWindowsField) {
  HWND edit = de->Handle();
  LONG_PTR style = GetWindowLongPtrW(edit, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  RECT client;
  GetClientRect(edit, &client);
  EXPECT_EQ(client.right, 517);
  EXPECT_EQ(client.bottom, 17);
  EXPECT_EQ(de->ButtonHost()->BoundsRect(), framework::Bounds(496, 0, 21, 17));
  EXPECT_EQ(de->Button()->BoundsRect(), framework::Bounds(0, 0, 21, 17));
  EXPECT_TRUE(IsWindowVisible(de->ButtonHost()->Handle()));
  RECT text;
  SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
  // We set 494; the edit may keep its edge and its right margin inside it,
  // but no text reaches the button.
  const int right_margin = HIWORD(SendMessageW(edit, EM_GETMARGINS, 0, 0));
  EXPECT_LE(text.right, 494);
  EXPECT_GE(text.right, 494 - 1 - right_margin);
  // The defaults the field starts with.
  EXPECT_EQ(de->ButtonWidth(), 21);
  EXPECT_EQ(de->NumGlyphs(), 1);
  EXPECT_EQ(de->GlyphKind(), TGlyphKind::gkDefault);
  EXPECT_EQ(de->ClickKey(), 0x8028);
  EXPECT_EQ(de->Glyph().Width(), 14);
  EXPECT_EQ(de->Glyph().Height(), 12);
  EXPECT_EQ(ColorToRGB(de->Glyph().TransparentColor()), 0xFF00FFu);
  EXPECT_FALSE(de->AcceptFiles());
  EXPECT_FALSE(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_EQ(de->InitialDir(), u"");
  // Too low a field is raised to the minimum height.
  de->SetBounds(8, 24, 521, 5);
  EXPECT_GE(de->Height(), 17);
  EXPECT_EQ(de->ButtonHost()->Height(), de->Height() - 4);
}

TEST_F(DirectoryEditTest, ButtonPixelsUpPressedAndDisabled) {
  const uint32_t face = ColorToRGB(framework::clBtnFace);
  const uint32_t light = ColorToRGB(framework::clBtnHighlight);
  const uint32_t frame = ColorToRGB(framework::clWindowFrame);
  const uint32_t shadow = ColorToRGB(framework::clBtnShadow);
  HWND host = de->ButtonHost()->Handle();
  {
    ClientCapture up(host);
    EXPECT_EQ(up.Pixel(0, 5), face);    // the joining lines at the left edge
    EXPECT_EQ(up.Pixel(1, 5), light);
    EXPECT_EQ(up.Pixel(10, 0), light);  // outer frame
    EXPECT_EQ(up.Pixel(20, 8), frame);
    EXPECT_EQ(up.Pixel(10, 16), frame);
    EXPECT_EQ(up.Pixel(19, 8), shadow);  // inner frame
    EXPECT_EQ(up.Pixel(10, 15), shadow);
    // The glyph at (3, 3): its outline black, its fuchsia left out.
    EXPECT_EQ(up.Pixel(3 + 0, 3 + 6), 0x000000u);
    EXPECT_EQ(up.Pixel(3 + 1, 3 + 6), 0xFFFFFFu);  // the white back sheet
    EXPECT_EQ(up.Pixel(3 + 0, 3 + 0), face);
  }
  // Held down over it: the frames turn and the glyph moves down and right.
  SendMessageW(host, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 8));
  {
    ClientCapture down(host);
    EXPECT_EQ(down.Pixel(0, 5), frame);
    EXPECT_EQ(down.Pixel(1, 5), shadow);
    EXPECT_EQ(down.Pixel(20, 8), light);
    EXPECT_EQ(down.Pixel(4 + 0, 4 + 6), 0x000000u);
    EXPECT_EQ(down.Pixel(3, 9), face);
  }
  SendMessageW(host, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 8));  // off it: up again, no click
  {
    ClientCapture off(host);
    EXPECT_EQ(off.Pixel(1, 5), light);
  }
  SendMessageW(host, WM_LBUTTONUP, 0, MAKELPARAM(200, 8));

  de->SetEnabled(false);
  EXPECT_FALSE(de->Button()->Enabled());
  ClientCapture disabled(host);
  EXPECT_EQ(disabled.Pixel(3 + 0, 3 + 6), shadow);  // embossed
  EXPECT_EQ(disabled.Pixel(3 + 1, 3 + 6), shadow);  // the sheet too: every opaque pixel
  EXPECT_EQ(disabled.Pixel(3 + 2, 3 + 12), light);  // the bottom outline's light copy
}

TEST_F(DirectoryEditTest, ButtonAndAltDownOpenTheDialogUnlessReadOnly) {
  int clicks = 0;
  de->OnButtonClick = [&](framework::TComponent*) { ++clicks; };
  DialogAnswer answer([](TSelectDirDlg&) {});
  ClickButton();
  EXPECT_EQ(answer.opened, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(GetFocus(), de->Handle());  // the press moved the focus to the field
  SendMessageW(de->Handle(), WM_SYSKEYDOWN, VK_DOWN, 1 << 29);  // Alt+Down
  EXPECT_EQ(answer.opened, 2);
  SendMessageW(de->Handle(), WM_KEYDOWN, VK_DOWN, 0);  // Down alone
  EXPECT_EQ(answer.opened, 2);
  EXPECT_EQ(de->Text(), u"C:\\Morvane");  // cancelled: unchanged

  de->SetReadOnly(true);
  ClickButton();
  SendMessageW(de->Handle(), WM_SYSKEYDOWN, VK_DOWN, 1 << 29);
  EXPECT_EQ(answer.opened, 2);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(GetWindowLongPtrW(de->Handle(), GWL_STYLE) & ES_READONLY);
  de->SetReadOnly(false);
  de->SetDirectInput(false);  // read-only window, but the button works
  EXPECT_TRUE(GetWindowLongPtrW(de->Handle(), GWL_STYLE) & ES_READONLY);
  ClickButton();
  EXPECT_EQ(answer.opened, 3);
}

TEST_F(DirectoryEditTest, EnterStopsInTheFieldTabSelectsAllAClickDoesNot) {
  std::vector<char16_t> keys;
  de->OnKeyPress = [&](framework::TComponent*, char16_t& key) { keys.push_back(key); };
  SendMessageW(de->Handle(), WM_CHAR, VK_RETURN, 0);
  EXPECT_EQ(de->Text(), u"C:\\Morvane");  // a multi-line edit would have broken the line
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0], u'\r');
  SendMessageW(de->Handle(), WM_CHAR, 'x', 0);
  EXPECT_EQ(keys.size(), 2u);

  de->SetText(u"C:\\Morvane");
  other->SetFocus();
  MSG tab{other->Handle(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  IsDialogMessageW(form->Handle(), &tab);
  ASSERT_EQ(GetFocus(), de->Handle());
  EXPECT_EQ(Selection(), std::make_pair(0, 10));

  other->SetFocus();
  SendMessageW(de->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 8));
  SendMessageW(de->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 8));
  ASSERT_EQ(GetFocus(), de->Handle());
  auto [start, end] = Selection();
  EXPECT_EQ(start, end);
}

TEST_F(DirectoryEditTest, PasteTakesTheFirstLineAndOnlyWithDirectInput) {
  auto put = [&](const wchar_t* text) {
    ASSERT_TRUE(OpenClipboard(de->Handle()));
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
  };
  put(L"D:\\Data\r\nsecond line");
  de->SelectAll();
  SendMessageW(de->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(de->Text(), u"D:\\Data");
  de->SetDirectInput(false);
  de->SelectAll();
  SendMessageW(de->Handle(), WM_PASTE, 0, 0);
  SendMessageW(de->Handle(), WM_CUT, 0, 0);
  EXPECT_EQ(de->Text(), u"D:\\Data");
}

TEST_F(DirectoryEditTest, AcceptedFolderReplacesTextOrIsAppendedAndCancelKeepsIt) {
  const std::u16string tree = FreshTree("field_ok", {"Morvane\\Sub"});
  const std::u16string morvane = tree + u"\\Morvane";
  de->SetText(morvane);
  std::u16string seen;
  {
    DialogAnswer answer([&](TSelectDirDlg& d) {
      seen = d.DirList->Directory();
      d.OKButton->Click();
    });
    ClickButton();
  }
  EXPECT_EQ(seen, morvane);  // the dialog opened at the field's folder
  EXPECT_EQ(de->Text(), morvane);
  EXPECT_EQ(de->InitialDir(), morvane);

  // Cleared text: the dialog starts at the folder last accepted.
  de->SetText(u"");
  {
    DialogAnswer answer([&](TSelectDirDlg& d) {
      seen = d.DirList->Directory();
      d.DirList->SetDirectory(morvane + u"\\Sub");
      d.CancelButton->Click();
    });
    ClickButton();
  }
  EXPECT_EQ(seen, morvane);
  EXPECT_EQ(de->Text(), u"");
  EXPECT_EQ(de->InitialDir(), morvane);
  EXPECT_EQ(framework::ToUtf8(CurrentFolder()), framework::ToUtf8(morvane + u"\\Sub"));  // moved, not restored

  // Several folders: the next one after ";" (the field had the focus, so
  // nothing was selected).
  de->SetText(u"A");
  de->SetMultipleDirs(true);
  SendMessageW(de->Handle(), EM_SETSEL, 1, 1);
  {
    DialogAnswer answer([&](TSelectDirDlg& d) { d.OKButton->Click(); });
    ClickButton();
  }
  EXPECT_EQ(de->Text(), u"A;" + morvane + u"\\Sub");
}

TEST_F(DirectoryEditTest, HandlersMayVetoOrChangeTheResult) {
  int before = 0;
  de->OnBeforeDialog = [&](framework::TComponent*, std::u16string& name, bool& action) {
    ++before;
    EXPECT_EQ(name, u"C:\\Morvane");
    action = before > 1;
  };
  de->OnAfterDialog = [&](framework::TComponent*, std::u16string& name, bool& action) {
    EXPECT_FALSE(action);  // cancelled by the answer
    name = u"C:\\Chosen";
    action = true;
  };
  DialogAnswer answer([](TSelectDirDlg&) {});
  ClickButton();
  EXPECT_EQ(answer.opened, 0);  // vetoed before the dialog
  ClickButton();
  EXPECT_EQ(answer.opened, 1);
  EXPECT_EQ(de->Text(), u"C:\\Chosen");
  EXPECT_EQ(de->InitialDir(), u"");  // no such folder: not remembered
}

TEST_F(DirectoryEditTest, ErrorModeIsRestoredAfterADialogThatRaised) {
  MessageBoxRecorder boxes;
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  UINT inside = 0;
  DialogAnswer answer([&](TSelectDirDlg&) {
    inside = GetErrorMode();
    throw std::runtime_error("dialog failed");
  });
  ClickButton();
  EXPECT_EQ(inside, static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
  EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  ASSERT_EQ(boxes.boxes.size(), 1u);  // reported by the default error display
  EXPECT_EQ(boxes.boxes[0].text, u"dialog failed.");
  EXPECT_EQ(de->Text(), u"C:\\Morvane");
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));  // the dialog's disabling undone
  SetErrorMode(0);
}

// A drop of `names` as the shell makes it.
HDROP MakeDrop(const std::vector<std::u16string>& names) {
  size_t chars = 1;
  for (const auto& n : names) chars += n.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* p = reinterpret_cast<char16_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
  for (const auto& n : names) {
    std::copy(n.begin(), n.end(), p);
    p += n.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(DirectoryEditTest, DroppedFileGivesItsFolderAndSeveralNeedMultipleDirs) {
  const std::u16string tree = FreshTree("field_drop", {"Folder"});
  const std::u16string file = tree + u"\\AdvBlock.db";
  testing_ui::WriteFile(file);
  de->SetAcceptFiles(true);
  EXPECT_TRUE(GetWindowLongPtrW(de->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  int drops = 0;
  de->OnDropFiles = [&](framework::TComponent*) { ++drops; };
  SendMessageW(de->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file, tree + u"\\Folder"})), 0);
  EXPECT_EQ(de->Text(), tree + u"\\");  // only the first name
  EXPECT_EQ(drops, 1);
  de->SetMultipleDirs(true);
  de->SetText(u"");
  SendMessageW(de->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({tree + u"\\Folder", file})), 0);
  EXPECT_EQ(de->Text(), tree + u"\\Folder;" + tree + u"\\");
  de->SetAcceptFiles(false);
  EXPECT_FALSE(GetWindowLongPtrW(de->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(DirectoryEditTest, OtherGlyphKindsAndWidths) {
  de->SetGlyphKind(TGlyphKind::gkEllipsis);
  EXPECT_EQ(de->Glyph().Width(), 15);
  EXPECT_EQ(de->Glyph().Height(), 4);
  EXPECT_EQ(de->Glyph().Canvas().Pixel(1, 1), 0x000000u);
  EXPECT_EQ(de->Glyph().Canvas().Pixel(3, 1), 0xFFFFFFu);
  EXPECT_EQ(de->Glyph().Canvas().Pixel(11, 2), 0x000000u);
  de->SetGlyphKind(TGlyphKind::gkDropDown);
  EXPECT_EQ(de->ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_FALSE(de->Glyph().Empty());
  de->SetNumGlyphs(3);
  EXPECT_EQ(de->NumGlyphs(), 1);
  de->SetButtonWidth(30);
  EXPECT_EQ(de->ButtonHost()->BoundsRect(), framework::Bounds(521 - 30 - 4, 0, 30, 17));
  de->SetButtonWidth(600);  // wider than the field: refused
  EXPECT_EQ(de->ButtonWidth(), 30);
  de->SetButtonWidth(0);
  EXPECT_FALSE(IsWindowVisible(de->ButtonHost()->Handle()));
  SendMessageW(de->Handle(), WM_SYSKEYDOWN, VK_DOWN, 1 << 29);  // no button, no Alt+Down
  de->SetButtonHint(u"Browse");
  de->SetShowHint(true);
  EXPECT_EQ(de->ButtonHint(), u"Browse");
}

}  // namespace
}  // namespace ui
