// The main window driven in-process: its layout, the state table with the
// message dialogs answered by the test, analyses and deletions on real
// tables with the grid's texts checked, errors that reach the default error
// display, and presses that come while a pass runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "app/engine.h"
#include "app/regional.h"
#include "app/unit1_win.h"
#include "cleaning/date_text.h"
#include "framework/application_win.h"
#include "framework/text.h"
#include "tests/app/advblock_writer.h"
#include "framework/wide_win.h"
#include "tests/framework/win_test_support.h"
#include "tests/ui/ui_win_test_support.h"
#include "ui/frmessage_win.h"

namespace app {
namespace {

using framework::Application;
using framework::FromUtf8;
using testing_app::BlockRow;
using testing_app::FreshFolder;
using testing_app::ReadAdvBlock;
using testing_app::WriteAdvBlock;
using testing_win::ClickAt;
using testing_win::MessageBoxRecorder;
using testing_win::Pump;
using testing_win::WindowText;

constexpr int32_t k2011 = 40544;  // 1 January 2011
constexpr int32_t kHour = 3600000;

// Windows-1251 "Ролик".
const std::string kClip = "\xD0\xEE\xEB\xE8\xEA";

class QuorrenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TQuorren(&Application());
    form->Show();
  }
  void TearDown() override {
    delete form;
    ui::ShowProgress("", -1);
    Pump();
  }
  void Analyse(const std::string& folder) {
    form->DE->SetText(FromUtf8(folder));
    ClickAt(form->Handle(), 132 + 120, 56 + 14);
  }
  void Delete() { ClickAt(form->Handle(), 148 + 120, 596 + 14); }
  int DataRows() const { return form->SG->RowCount() - 1; }
  std::u16string Cell(int col, int row) const { return std::u16string(form->SG->Cells(col, row)); }

  TQuorren* form = nullptr;
  MessageBoxRecorder boxes;
};

// k rows of one clip at one time: k - 1 duplicates.
std::vector<BlockRow> Repeated(const std::string& name, int32_t day, int k, int32_t number = 1) {
  return std::vector<BlockRow>(static_cast<size_t>(k), BlockRow{name, day, 9 * kHour, number, 17, 2010});
}

std::vector<BlockRow> DuplicatePairs(int pairs) {
  std::vector<BlockRow> rows;
  for (int i = 0; i < pairs; ++i) {
    BlockRow r{"clip " + std::to_string(i), k2011 + i, 8 * kHour, i, i, 2011};
    rows.push_back(r);
    rows.push_back(r);
  }
  return rows;
}

TEST_F(QuorrenTest, WindowAndComponentsAtStart) {
  HWND window = form->Handle();
  EXPECT_EQ(WindowText(window), u"Утилита удаления дублей");
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 538);
  EXPECT_EQ(client.bottom, 629);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(form->Color(), framework::clBtnFace);

  // Creation order and placement.
  ASSERT_GE(form->ComponentCount(), 7);
  EXPECT_EQ(form->Components(0), form->HeadLabel2);
  EXPECT_EQ(form->Components(1), form->HeadLabel1);
  EXPECT_EQ(form->Components(2), form->Label1);
  EXPECT_EQ(form->Components(3), form->SBAnalyze);
  EXPECT_EQ(form->Components(4), form->SBDeldub);
  EXPECT_EQ(form->Components(5), form->DE);
  EXPECT_EQ(form->Components(6), form->SG);
  EXPECT_EQ(form->Label1->BoundsRect(), framework::Bounds(8, 4, 137, 13));
  EXPECT_EQ(form->SBAnalyze->BoundsRect(), framework::Bounds(132, 56, 241, 29));
  EXPECT_EQ(form->SBDeldub->BoundsRect(), framework::Bounds(148, 596, 241, 29));
  EXPECT_EQ(form->DE->BoundsRect(), framework::Bounds(8, 24, 521, 21));
  EXPECT_EQ(form->SG->BoundsRect(), framework::Bounds(0, 92, 537, 497));
  EXPECT_EQ(form->Label1->Text(), u"Путь к базам Morvane");
  EXPECT_EQ(form->SBAnalyze->Text(), u"1. Выполнить анализ");
  EXPECT_EQ(form->SBDeldub->Text(), u"2. Удалить дубли");
  EXPECT_TRUE(form->SBAnalyze->Flat());
  EXPECT_TRUE(form->SBAnalyze->Enabled());
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_EQ(form->DE->Text(), u"C:\\Morvane");
  Pump();
  EXPECT_EQ(GetFocus(), form->DE->Handle());  // first in the tab order

  // The grid: a header row and one empty row; the name column widened.
  framework::TStringGrid* sg = form->SG;
  EXPECT_EQ(sg->ColCount(), 6);
  EXPECT_EQ(sg->RowCount(), 2);
  EXPECT_EQ(sg->FixedRows(), 1);
  EXPECT_EQ(sg->FixedCols(), 0);
  EXPECT_EQ(sg->RowHeights(1), 16);
  const int widths[] = {49, 62, 54, 254, 41, 67};
  const char16_t* headers[] = {u"№№", u"Дата", u"Время", u"Название ролика", u"Номер", u"Заказ"};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(sg->ColWidths(c), widths[c]) << c;
    EXPECT_EQ(Cell(c, 0), headers[c]) << c;
    EXPECT_EQ(Cell(c, 1), u"") << c;
  }
  EXPECT_FALSE(sg->VerticalScrollBarShown());
}

TEST_F(QuorrenTest, ButtonsStandOnWhiteToGreyGradients) {
  const std::pair<ui::THeadLabel*, ui::TSpeedButton*> pairs[] = {{form->HeadLabel1, form->SBAnalyze},
                                                                 {form->HeadLabel2, form->SBDeldub}};
  testing_win::ClientCapture c(form->Handle());
  for (auto [label, button] : pairs) {
    const framework::TRect b = button->BoundsRect();
    EXPECT_EQ(label->BoundsRect(), b);
    EXPECT_FALSE(label->AutoBounds());
    EXPECT_EQ(label->Gradient().Style(), ui::TGradientStyle::gsBottom);
    EXPECT_EQ(label->Gradient().StartColor(), framework::clGray);
    EXPECT_EQ(label->Gradient().EndColor(), framework::clWhite);
    EXPECT_EQ(label->Gradient().ColorSteps(), 64);
    EXPECT_EQ(label->Text(), u"");
    for (int x = b.Left; x < b.Right; ++x) {
      EXPECT_EQ(c.Pixel(x, b.Top), 0xFDFDFDu) << x;
      EXPECT_EQ(c.Pixel(x, b.Top + 28), 0x838383u) << x;
    }
    EXPECT_EQ(c.Pixel(b.Left - 1, b.Top), framework::ColorToRGB(framework::clBtnFace));
    // The caption lies over the bands: pixels of no band colour, in the
    // middle rows only (a disabled caption is embossed, not hidden).
    std::set<uint32_t> bands;
    for (int k = 1; k <= 64; ++k) bands.insert(label->Palette().Slot(k));
    int caption = 0;
    for (int y = b.Top; y < b.Bottom; ++y)
      for (int x = b.Left; x < b.Right; ++x)
        if (!bands.count(c.Pixel(x, y))) {
          ++caption;
          EXPECT_TRUE(y > b.Top + 3 && y < b.Bottom - 4) << x << "," << y;
        }
    EXPECT_GT(caption, 50) << button->Caption();
  }
}

TEST_F(QuorrenTest, ButtonsTakeEveryPressOverTheirGradients) {
  form->DE->SetText(FromUtf8(FreshFolder("presses")));
  const int corners[][2] = {{132, 56}, {372, 56}, {132, 84}, {372, 84}};
  for (auto [x, y] : corners) ClickAt(form->Handle(), x, y);
  ASSERT_EQ(boxes.boxes.size(), 4u);  // "Нет базы" each time: the button ran
  EXPECT_EQ(boxes.boxes[3].caption, u"Error");
  // The disabled button lets its label have the press, which does nothing.
  ClickAt(form->Handle(), 148 + 5, 596 + 5);
  EXPECT_EQ(boxes.boxes.size(), 4u);
}

TEST_F(QuorrenTest, AnalysisFillsTheSortedGridAndDeletionEmptiesIt) {
  std::vector<BlockRow> rows{
      {"old", k2011 - 1, 0, 1, 1, 2010},      // purged
      {"old", k2011 - 1, 0, 1, 1, 2010},      // purged
      {"B", k2011 + 2, 10 * kHour, -5, 3, 2011},
      {"B", k2011 + 2, 10 * kHour, -5, 3, 2011},
      {kClip, k2011 + 1, 9 * kHour, 7, 17, 2010},
      {kClip, k2011 + 1, 9 * kHour, 7, 17, 2010},
      {kClip, k2011 + 1, 9 * kHour, 7, 17, 2010},
      {"C", k2011 + 3, 0, 1, 1, 2011},
  };
  const std::string folder = FreshFolder("fill");
  const std::string path = WriteAdvBlock(folder, rows);
  Analyse(folder);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(form->SBDeldub->Enabled());
  EXPECT_FALSE(ui::MessageExists);  // the progress window went at the end
  ASSERT_EQ(DataRows(), 3);
  // Sorted by date, time, number, name: the clip's two copies, then "B".
  const RegionalFormats& f = Regional();
  const std::u16string date1 = FromUtf8(cleaning::FormatDateText(k2011 + 1, f.short_date));
  const std::u16string time9 = FromUtf8(cleaning::FormatTimeText(9.0 / 24, f.long_time));
  for (int row = 1; row <= 2; ++row) {
    EXPECT_EQ(Cell(0, row), framework::FromUtf8(std::to_string(row)));
    EXPECT_EQ(Cell(1, row), date1);
    EXPECT_EQ(Cell(2, row), time9);
    EXPECT_EQ(Cell(3, row), u"Ролик");
    EXPECT_EQ(Cell(4, row), u"7");
    EXPECT_EQ(Cell(5, row), u"17/2010");
  }
  EXPECT_EQ(Cell(3, 3), u"B");
  EXPECT_EQ(Cell(4, 3), u"-5");
  EXPECT_EQ(Cell(5, 3), u"3/2011");
  EXPECT_EQ(ReadAdvBlock(path).size(), 6u);  // the two old rows are gone for good

  Delete();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"Information");
  EXPECT_EQ(boxes.boxes[0].text, u"Удаление прошло успешно.");
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_EQ(DataRows(), 1);
  EXPECT_EQ(Cell(3, 1), u"");
  std::vector<BlockRow> left = ReadAdvBlock(path);
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(left[0].name, "B");
  EXPECT_EQ(left[1].name, kClip);
  EXPECT_EQ(left[2].name, "C");
}

TEST_F(QuorrenTest, MissingTableIsReportedAndChangesNothingElse) {
  const std::string good = FreshFolder("missing_first");
  WriteAdvBlock(good, Repeated("A", k2011, 3));
  Analyse(good);
  ASSERT_EQ(DataRows(), 2);
  ASSERT_TRUE(form->SBDeldub->Enabled());

  const std::string empty = FreshFolder("missing_none");
  std::filesystem::create_directory(std::filesystem::path(empty) / "AdvBlock.db");  // a folder does not count
  Analyse(empty + "\\");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"Error");
  EXPECT_EQ(boxes.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(boxes.boxes[0].text, u"Нет базы " + FromUtf8(empty) + u"\\AdvBlock.db");
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_EQ(DataRows(), 2);  // the grid keeps what it showed
  EXPECT_EQ(Cell(3, 1), u"A");
}

TEST_F(QuorrenTest, NothingFoundLeavesTheDeleteButtonDisabled) {
  const std::string folder = FreshFolder("none");
  WriteAdvBlock(folder, {{"A", k2011 - 3, 0, 1, 1, 2010}, {"A", k2011 - 3, 0, 1, 1, 2010}, {"B", k2011, 0, 1, 1, 2011}});
  Analyse(folder);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_EQ(DataRows(), 1);
  EXPECT_EQ(Cell(0, 1), u"");
}

TEST_F(QuorrenTest, RowsGoneMeanwhileGiveTheWarningAndStayListed) {
  const std::string folder = FreshFolder("gone");
  const std::string path = WriteAdvBlock(folder, DuplicatePairs(3));
  Analyse(folder);
  ASSERT_EQ(DataRows(), 3);
  // Another program rewrites the table without the copies of clip 1.
  std::vector<BlockRow> rows = DuplicatePairs(3);
  rows.erase(rows.begin() + 2, rows.begin() + 4);
  std::filesystem::remove(path);
  WriteAdvBlock(folder, rows);

  Delete();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"Warning");
  EXPECT_EQ(boxes.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(boxes.boxes[0].text, u"Не удалось выполнить все операции. Выполните программу еще раз");
  EXPECT_FALSE(form->SBDeldub->Enabled());
  ASSERT_EQ(DataRows(), 1);
  EXPECT_EQ(Cell(3, 1), u"clip 1");
  EXPECT_EQ(ReadAdvBlock(path).size(), 2u);
}

std::string FileBytes(const std::string& path) {
  std::ifstream f(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A read-only table with nothing to purge is read and its copies listed;
// only its first deletion fails, with the engine's error, and Table stays
// open on its row. Writable again, and with a row to purge, the table is
// analysed anew (our own open Table is no other program), and the deletion
// then goes on.
TEST_F(QuorrenTest, AReadOnlyTableIsListedAndTheTableLeftOpenDoesNotBlockTheNextAnalysis) {
  namespace fs = std::filesystem;
  const std::string folder = FreshFolder("read_only");
  const std::string path = WriteAdvBlock(folder, DuplicatePairs(2));
  const std::string before = FileBytes(path);
  fs::permissions(fs::path(path), fs::perms::owner_write, fs::perm_options::remove);
  Analyse(folder);
  EXPECT_TRUE(boxes.boxes.empty()) << (boxes.boxes.empty() ? "" : framework::ToUtf8(boxes.boxes[0].text));
  ASSERT_EQ(DataRows(), 2);
  ASSERT_TRUE(form->SBDeldub->Enabled());
  Delete();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, Application().Title());
  EXPECT_NE(boxes.boxes[0].text.find(u"Table is read only"), std::u16string::npos);
  EXPECT_TRUE(form->Table.Active());
  EXPECT_EQ(FileBytes(path), before);

  // Another program makes it writable and rewrites it in place, with a row
  // dated before 2011 ahead of the copies.
  fs::permissions(fs::path(path), fs::perms::owner_write, fs::perm_options::add);
  std::vector<BlockRow> rows = DuplicatePairs(2);
  rows.insert(rows.begin(), BlockRow{"old", k2011 - 1, 0, 1, 1, 2010});
  const std::string staged = WriteAdvBlock(FreshFolder("read_only_staged"), rows);
  std::ofstream(fs::path(path), std::ios::binary | std::ios::trunc) << FileBytes(staged);
  Analyse(folder);
  EXPECT_EQ(boxes.boxes.size(), 1u) << (boxes.boxes.size() < 2 ? "" : framework::ToUtf8(boxes.boxes[1].text));
  ASSERT_EQ(DataRows(), 2);
  EXPECT_EQ(ReadAdvBlock(path).size(), 4u);  // the old row purged
  Delete();
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, u"Удаление прошло успешно.");
  EXPECT_FALSE(form->Table.Active());
  EXPECT_EQ(ReadAdvBlock(path).size(), 2u);
}

TEST_F(QuorrenTest, NameColumnNarrowsByTheScrollBarWhenRowsOverflow) {
  const std::string fits = FreshFolder("fits");
  WriteAdvBlock(fits, DuplicatePairs(28));  // 29 rows: 493 pixels, no bar
  Analyse(fits);
  ASSERT_EQ(DataRows(), 28);
  EXPECT_FALSE(form->SG->VerticalScrollBarShown());
  EXPECT_EQ(form->SG->ColWidths(3), 254);

  const std::string overflows = FreshFolder("overflows");
  WriteAdvBlock(overflows, DuplicatePairs(29));
  Analyse(overflows);
  ASSERT_EQ(DataRows(), 29);
  EXPECT_TRUE(form->SG->VerticalScrollBarShown());
  EXPECT_EQ(form->SG->ColWidths(3), 254 - GetSystemMetrics(SM_CXVSCROLL));
  const int kept[] = {49, 62, 54, 0, 41, 67};
  for (int c : {0, 1, 2, 4, 5}) EXPECT_EQ(form->SG->ColWidths(c), kept[c]);
}

TEST_F(QuorrenTest, ErrorsOfTheTableReachTheDefaultErrorDisplay) {
  const std::string folder = FreshFolder("no_number");
  WriteAdvBlock(folder, Repeated("A", k2011, 2), /*with_number=*/false);
  Analyse(folder);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, Application().Title());
  EXPECT_EQ(boxes.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(boxes.boxes[0].text, u"Query: Field 'FNumber' not found.");
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_TRUE(ui::MessageExists);  // the pass's progress window stays

  // A damaged table: the engine's own error, shown the same way.
  const std::string damaged = FreshFolder("damaged");
  std::ofstream(std::filesystem::path(damaged) / "AdvBlock.db", std::ios::binary) << std::string(3000, '\x5A');
  Analyse(damaged);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].caption, Application().Title());
  EXPECT_FALSE(boxes.boxes[1].text.empty());

  // The window goes on: a good table is analysed as usual.
  const std::string good = FreshFolder("after_error");
  WriteAdvBlock(good, Repeated("A", k2011, 2));
  Analyse(good);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_TRUE(form->SBDeldub->Enabled());
  EXPECT_EQ(DataRows(), 1);
  EXPECT_FALSE(ui::MessageExists);
}

// A folder with a Cyrillic name and a letter no 8-bit Windows code page of
// the operator's has: picked in the folder dialog, analysed, then missing
// and damaged. Every text on the way shows it as it is named.
TEST_F(QuorrenTest, CyrillicFolderShowsAsNamedEverywhere) {
  const std::u16string name = u"Эфир Ω";
  const std::string folder = FreshFolder(framework::ToUtf8(name));
  WriteAdvBlock(folder, Repeated(kClip, k2011, 3));
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(framework::Wide(FromUtf8(folder)), MAX_PATH * 2, full, nullptr);
  const std::u16string path = framework::FromWide(full, n);
  const std::u16string table = path + u"\\AdvBlock.db";

  // The dialog starts at the parent; the folder's line is opened and taken.
  form->DE->SetText(path.substr(0, path.rfind(u'\\')));
  std::vector<std::u16string> lines;
  std::u16string label, files;
  {
    testing_ui::DialogAnswer answer([&](ui::TSelectDirDlg& d) {
      for (int i = 0; i < d.DirList->Count(); ++i)
        if (d.DirList->Items(i) == name) d.DirList->SetItemIndex(i);
      d.DirList->OpenCurrent();
      for (int i = 0; i < d.DirList->Count(); ++i) lines.push_back(d.DirList->Items(i));
      label = d.DirLabel->Text();
      if (d.FileList->Count() > 0) files = d.FileList->Items(0);
      d.OKButton->Click();
    });
    form->DE->DoClick();
    ASSERT_EQ(answer.opened, 1);
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), name);  // the current line, last of the path's
  EXPECT_EQ(label, path);
  EXPECT_EQ(files, u"AdvBlock.db");
  EXPECT_EQ(WindowText(form->DE->Handle()), path);  // what the edit window holds

  ClickAt(form->Handle(), 132 + 120, 56 + 14);
  EXPECT_TRUE(boxes.boxes.empty());
  ASSERT_EQ(DataRows(), 2);
  EXPECT_EQ(Cell(3, 1), u"Ролик");

  ASSERT_TRUE(DeleteFileW(framework::Wide(table)));
  ClickAt(form->Handle(), 132 + 120, 56 + 14);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, u"Нет базы " + table);

  // The engine names the file in its error; the default display shows it.
  HANDLE h = CreateFileW(framework::Wide(table), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(h, std::string(3000, 'Z').data(), 3000, &written, nullptr);
  CloseHandle(h);
  ClickAt(form->Handle(), 132 + 120, 56 + 14);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].caption, Application().Title());
  const std::u16string& text = boxes.boxes[1].text;
  EXPECT_NE(text.find(u"\n" + table), std::u16string::npos) << framework::ToUtf8(text);
}

TEST_F(QuorrenTest, PressesDuringAPassAreIgnored) {
  const std::string folder = FreshFolder("nested");
  const std::string path = WriteAdvBlock(folder, DuplicatePairs(5));
  form->DE->SetText(FromUtf8(folder));
  // Presses of both buttons waiting in the queue: the pass's first progress
  // update handles them while it runs.
  auto post_click = [&](int x, int y) {
    PostMessageW(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  };
  post_click(132 + 120, 56 + 14);
  ClickAt(form->Handle(), 132 + 120, 56 + 14);
  EXPECT_TRUE(boxes.boxes.empty());  // a nested pass would have failed with an error
  EXPECT_EQ(DataRows(), 5);
  EXPECT_FALSE(form->PassRunning());

  post_click(132 + 120, 56 + 14);
  post_click(148 + 120, 596 + 14);
  Delete();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"Information");
  EXPECT_EQ(ReadAdvBlock(path).size(), 5u);
}

TEST_F(QuorrenTest, ClosingDuringAPassWaitsForItsEnd) {
  const std::string folder = FreshFolder("close");
  WriteAdvBlock(folder, DuplicatePairs(4));
  form->DE->SetText(FromUtf8(folder));
  PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
  ClickAt(form->Handle(), 132 + 120, 56 + 14);
  // The pass ran to its end with the window open...
  EXPECT_EQ(DataRows(), 4);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  // ...and the close comes right after it: grid and list emptied.
  Pump();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(form->State.FDupList.Count(), 0);
  EXPECT_EQ(DataRows(), 1);
}

// What the progress window shows each time the throttle lets messages run,
// with a clock that makes every update due.
class GridProgressTest : public QuorrenTest {
 protected:
  void SetUp() override {
    QuorrenTest::SetUp();
    LastProgressTime = 0;
    SetClock([this] { return clock_ += 1.0 / 86400; });
    SetSleep([](int32_t) {});
    SetMessagePump([this] {
      seen.push_back(ui::MessageExists ? ui::F_Message->LabMess->Text() : u"(none)");
      Application().ProcessMessages();
    });
  }
  void TearDown() override {
    SetClock(nullptr);
    SetSleep(nullptr);
    SetMessagePump(nullptr);
    QuorrenTest::TearDown();
  }
  void List(int count) {
    for (int i = 0; i < count; ++i) {
      cleaning::TBlockRec rec;
      rec.Name.Assign("clip");
      rec.Date = k2011 + i;
      form->State.FDupList.Add(rec);
    }
  }
  double clock_ = 45000;
  std::vector<std::u16string> seen;
};

TEST_F(GridProgressTest, TwoHundredRecordsFillTheGridWithoutTheWindow) {
  List(200);
  form->ShowList();
  EXPECT_EQ(DataRows(), 200);
  for (const std::u16string& s : seen) EXPECT_EQ(s, u"(none)");
}

TEST_F(GridProgressTest, MoreThanTwoHundredShowTheStepAndItsPercentage) {
  List(201);
  form->ShowList();
  EXPECT_EQ(DataRows(), 201);
  EXPECT_EQ(Cell(0, 201), u"201");
  EXPECT_FALSE(ui::MessageExists);  // closed at the end
  // The start call shows the step; the update after the first row passes 0 %
  // with an empty text, which closes the window, and the next update opens
  // a new one with an empty line.
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen[0], u"(none)");  // the restarting call, before the window
  EXPECT_EQ(seen[1], u"Вывод данных");
  EXPECT_EQ(seen[2], u"(none)");
  EXPECT_EQ(seen[3], u"");
}

}  // namespace
}  // namespace app
