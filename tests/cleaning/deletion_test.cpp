// The deletion pass on tables written with the engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "cleaning/cleaner.h"
#include "cleaning/texts.h"
#include "pass_fixture.h"
#include "table/block_rec.h"
#include "table/errors.h"

namespace cleaning {
namespace {

using testing::k2011;
using testing::Row;
using testing::TableOptions;

constexpr int32_t kHour = 3600000;

class DeletionTest : public testing::PassTest {
 protected:
  // The analysis and sort that enable the deletion in the window.
  void Analyse(const std::string& path) {
    state.FTablePath = path;
    cleaner.CreateList();
    cleaner.SortList();
    progress = testing::RecordedProgress();
  }
  static TBlockRec Rec(const Row& r) {
    TBlockRec rec;
    rec.Name.Assign(r.name);
    rec.Date = r.day;
    rec.Time = r.ms / 86400000.0;
    rec.Number = static_cast<int16_t>(r.number);
    rec.Order = r.order;
    rec.YearOrder = r.year;
    return rec;
  }

  testing::RecordedMessages messages;
};

TEST_F(DeletionTest, EveryListedRecordFindsItsRow) {
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "keyed" : "not keyed");
    TableOptions options;
    options.keyed = keyed;
    const std::string path = testing::WriteTable(keyed ? "all_found_keyed" : "all_found",
                                                 {
                                                     {"A", k2011, kHour, 1, 1, 2011, 1},
                                                     {"A", k2011, kHour, 1, 1, 2011, 2},
                                                     {"A", k2011, kHour, 1, 1, 2011, 3},
                                                     {"B", k2011, kHour, 1, 1, 2011, 4},
                                                     {"B", k2011, kHour, 1, 1, 2011, 5},
                                                     {"C", k2011, kHour, 1, 1, 2011, 6},
                                                 },
                                                 options);
    Analyse(path);
    ASSERT_EQ(state.FDupList.Count(), 3);
    cleaner.DeleteDoubles();
    // Consecutive matches all go; of each run the last row met stays.
    EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{3, 5, 6}));
    EXPECT_TRUE(testing::NoAdjacentRepeats(path));
    EXPECT_EQ(state.FDupList.Count(), 0);
    EXPECT_FALSE(Table.Active());

    ASSERT_GE(progress.shown.size(), 2u);
    EXPECT_EQ(progress.shown[0], std::make_pair(texts::DeletingDoubles(), 0.0));
    const std::vector<double> updates = progress.Updates();
    ASSERT_EQ(updates.size(), 6u);  // one per row passed, over the count read at opening
    for (size_t i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(updates[i], (i + 1) / 6.0 * 100);
    EXPECT_TRUE(progress.Closed());
    EXPECT_EQ(progress.due_calls, 7);

    messages.shown.clear();
    EXPECT_FALSE(cleaner.ReportDeletion(messages));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], std::make_pair(MessageKind::kInformation, texts::DeletionDone()));
  }
}

TEST_F(DeletionTest, ARowDifferingInOrderOrYearIsNoCopy) {
  // The analysis lists X with order 1 and Y with year 2011; the rows ahead
  // of them in the table share their key but not their order or year.
  const std::string path = testing::WriteTable("order_differs", {
                                                                    {"X", k2011, kHour, 3, 2, 2011, 1},
                                                                    {"X", k2011, kHour, 3, 1, 2011, 2},
                                                                    {"X", k2011, kHour, 3, 1, 2011, 3},
                                                                    {"Y", k2011, kHour, 3, 1, 2012, 4},
                                                                    {"Y", k2011, kHour, 3, 1, 2011, 5},
                                                                    {"Y", k2011, kHour, 3, 1, 2011, 6},
                                                                });
  Analyse(path);
  ASSERT_EQ(state.FDupList.Count(), 2);
  cleaner.DeleteDoubles();
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{1, 3, 4, 6}));
  EXPECT_FALSE(cleaner.ReportDeletion(messages));
}

TEST_F(DeletionTest, DeletingTheLastRowReadsTheRowBeforeItAgain) {
  const Row r1{"P", k2011, kHour, 1, 1, 2011, 1}, r2{"Q", k2011, kHour, 1, 1, 2011, 2},
      r3{"R", k2011, kHour, 1, 1, 2011, 3};
  const std::string path = testing::WriteTable("last_row", {r1, r2, r3});
  state.FTablePath = path;
  state.FDupList.Add(Rec(r3));
  cleaner.DeleteDoubles();
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(state.FDupList.Count(), 0);
  // Four rows passed over a count of three: Q was passed twice.
  const std::vector<double> updates = progress.Updates();
  ASSERT_EQ(updates.size(), 4u);
  EXPECT_DOUBLE_EQ(updates.back(), 4 / 3.0 * 100);
}

TEST_F(DeletionTest, ARecordWhoseRowIsAlreadyGoneStaysListed) {
  const std::string path = testing::WriteTable("gone", {
                                                           {"A", k2011, kHour, 1, 1, 2011, 1},
                                                           {"A", k2011, kHour, 1, 1, 2011, 2},
                                                           {"B", k2011 + 1, kHour, 1, 1, 2011, 3},
                                                           {"B", k2011 + 1, kHour, 1, 1, 2011, 4},
                                                       });
  Analyse(path);
  ASSERT_EQ(state.FDupList.Count(), 2);
  {
    // Another program removes both B rows meanwhile.
    dataset::TTable other("Other");
    other.SetTableName(path);
    other.Open();
    while (!other.Eof()) {
      if (other.FieldByName("FName")->AsString() == "B") other.Delete();
      else other.Next();
    }
    other.Close();
  }
  cleaner.DeleteDoubles();
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{2}));
  ASSERT_EQ(state.FDupList.Count(), 1);
  EXPECT_EQ(state.FDupList[0]->Name.View(), "B");
  EXPECT_TRUE(cleaner.ReportDeletion(messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], std::make_pair(MessageKind::kWarning, texts::DeletionFailed()));
}

TEST_F(DeletionTest, AnErrorLeavesTheTableOpenWhereTheWalkStopped) {
  TableOptions alpha;
  alpha.alpha_number = true;
  Row bad{"Z", k2011 + 1, kHour, 0, 0, 0, 3};
  bad.number_text = "x";
  const Row a1{"A", k2011, kHour, 1, 1, 2011, 1}, a2{"A", k2011, kHour, 1, 1, 2011, 2};
  const std::string path = testing::WriteTable("walk_error", {a1, a2, bad}, alpha);
  state.FTablePath = path;
  state.FDupList.Add(Rec(a1));
  EXPECT_THROW(cleaner.DeleteDoubles(), dataset::EDatabaseError);
  EXPECT_EQ(state.FDupList.Count(), 0);  // the deleted row's record is off the list
  EXPECT_FALSE(progress.Closed());
  ASSERT_TRUE(Table.Active());
  EXPECT_EQ(Table.FieldByName("FTag")->AsInteger(), 3);

  // The same path goes on from that row: row 2, now listed, is behind it.
  state.FDupList.Add(Rec(a2));
  EXPECT_THROW(cleaner.DeleteDoubles(), dataset::EDatabaseError);
  EXPECT_EQ(state.FDupList.Count(), 1);
  // Another path cannot be set on the open table.
  state.FTablePath = testing::WriteTable("walk_error_other", {a1});
  try {
    cleaner.DeleteDoubles();
    FAIL() << "no error";
  } catch (const dataset::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Table: Cannot perform this operation on an open dataset");
  }
  Table.Close();
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{2, 3}));
}

// A pass stopped part way leaves Table open on its row, holding the table
// it had begun to change. The next analysis of the same folder still
// purges and lists, and the deletion then goes on from that row.
TEST_F(DeletionTest, TheTableLeftOpenIsNoObstacleToTheNextAnalysis) {
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "keyed" : "not keyed");
    TableOptions options;
    options.keyed = keyed;
    const Row old{"O", k2011 - 5, kHour, 1, 1, 2010, 1}, a{"A", k2011, kHour, 1, 1, 2011, 0},
        b{"B", k2011 + 1, kHour, 1, 1, 2011, 0};
    Row a2 = a, a3 = a, b4 = b, b5 = b;
    a2.tag = 2, a3.tag = 3, b4.tag = 4, b5.tag = 5;
    const std::string path = testing::WriteTable(keyed ? "left_open_keyed" : "left_open",
                                                 {old, a2, a3, b4, b5, {"C", k2011 + 2, kHour, 1, 1, 2011, 6}},
                                                 options);
    state.FTablePath = path;
    state.FDupList.Add(Rec(a));
    state.FDupList.Add(Rec(b));
    // Stopped just after deleting the first A.
    progress.on_due = [](int call) {
      if (call == 3) throw std::runtime_error("stopped");
    };
    EXPECT_THROW(cleaner.DeleteDoubles(), std::runtime_error);
    progress.on_due = nullptr;
    ASSERT_TRUE(Table.Active());
    EXPECT_EQ(Table.FieldByName("FTag")->AsInteger(), 3);

    cleaner.CreateList();  // purges O, lists one copy of B
    cleaner.SortList();
    ASSERT_EQ(state.FDupList.Count(), 1);
    EXPECT_EQ(state.FDupList[0]->Name.View(), "B");
    ASSERT_TRUE(Table.Active());
    EXPECT_EQ(Table.FieldByName("FTag")->AsInteger(), 3);

    cleaner.DeleteDoubles();
    EXPECT_FALSE(Table.Active());
    EXPECT_EQ(state.FDupList.Count(), 0);
    EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{3, 5, 6}));
    progress = testing::RecordedProgress();
  }
}

TEST_F(DeletionTest, ARowThatCannotBeDeletedKeepsItsRecord) {
  namespace fs = std::filesystem;
  const std::string path = testing::WriteTable("read_only", {
                                                                {"A", k2011, kHour, 1, 1, 2011, 1},
                                                                {"A", k2011, kHour, 1, 1, 2011, 2},
                                                            });
  Analyse(path);
  ASSERT_EQ(state.FDupList.Count(), 1);
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_THROW(cleaner.DeleteDoubles(), dataset::EDBEngineError);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(state.FDupList.Count(), 1);
  EXPECT_FALSE(progress.Closed());
  Table.Close();
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{1, 2}));
}

}  // namespace
}  // namespace cleaning
