// The end of the Windows session (shutdown, log-off) while a pass of the
// main window runs: WM_QUERYENDSESSION and WM_ENDSESSION sent to the window
// from inside the pass's progress updates, as the system sends them. The
// pass ends at a group boundary, nothing is written once WM_ENDSESSION has
// returned, and the next analysis lists what is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/raw_table.h"
#include "app/engine.h"
#include "app/unit1_win.h"
#include "framework/application_win.h"
#include "framework/text.h"
#include "paradox/journal.h"
#include "paradox/stop.h"
#include "tests/app/advblock_writer.h"
#include "tests/framework/win_test_support.h"
#include "ui/frmessage_win.h"

namespace app {
namespace {

using framework::Application;
using testing_app::BlockRow;

constexpr int32_t k2011 = 40544;  // 1 January 2011
constexpr int kPairs = 60;
// The deletion pass is told at its kTold-th progress update: after
// kTold - 1 rows, of which every other one went.
constexpr int kTold = 41;
constexpr int kGone = 20;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SessionEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TQuorren(&Application());
    form->Show();
    // While `step` is a second, every progress update falls due and lets
    // the window's messages in; while it is 0, none does.
    LastProgressTime = clock_;
    SetClock([this] { return clock_ += step; });
    SetSleep([](int32_t) {});
    SetMessagePump([this] {
      ++pumps;
      if (pumps == at && on_pump) on_pump();
      Application().ProcessMessages();
    });
  }
  void TearDown() override {
    SetClock(nullptr);
    SetSleep(nullptr);
    SetMessagePump(nullptr);
    paradox::ClearStopRequest();
    delete form;
    ui::ShowProgress("", -1);
    testing_win::Pump();
  }
  // kPairs pairs of copies and 20 rows dated before 2011; returns the table.
  std::string Table(const std::string& name) {
    std::vector<BlockRow> rows;
    for (int i = 0; i < kPairs; ++i) {
      const BlockRow r{"clip " + std::to_string(i), k2011 + i, 3600000, i, i, 2011};
      rows.push_back(r);
      rows.push_back(r);
    }
    for (int i = 0; i < 20; ++i) rows.push_back(BlockRow{"old", k2011 - 1 - i, 0, 1, 1, 2010});
    folder = testing_app::FreshFolder(name);
    return testing_app::WriteAdvBlock(folder, rows);
  }
  void Analyse() {
    form->DE->SetText(framework::FromUtf8(folder));
    testing_win::ClickAt(form->Handle(), 132 + 120, 56 + 14);
  }
  void Delete() { testing_win::ClickAt(form->Handle(), 148 + 120, 596 + 14); }
  // The analysis lists the copies; on_pump then runs at the deletion
  // pass's `update`-th progress update.
  void AnalyseThenTellAt(int update) {
    Analyse();
    ASSERT_EQ(DataRows(), kPairs);
    pumps = 0;
    at = update;
    step = kSecond;
  }
  LRESULT Send(UINT message, WPARAM w) { return SendMessageW(form->Handle(), message, w, ENDSESSION_LOGOFF); }
  int DataRows() const { return form->SG->RowCount() - 1; }
  // The rows on disk as a reader of the raw format finds them.
  size_t RowsOnDisk(const std::string& path) {
    const testsupport::RawTable t = testsupport::ReadRawTable(path);
    for (const std::string& p : t.problems) ADD_FAILURE() << p;
    return t.rows.size();
  }

  TQuorren* form = nullptr;
  testing_win::MessageBoxRecorder boxes;
  std::string folder;
  static constexpr double kSecond = 1.0 / 86400;
  double clock_ = 45000;
  double step = 0;
  int pumps = 0;
  int at = -1;
  std::function<void()> on_pump;
};

// The pass reaches the boundary itself; the session then goes on.
TEST_F(SessionEndTest, QueryStopsTheDeletionAndACancelledEndGoesOn) {
  const std::string path = Table("session_query");
  ASSERT_NO_FATAL_FAILURE(AnalyseThenTellAt(kTold));
  LRESULT answer = 0;
  on_pump = [&] {
    answer = Send(WM_QUERYENDSESSION, 0);
    step = 0;
  };
  Delete();
  EXPECT_EQ(answer, TRUE) << "the window held the session up";
  EXPECT_TRUE(boxes.boxes.empty()) << "a message held the session up";
  EXPECT_FALSE(form->PassRunning());
  EXPECT_FALSE(form->Table.Active());
  EXPECT_FALSE(ui::MessageExists);
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_FALSE(paradox::JournalExists(paradox::FileSystem::Default(), path));
  EXPECT_EQ(RowsOnDisk(path), 2u * kPairs - kGone);
  EXPECT_EQ(DataRows(), kPairs - kGone) << "the grid shows the copies not deleted";

  // Another program refused the end: the window works as before, and the
  // next analysis lists what is left.
  Send(WM_ENDSESSION, FALSE);
  EXPECT_FALSE(paradox::StopRequested());
  at = -1;
  Analyse();
  EXPECT_EQ(DataRows(), kPairs - kGone);
  Delete();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, u"Удаление прошло успешно.");
  EXPECT_EQ(RowsOnDisk(path), size_t(kPairs));
}

// Both messages come inside one progress update, before the pass can look
// at the request: WM_ENDSESSION writes what the walk gathered and lets the
// table go before it returns, since the process may end then.
TEST_F(SessionEndTest, EndSessionLeavesTheFilesConsistentBeforeItReturns) {
  const std::string path = Table("session_end");
  ASSERT_NO_FATAL_FAILURE(AnalyseThenTellAt(kTold));
  std::string db_then, px_then;
  bool journal_then = true;
  size_t rows_then = 0;
  on_pump = [&] {
    step = 0;
    EXPECT_EQ(Send(WM_QUERYENDSESSION, 0), TRUE);
    Send(WM_ENDSESSION, TRUE);
    // The process may be ended from here on.
    journal_then = paradox::JournalExists(paradox::FileSystem::Default(), path);
    rows_then = RowsOnDisk(path);
    db_then = Bytes(path);
    EXPECT_FALSE(form->Table.Active());
  };
  Delete();
  EXPECT_FALSE(journal_then);
  EXPECT_EQ(rows_then, 2u * kPairs - kGone);
  EXPECT_EQ(Bytes(path), db_then) << "written after WM_ENDSESSION returned";
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(form->PassRunning());
  EXPECT_FALSE(ui::MessageExists);

  // As a fresh start of the program would: the next analysis lists what
  // is left.
  paradox::ClearStopRequest();
  at = -1;
  Analyse();
  EXPECT_EQ(DataRows(), kPairs - kGone);
}

// In the analysis the purge writes its deletions and the read ends; the
// partial list is not shown.
TEST_F(SessionEndTest, QueryDuringTheAnalysisEndsIt) {
  const std::string path = Table("session_analysis");
  at = 3;  // the start's update, then the first rows of the read
  step = kSecond;
  on_pump = [&] {
    Send(WM_QUERYENDSESSION, 0);
    step = 0;
  };
  Analyse();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(form->PassRunning());
  EXPECT_FALSE(form->SBDeldub->Enabled());
  EXPECT_EQ(DataRows(), 1);
  EXPECT_EQ(form->SG->Cells(0, 1), u"");
  EXPECT_FALSE(ui::MessageExists);
  EXPECT_EQ(RowsOnDisk(path), 2u * kPairs) << "the purge did not write its deletions";
  EXPECT_FALSE(paradox::JournalExists(paradox::FileSystem::Default(), path));
}

}  // namespace
}  // namespace app
