// A stop asked for while the engine changes a table: the DELETE statement
// and the deletion walk end at a group boundary, the files consistent for
// any reader, every deletion made written, and the journal gone.
#include <gtest/gtest.h>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/stop.h"
#include "paradox/table_walk.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

// The table's files as another program finds them now: copied without any
// journal, so that nothing can be undone before they are read.
std::vector<int> IdsOnDisk(const MemFileSystem& fs, std::vector<std::string>* problems) {
  MemFileSystem copy;
  for (const char* name : {"t.db", "t.PX"})
    if (!fs.Contents(name).empty()) copy.SetContents(name, fs.Contents(name));
  EXPECT_OK(CheckTable(&copy, "t.db", problems));
  return Ids(&copy);
}

class StopTest : public ::testing::TestWithParam<bool> {  // keyed or not
 protected:
  void TearDown() override { ClearStopRequest(); }
};

TEST_P(StopTest, StatementEndsAfterTheChangeUnderWay) {
  FaultFileSystem fs;
  FortyRows(&fs, GetParam());
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID<\"100\"", &st));
  // A change per block; each forces the journal twice (filled, cleared).
  // The stop is asked for as the journal is forced the third time, while
  // the second change writes: that one completes.
  fs.Arm({Fault::kRequestStop, 2, kSyncs, JournalPath("t.db")});
  uint32_t deleted = 0;
  Status s = ExecuteDelete(&fs, st, DateFormat(), &deleted, 1024);
  EXPECT_EQ(s.code(), ErrorCode::kStopped) << s.ToString();
  EXPECT_EQ(fs.count(), 4) << "a change began after the stop";
  EXPECT_EQ(deleted, 8u);
  EXPECT_FALSE(fs.FileExists(JournalPath("t.db")));
  std::vector<std::string> problems;
  EXPECT_EQ(IdsOnDisk(fs, &problems), Range(9, 40));
  for (const std::string& p : problems) ADD_FAILURE() << p;

  // Asked for before it starts, the statement changes nothing.
  const std::vector<uint8_t> before = fs.Contents("t.db");
  s = ExecuteDelete(&fs, st, DateFormat(), &deleted, 1024);
  EXPECT_EQ(s.code(), ErrorCode::kStopped);
  EXPECT_EQ(deleted, 0u);
  EXPECT_EQ(fs.Contents("t.db"), before);
  EXPECT_FALSE(fs.FileExists(JournalPath("t.db")));

  // Withdrawn, the statement runs to its end.
  ClearStopRequest();
  ASSERT_OK(ExecuteDelete(&fs, st, DateFormat(), &deleted, 1024));
  EXPECT_EQ(deleted, 32u);
}

TEST_P(StopTest, WalkWritesItsGroupAndStandsStill) {
  MemFileSystem fs;
  FortyRows(&fs, GetParam());
  std::unique_ptr<TableWalk> w;
  // Bounds no group reaches: without a stop nothing would be written yet.
  ASSERT_OK(TableWalk::Open(&fs, "t.db", GroupBounds{1 << 30, 1e9}, &w));
  auto current = [&] { return GetInt(w->table().fields()[0], w->record()); };
  for (int id = 1; id <= 6; ++id) ASSERT_OK((id % 2 == 1 ? w->Delete() : w->Next())) << id;
  ASSERT_EQ(w->unwritten_deletions(), 3u);
  ASSERT_EQ(current(), 7);

  RequestStop();
  EXPECT_EQ(w->Next().code(), ErrorCode::kStopped);
  EXPECT_EQ(w->unwritten_deletions(), 0u);
  EXPECT_EQ(w->lost_deletions(), 0u);
  EXPECT_EQ(current(), 7) << "the walk moved on a stop";
  EXPECT_EQ(w->Delete().code(), ErrorCode::kStopped);
  EXPECT_EQ(current(), 7) << "the walk deleted on a stop";
  EXPECT_EQ(w->record_count(), 37u);
  std::vector<std::string> problems;
  const std::vector<int> left{2, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                              23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};
  EXPECT_EQ(IdsOnDisk(fs, &problems), left);
  for (const std::string& p : problems) ADD_FAILURE() << p;

  ASSERT_OK(w->Close());
  EXPECT_FALSE(fs.FileExists(JournalPath("t.db")));
  EXPECT_EQ(Ids(&fs), left);
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, StopTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace
}  // namespace paradox
