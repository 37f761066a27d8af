// Deletions written in groups: what a walk shows at once, what the files
// hold and when, and what a group that cannot be written leaves.
#include "paradox/table_walk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/sql.h"
#include "paradox/store/table_editor.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

int Current(const TableWalk& w) { return GetInt(w.table().fields()[0], w.record()); }

class TableWalkTest : public ::testing::TestWithParam<bool> {};  // keyed or not

// The files take a group once the walk leaves the block of its last
// deletion with the group full, or when anyone reads the table, or at
// Close; the walk sees every deletion at once.
TEST_P(TableWalkTest, GroupsReachTheFilesWhenDue) {
  FaultFileSystem fs;
  FortyRows(&fs, GetParam());
  std::unique_ptr<TableWalk> w;
  ASSERT_OK(TableWalk::Open(&fs, "t.db", GroupBounds{2048, 1e9}, &w));
  // Rows 1 and 5 go: two blocks changed, the group is full, but the walk
  // still stands in the block of the last deletion.
  ASSERT_OK(w->Delete());
  for (int i = 0; i < 3; ++i) ASSERT_OK(w->Next());
  ASSERT_EQ(Current(*w), 5);
  fs.Arm({Fault::kStop, 0});  // nothing may be written yet
  ASSERT_OK(w->Delete());
  EXPECT_EQ(w->record_count(), 38u);
  EXPECT_EQ(Current(*w), 6);
  EXPECT_EQ(w->unwritten_deletions(), 2u);
  fs.Disarm();
  // Leaving the block writes the group.
  for (int i = 0; i < 3; ++i) ASSERT_OK(w->Next());
  EXPECT_EQ(Current(*w), 9);
  EXPECT_EQ(w->unwritten_deletions(), 0u);
  // A reader of the table in this process gets the deletions gathered
  // since; the walk lets the table go for it.
  ASSERT_OK(w->Delete());
  EXPECT_EQ(w->unwritten_deletions(), 1u);
  std::unique_ptr<Table> reader;
  EXPECT_OK(Table::Open(&fs, "t.db", OpenOptions(), &reader));
  reader.reset();
  EXPECT_EQ(w->unwritten_deletions(), 0u);
  std::vector<int> left = Range(2, 40);
  left.erase(left.begin() + 3);   // 5
  left.erase(left.begin() + 6);   // 9
  MemFileSystem copy;
  for (const char* name : {"t.db", "t.PX"})
    if (fs.FileExists(name)) copy.SetContents(name, fs.Contents(name));
  EXPECT_EQ(Ids(&copy), left);
  EXPECT_EQ(Current(*w), 10);
  ASSERT_OK(w->Close());
  std::vector<std::string> problems;
  ASSERT_OK(CheckTable(&fs, "t.db", &problems));
  for (const std::string& p : problems) ADD_FAILURE() << p;
}

// A group whose writing fails leaves the table as it was before the
// group, says how many deletions came back and where the walk stands; the
// walk then goes on, and its next deletions are written. A disk that keeps
// failing leaves a journal that undoes the group at the next open.
TEST_P(TableWalkTest, AGroupThatCannotBeWrittenComesBackWhole) {
  for (bool persistent : {false, true}) {
    for (int at : {0, 1, 2, 3}) {
      SCOPED_TRACE((persistent ? "every write from write " : "write ") + std::to_string(at) + " fails");
      FaultFileSystem fs;
      FortyRows(&fs, GetParam());
      std::unique_ptr<TableWalk> w;
      ASSERT_OK(TableWalk::Open(&fs, "t.db", GroupBounds{1 << 20, 1e9}, &w));
      // Rows 1, 4, 7, ... 19 go in one group.
      for (int id = 1; id <= 20; ++id) ASSERT_OK((id % 3 == 1 ? w->Delete() : w->Next())) << id;
      ASSERT_EQ(Current(*w), 21);
      ASSERT_EQ(w->record_count(), 33u);
      fs.Arm({persistent ? Fault::kStop : Fault::kFailOnce, at});
      EXPECT_FALSE(w->Flush().ok());
      EXPECT_EQ(w->lost_deletions(), 7u);
      fs.Disarm();
      if (persistent) {
        w.reset();
        EXPECT_EQ(Ids(&fs), Range(1, 40));
        continue;
      }
      EXPECT_EQ(w->record_count(), 40u);
      ASSERT_TRUE(w->Valid());
      EXPECT_EQ(Current(*w), 21) << "the walk stands on its row";
      // The walk goes on: 21 and 22 go and are written at Close.
      ASSERT_OK(w->Delete());
      ASSERT_OK(w->Delete());
      EXPECT_EQ(w->lost_deletions(), 0u);
      ASSERT_OK(w->Close());
      std::vector<int> left = Range(1, 40);
      left.erase(left.begin() + 20, left.begin() + 22);
      EXPECT_EQ(Ids(&fs), left);
    }
  }
}

// Another program removes row `id`, or changes it in place, by rewriting
// the files while the walk reads them.
void ChangeFromOutside(MemFileSystem* fs, int id, bool remove) {
  MemFileSystem other;
  for (const char* name : {"t.db", "t.PX"})
    if (fs->FileExists(name)) other.SetContents(name, fs->Contents(name));
  if (remove) {
    Statement st;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID = " + std::to_string(id), &st));
    uint32_t deleted = 0;
    ASSERT_OK(ExecuteDelete(&other, st, DateFormat(), &deleted));
    ASSERT_EQ(deleted, 1u);
  } else {
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Open(&other, "t.db", OpenOptions(), &t));
    const TableHeader& h = t->header();
    uint64_t at = 0;
    for (auto c = t->NewCursor(); c->Valid(); c->Next())
      if (GetInt(t->fields()[0], c->record()) == id)
        at = h.header_size + uint64_t(c->block() - 1) * h.block_size + 6 + uint64_t(c->slot()) * h.record_size;
    ASSERT_NE(at, 0u);
    t.reset();
    std::vector<uint8_t> db = other.Contents("t.db");
    db[at + 4] = 'X';  // the Pad field
    other.SetContents("t.db", db);
  }
  for (const char* name : {"t.db", "t.PX"})
    if (other.FileExists(name)) fs->SetContents(name, other.Contents(name));
}

// Before the walk's first deletion another program removes or changes the
// row it stands on: that row counts as done, the one after it becomes
// current, and the walk goes on deleting.
TEST_P(TableWalkTest, ARowAnotherProgramRemovedOrChangedCountsAsDone) {
  struct Case {
    const char* what;
    int on;
    bool remove;
  };
  for (const Case& c : {Case{"removed", 6, true}, Case{"changed", 6, false},
                        Case{"removed, the last of its block", 4, true}, Case{"changed, the last of its block", 8, false}}) {
    SCOPED_TRACE(c.what);
    MemFileSystem fs;
    FortyRows(&fs, GetParam());
    std::unique_ptr<TableWalk> w;
    ASSERT_OK(TableWalk::Open(&fs, "t.db", GroupBounds(), &w));
    while (w->Valid() && Current(*w) != c.on) ASSERT_OK(w->Next());
    ChangeFromOutside(&fs, c.on, c.remove);
    ASSERT_OK(w->Delete());
    ASSERT_TRUE(w->Valid()) << "the walk jumped to the end";
    EXPECT_EQ(Current(*w), c.on + 1);
    EXPECT_EQ(w->record_count(), c.remove ? 39u : 40u);
    ASSERT_OK(w->Delete());
    EXPECT_EQ(Current(*w), c.on + 2);
    ASSERT_OK(w->Close());
    std::vector<int> left = Range(1, 40);
    left.erase(std::find(left.begin(), left.end(), c.on + 1));
    if (c.remove) left.erase(std::find(left.begin(), left.end(), c.on));
    EXPECT_EQ(Ids(&fs), left);
  }
}

// A walk left open (after an error) and another open of its table in this
// process, a purge and a reader: the walk writes its group and lets the
// table go, then goes on from its row as the table now stands; a row the
// purge took counts as done.
TEST_P(TableWalkTest, AnotherOpenOfThisProcessFindsTheTableFree) {
  MemFileSystem fs;
  FortyRows(&fs, GetParam());
  std::unique_ptr<TableWalk> w;
  ASSERT_OK(TableWalk::Open(&fs, "t.db", GroupBounds{1 << 20, 1e9}, &w));
  ASSERT_OK(w->Delete());  // row 1
  for (int i = 0; i < 3; ++i) ASSERT_OK(w->Next());
  ASSERT_OK(w->Delete());  // row 5
  ASSERT_EQ(Current(*w), 6);
  ASSERT_EQ(w->unwritten_deletions(), 2u);

  Statement purge;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 6", &purge));
  uint32_t deleted = 0;
  Status st = ExecuteDelete(&fs, purge, DateFormat(), &deleted);
  ASSERT_OK(st);
  EXPECT_EQ(deleted, 4u);  // 2, 3, 4 and 6: the walk's group went first
  EXPECT_EQ(w->unwritten_deletions(), 0u);
  EXPECT_EQ(Current(*w), 6) << "the walk still shows the row it stood on";

  ASSERT_OK(w->Delete());  // row 6 went with the purge: done
  EXPECT_EQ(Current(*w), 7);
  EXPECT_EQ(w->record_count(), 34u);
  ASSERT_OK(w->Delete());  // row 7
  EXPECT_EQ(Current(*w), 8);

  // A reader takes the table too; the walk then moves on from row 8.
  std::unique_ptr<Table> reader;
  ASSERT_OK(Table::Open(&fs, "t.db", OpenOptions(), &reader));
  EXPECT_EQ(reader->record_count(), 33u);
  reader.reset();
  ASSERT_OK(w->Next());
  EXPECT_EQ(Current(*w), 9);
  ASSERT_OK(w->Delete());
  ASSERT_OK(w->Close());
  std::vector<int> left = Range(8, 40);
  left.erase(left.begin() + 1);  // 9
  EXPECT_EQ(Ids(&fs), left);
  std::vector<std::string> problems;
  ASSERT_OK(CheckTable(&fs, "t.db", &problems));
  for (const std::string& p : problems) ADD_FAILURE() << p;
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, TableWalkTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace
}  // namespace paradox
