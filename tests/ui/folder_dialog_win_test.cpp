// The folder selection dialog under the system: its layout and texts, the
// folder list's lines at a folder, opening lines, the start-folder rule,
// errors that leave the list where it was, folder creation, scaling.
#include <gtest/gtest.h>

#include <memory>

#include "framework/application_win.h"
#include "tests/framework/win_test_support.h"
#include "tests/ui/ui_win_test_support.h"
#include "ui/folder_dialog_win.h"

namespace ui {
namespace {

using framework::Application;
using framework::Bounds;
using testing_ui::DialogAnswer;
using testing_ui::FreshTree;
using testing_win::MessageBoxRecorder;
using testing_win::Pump;
using testing_win::WindowText;

class FolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { start_folder_ = CurrentFolder(); }
  void TearDown() override {
    dialog.reset();
    SetCurrentDirectoryW(framework::Wide(start_folder_));
    Pump();
  }
  TSelectDirDlg& Open(const std::u16string& folder, TSelectDirOpts options = 0, int help = 0, int ppi = 96) {
    dialog = std::make_unique<TSelectDirDlg>(&Application());
    dialog->Setup(folder, options, help, ppi);
    return *dialog;
  }
  std::vector<std::u16string> Lines() {
    std::vector<std::u16string> lines;
    for (int i = 0; i < dialog->DirList->Count(); ++i) lines.push_back(dialog->DirList->Items(i));
    return lines;
  }
  // What a double-click on line `index` sends the dialog.
  void DoubleClick(int index) {
    dialog->DirList->SetItemIndex(index);
    SendMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(dialog->DirList->Handle()));
  }

  std::unique_ptr<TSelectDirDlg> dialog;

 private:
  std::u16string start_folder_;
};

TEST_F(FolderDialogTest, LayoutTextsAndTheHiddenHelpButton) {
  TSelectDirDlg& d = Open(u"");
  HWND window = d.Handle();
  EXPECT_EQ(WindowText(window), u"Select Directory");
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 424);
  EXPECT_EQ(client.bottom, 255);
  EXPECT_EQ(d.DirNameLabel->Text(), u"Directory &Name:");
  EXPECT_EQ(d.DirectoriesLabel->Text(), u"&Directories:");
  EXPECT_EQ(d.FilesLabel->Text(), u"&Files: (*.*)");
  EXPECT_EQ(d.DrivesLabel->Text(), u"D&rives:");
  EXPECT_EQ(WindowText(d.NetButton->Handle()), u"Ne&twork...");
  EXPECT_EQ(WindowText(d.OKButton->Handle()), u"OK");
  EXPECT_EQ(WindowText(d.CancelButton->Handle()), u"Cancel");
  EXPECT_EQ(WindowText(d.HelpButton->Handle()), u"&Help");
  EXPECT_EQ(d.DirList->BoundsRect().Left, 8);
  EXPECT_EQ(d.DirList->ItemHeight(), 17);
  EXPECT_EQ(d.FileList->ItemHeight(), 13);
  EXPECT_EQ(d.DirLabel->BoundsRect(), d.DirEdit->BoundsRect());
  EXPECT_TRUE(d.DirLabel->Visible());
  EXPECT_FALSE(d.DirEdit->Visible());
  EXPECT_FALSE(d.NetButton->Visible());  // no connect entry on this system
  EXPECT_EQ(d.FileList->Font().Color(), framework::clGrayText);
  // Help context 0: no help button, OK and Cancel take its places.
  EXPECT_FALSE(d.HelpButton->Visible());
  EXPECT_EQ(d.OKButton->BoundsRect(), Bounds(256, 224, 77, 27));
  EXPECT_EQ(d.CancelButton->BoundsRect(), Bounds(340, 224, 77, 27));
  // Tab order: the folder list first, the help button last.
  EXPECT_EQ(GetNextDlgTabItem(window, nullptr, FALSE), d.DirList->Handle());

  TSelectDirDlg& with_help = Open(u"", 0, 17);
  EXPECT_TRUE(with_help.HelpButton->Visible());
  EXPECT_EQ(with_help.OKButton->BoundsRect(), Bounds(172, 224, 77, 27));
}

// Keys as the system delivers them: a character message posted to the
// focused window and handled by the program's message loop.
void Type(UINT message, char16_t key) {
  PostMessageW(GetFocus(), message, key, message == WM_SYSCHAR ? 1 << 29 : 0);  // bit 29: Alt held
  Pump();
}

TEST_F(FolderDialogTest, LabelAcceleratorsFocusTheirControlsFromTheKeyboard) {
  TSelectDirDlg& d = Open(u"");
  d.Show();
  Pump();
  ASSERT_EQ(GetFocus(), d.DirList->Handle());
  Type(WM_SYSCHAR, u'f');
  EXPECT_EQ(GetFocus(), d.FileList->Handle());
  Type(WM_SYSCHAR, u'R');  // Alt+Shift+R: letters match in either case
  EXPECT_EQ(GetFocus(), d.DriveList->Handle());
  Type(WM_SYSCHAR, u'd');
  EXPECT_EQ(GetFocus(), d.DirList->Handle());
  Type(WM_SYSCHAR, u'n');  // "Directory &Name:" names the hidden folder-name box
  EXPECT_EQ(GetFocus(), d.DirList->Handle());
  // Without Alt a letter is the list's own (it moves to a line), but on a
  // button, which takes no characters, it works as with Alt.
  Type(WM_CHAR, u'f');
  EXPECT_EQ(GetFocus(), d.DirList->Handle());
  SetFocus(d.OKButton->Handle());
  Type(WM_CHAR, u'f');
  EXPECT_EQ(GetFocus(), d.FileList->Handle());
  // The system command the menu key sends works as well.
  SendMessageW(d.Handle(), WM_SYSCOMMAND, SC_KEYMENU, 'r');
  EXPECT_EQ(GetFocus(), d.DriveList->Handle());
}

// The lists' windows as the system has them, whether or not a scroll bar
// came while they filled, and after moving on.
TEST_F(FolderDialogTest, ListsKeepTheirSizesAndLineHeights) {
  auto expect_sizes = [](TSelectDirDlg& d, const char* when) {
    RECT dir, files;
    GetWindowRect(d.DirList->Handle(), &dir);
    GetWindowRect(d.FileList->Handle(), &files);
    EXPECT_EQ(dir.right - dir.left, 213) << when;
    EXPECT_EQ(dir.bottom - dir.top, 138) << when;
    EXPECT_EQ(files.right - files.left, 185) << when;
    EXPECT_EQ(files.bottom - files.top, 93) << when;
    EXPECT_EQ(SendMessageW(d.DirList->Handle(), LB_GETITEMHEIGHT, 0, 0), 17) << when;
    EXPECT_EQ(SendMessageW(d.FileList->Handle(), LB_GETITEMHEIGHT, 0, 0), 13) << when;
  };
  const std::u16string few = FreshTree("sizes_few", {"One"});
  expect_sizes(Open(few), "few lines");
  std::initializer_list<const char*> many = {"a01", "a02", "a03", "a04", "a05", "a06", "a07", "a08", "a09", "a10"};
  const std::u16string full = FreshTree("sizes_many", many);
  for (const char* name : many) testing_ui::WriteFile(full + u"\\" + framework::FromUtf8(std::string(name)) + u".db");
  TSelectDirDlg& d = Open(full);
  ASSERT_GT(d.DirList->Count() * 17, 138);
  expect_sizes(d, "with scroll bars");
  d.DirList->SetDirectory(few);
  expect_sizes(d, "moved back to few lines");
}

TEST_F(FolderDialogTest, AtAFolderTheLinesIconsAndFiles) {
  const std::u16string tree = FreshTree("lines", {"Morvane\\beta", "Morvane\\Alpha", "Morvane\\hidden"});
  const std::u16string morvane = tree + u"\\Morvane";
  SetFileAttributesW(framework::Wide(morvane + u"\\hidden"), FILE_ATTRIBUTE_HIDDEN);
  testing_ui::WriteFile(morvane + u"\\b.db");
  testing_ui::WriteFile(morvane + u"\\A.db");
  TSelectDirDlg& d = Open(morvane);
  EXPECT_EQ(d.DirList->Directory(), morvane);
  std::vector<FolderLine> path = PathLines(morvane);
  std::vector<std::u16string> lines = Lines();
  ASSERT_EQ(lines.size(), path.size() + 2);
  EXPECT_EQ(lines[0], morvane.substr(0, 3));  // the drive root, "Z:\"
  EXPECT_EQ(lines[path.size() - 1], u"Morvane");
  EXPECT_EQ(lines[path.size()], u"Alpha");  // subfolders without case, the hidden one left out
  EXPECT_EQ(lines[path.size() + 1], u"beta");
  EXPECT_EQ(d.DirList->ItemIndex(), static_cast<int>(path.size()) - 1);
  EXPECT_EQ(d.DirList->IconOf(0), FolderIcon::kOpen);
  EXPECT_EQ(d.DirList->IconOf(static_cast<int>(path.size()) - 1), FolderIcon::kCurrent);
  EXPECT_EQ(d.DirList->IconOf(static_cast<int>(path.size())), FolderIcon::kClosed);
  EXPECT_EQ(d.DirLabel->Text(), morvane);
  EXPECT_EQ(d.DirEdit->Text(), morvane);
  ASSERT_EQ(d.FileList->Count(), 2);
  EXPECT_EQ(d.FileList->Items(0), u"A.db");
  EXPECT_EQ(d.FileList->Items(1), u"b.db");
  EXPECT_EQ(CurrentFolder(), morvane);  // the lists moved the process's folder
  EXPECT_EQ(d.Directory(), morvane);
}

TEST_F(FolderDialogTest, OpeningLinesMovesTheListAndOKGivesTheFolder) {
  const std::u16string tree = FreshTree("open", {"Morvane\\Sub"});
  const std::u16string morvane = tree + u"\\Morvane";
  TSelectDirDlg& d = Open(morvane);
  const int current = d.DirList->PathLineCount() - 1;
  DoubleClick(current + 1);  // the subfolder
  EXPECT_EQ(d.DirList->Directory(), morvane + u"\\Sub");
  EXPECT_EQ(d.DirLabel->Text(), morvane + u"\\Sub");
  d.DirList->SetItemIndex(current);  // the former current line, now an ancestor
  SendMessageW(d.DirList->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(d.DirList->Directory(), morvane);
  DoubleClick(0);  // the root: a single current line, then its subfolders
  const std::u16string root = morvane.substr(0, 3);
  EXPECT_EQ(d.DirList->Directory(), root);
  EXPECT_EQ(d.DirList->PathLineCount(), 1);
  EXPECT_EQ(d.DirList->IconOf(0), FolderIcon::kCurrent);
  EXPECT_EQ(d.DirList->ItemIndex(), 0);
  EXPECT_EQ(d.Directory(), root);  // with its backslash

  // Through SelectFolder: OK returns the folder, Cancel leaves it.
  dialog.reset();
  std::u16string folder = morvane;
  {
    DialogAnswer answer([](TSelectDirDlg& shown) {
      shown.DirList->SetDirectory(shown.DirList->Directory() + u"\\Sub");
      shown.OKButton->Click();
    });
    EXPECT_TRUE(SelectFolder(folder, 0, 0));
  }
  EXPECT_EQ(folder, morvane + u"\\Sub");
  {
    DialogAnswer answer([&](TSelectDirDlg& shown) { shown.DirList->SetDirectory(morvane); });
    EXPECT_FALSE(SelectFolder(folder, 0, 0));
  }
  EXPECT_EQ(folder, morvane + u"\\Sub");
  EXPECT_EQ(CurrentFolder(), morvane);  // where the cancelled dialog was last
}

TEST_F(FolderDialogTest, BackslashAndTheDriveRootStartAtTheCurrentFolder) {
  const std::u16string work = FreshTree("start");
  SetCurrentDirectoryW(framework::Wide(work));
  EXPECT_EQ(Open(u"\\").DirList->Directory(), work);
  EXPECT_EQ(Open(work.substr(0, 3)).DirList->Directory(), work);
  EXPECT_EQ(Open(u"").DirList->Directory(), work);
  EXPECT_TRUE(SameDriveLetter(Open(u"\\").DriveList->Drive(), work[0]));
  // A start folder that cannot be entered falls back to the current one.
  EXPECT_EQ(Open(work + u"\\missing").DirList->Directory(), work);
}

TEST_F(FolderDialogTest, AFolderThatCannotBeEnteredIsReportedAndTheListStays) {
  const std::u16string tree = FreshTree("gone", {"Morvane\\Sub"});
  const std::u16string morvane = tree + u"\\Morvane";
  TSelectDirDlg& d = Open(morvane);
  const std::vector<std::u16string> before = Lines();
  RemoveDirectoryW(framework::Wide(morvane + u"\\Sub"));  // removed meanwhile
  MessageBoxRecorder boxes;
  DoubleClick(d.DirList->PathLineCount());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, Application().Title());
  EXPECT_FALSE(boxes.boxes[0].text.empty());
  EXPECT_EQ(d.DirList->Directory(), morvane);
  EXPECT_EQ(Lines(), before);
  EXPECT_EQ(CurrentFolder(), morvane);
  EXPECT_THROW(d.DirList->SetDirectory(morvane + u"\\Sub"), EInOutError);
}

TEST_F(FolderDialogTest, AllowCreatePromptsAndCreatesEveryMissingLevel) {
  const std::u16string tree = FreshTree("create");
  TSelectDirDlg& d = Open(tree, SelectDirOpts({sdAllowCreate, sdPrompt}));
  EXPECT_TRUE(d.DirEdit->Visible());
  EXPECT_FALSE(d.DirLabel->Visible());
  d.DirEdit->SetText(u"New\\Deeper");
  int answer = IDNO;
  std::vector<framework::MessageBoxRequest> asked;
  auto previous = framework::SetMessageBoxFunction([&](const framework::MessageBoxRequest& r) {
    asked.push_back(r);
    return answer;
  });
  d.OKClick(nullptr);
  EXPECT_EQ(d.ModalResult(), 0);  // No: the dialog stays open
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, u"The specified directory does not exist. Create it?");
  EXPECT_EQ(asked[0].style & MB_YESNO, static_cast<UINT>(MB_YESNO));
  answer = IDYES;
  d.OKClick(nullptr);
  EXPECT_EQ(d.ModalResult(), IDOK);
  EXPECT_EQ(d.Directory(), tree + u"\\New\\Deeper");  // typed names count from the folder shown
  framework::SetMessageBoxFunction(previous);

  std::u16string folder = tree;
  {
    DialogAnswer dialog_answer([](TSelectDirDlg& shown) {
      shown.DirEdit->SetText(u"Made\\Two\\Levels");
      shown.OKClick(nullptr);  // no prompt without sdPrompt
    });
    EXPECT_TRUE(SelectFolder(folder, SelectDirOpts({sdAllowCreate, sdPerformCreate}), 0));
  }
  EXPECT_EQ(folder, tree + u"\\Made\\Two\\Levels");
  EXPECT_TRUE(FolderExists(folder));
}

TEST_F(FolderDialogTest, At120PixelsPerInchEverythingIsAQuarterLargerAndCentred) {
  TSelectDirDlg& d = Open(u"", 0, 0, 120);
  RECT client;
  GetClientRect(d.Handle(), &client);
  EXPECT_EQ(client.right, 530);
  EXPECT_EQ(client.bottom, 319);
  EXPECT_EQ(d.DirList->BoundsRect(), Bounds(10, 90, 266, 173));
  EXPECT_EQ(d.OKButton->BoundsRect(), Bounds(320, 280, 96, 34));  // the scaled Cancel place
  EXPECT_EQ(d.DirList->ItemHeight(), 21);
  EXPECT_EQ(d.FileList->Font().Color(), framework::clGrayText);
  EXPECT_EQ(d.FileList->Font().Height(), d.Font().Height());
  EXPECT_EQ(d.Left(), GetSystemMetrics(SM_CXSCREEN) / 2 - d.Width() / 2);
  EXPECT_EQ(d.Top(), GetSystemMetrics(SM_CYSCREEN) / 2 - d.Height() / 2);
}

TEST_F(FolderDialogTest, DriveListHasALineForDriveC) {
  TSelectDirDlg& d = Open(u"C:\\");
  bool found = false;
  for (int i = 0; i < d.DriveList->Count(); ++i) found = found || d.DriveList->Items(i).rfind(u"c: [", 0) == 0;
  EXPECT_TRUE(found);
  EXPECT_TRUE(SameDriveLetter(d.DriveList->Drive(), u'C'));
  EXPECT_TRUE(SameDriveLetter(d.DirList->Directory()[0], u'C'));
}

}  // namespace
}  // namespace ui
