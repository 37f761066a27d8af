// Deleting rows: where a walk goes on, what the files hold afterwards, and
// what happens when the table may not or cannot be changed.
#include "paradox/store/table_editor.h"

#include <gtest/gtest.h>

#include <functional>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/journal.h"
#include "paradox/table.h"
#include "paradox/table_walk.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

// A table of `rows` records (ID Long = 1..rows, keyed or not) in small
// blocks so that a few rows make several blocks.
void MakeTable(MemFileSystem* fs, bool keyed, int rows, uint32_t block_size = 1024, int pad = 200) {
  CreateOptions o;
  o.block_size = block_size;
  o.key_fields = keyed ? 1 : 0;
  WriteTable(fs, "t.db",
             {{"ID", FieldType::kLong, 4}, {"Pad", FieldType::kAlpha, uint8_t(pad)}, {"Day", FieldType::kDate, 4}}, o,
             rows, [](RecordBuilder* rb, int row) {
               const int i = row + 1;
               rb->SetInt(0, i);
               rb->SetAlpha(1, "row " + std::to_string(i));
               if (i % 7 != 0) rb->SetInt(2, static_cast<int32_t>(DayFromCivil(2010, 12, 25) + i % 14));
             });
}

void ExpectExact(FileSystem* fs) {
  std::vector<std::string> problems;
  ASSERT_OK(CheckTable(fs, "t.db", &problems));
  for (const std::string& p : problems) ADD_FAILURE() << p;
}

// Walks the table the way the deletion pass walks it, deleting the rows
// `doomed` picks, with deletions written in groups within `bounds`;
// returns the ids visited in order.
std::vector<int> DeletionWalk(MemFileSystem* fs, const std::function<bool(int)>& doomed,
                              const GroupBounds& bounds = GroupBounds()) {
  std::unique_ptr<TableWalk> w;
  Status st = TableWalk::Open(fs, "t.db", bounds, &w);
  EXPECT_OK(st);
  std::vector<int> seen;
  if (!st.ok()) return seen;
  while (w->Valid() && seen.size() <= 100000) {  // a walk that never ends is a failure
    const int id = GetInt(w->table().fields()[0], w->record());
    seen.push_back(id);
    st = doomed(id) ? w->Delete() : w->Next();
    EXPECT_OK(st);
    if (!st.ok()) break;
  }
  st = w->Close();
  EXPECT_OK(st);
  return seen;
}

// Groups written at every block the walk leaves, or at its end only.
const GroupBounds kEveryBlock{1, 1e9};
const GroupBounds kAtTheEnd{size_t(1) << 40, 1e9};

class DeletionTest : public ::testing::TestWithParam<bool> {};  // keyed or not

TEST_P(DeletionTest, FollowingRowBecomesCurrent) {
  MemFileSystem fs;
  MakeTable(&fs, GetParam(), 30);  // 4 records a block: 8 blocks
  // First, middle and last row of blocks; a whole block (9..12).
  auto doomed = [](int id) { return id == 1 || id == 6 || id == 8 || (id >= 9 && id <= 12) || id == 17; };
  std::vector<int> seen = DeletionWalk(&fs, doomed);
  std::vector<int> all;
  for (int i = 1; i <= 30; ++i) all.push_back(i);
  EXPECT_EQ(seen, all);  // every row met once, in order
  std::vector<int> left;
  for (int i = 1; i <= 30; ++i)
    if (!doomed(i)) left.push_back(i);
  EXPECT_EQ(Ids(&fs), left);
  ExpectExact(&fs);
}

TEST_P(DeletionTest, DeletingTheLastRowStepsBack) {
  MemFileSystem fs;
  MakeTable(&fs, GetParam(), 9);
  // Deleting row 9 (the last) puts the walk on row 8 again; row 8 is kept.
  std::vector<int> seen = DeletionWalk(&fs, [](int id) { return id == 9; });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 8}));
  EXPECT_EQ(Ids(&fs), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  ExpectExact(&fs);
}

TEST_P(DeletionTest, EmptyingTheTableEndsTheWalk) {
  MemFileSystem fs;
  MakeTable(&fs, GetParam(), 10);
  std::vector<int> seen = DeletionWalk(&fs, [](int) { return true; });
  EXPECT_EQ(seen.size(), 10u);
  EXPECT_TRUE(Ids(&fs).empty());
  ExpectExact(&fs);
  // The emptied table still opens and takes new changes.
  std::unique_ptr<TableEditor> ed;
  EXPECT_OK(TableEditor::Open(&fs, "t.db", &ed));
}

TEST_P(DeletionTest, EmptiedFirstBlockTakesTheNextBlocksRows) {
  MemFileSystem fs;
  MakeTable(&fs, GetParam(), 12);
  std::vector<int> seen = DeletionWalk(&fs, [](int id) { return id <= 4 || id == 6; });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(Ids(&fs), (std::vector<int>{5, 7, 8, 9, 10, 11, 12}));
  ExpectExact(&fs);
}

TEST_P(DeletionTest, RandomWalksMatchAModel) {
  for (int seed = 1; seed <= 20; ++seed) {
    MemFileSystem fs;
    MakeTable(&fs, GetParam(), 200, 1024, 40);  // 20 a block, two index levels with small blocks
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u;
    std::vector<bool> doom(201);
    std::vector<int> left;
    for (int i = 1; i <= 200; ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      doom[i] = x % (seed % 4 + 2) == 0 || (i > 40 && i <= 60 && seed % 2 == 0);
      if (!doom[i]) left.push_back(i);
    }
    DeletionWalk(&fs, [&](int id) { return doom[id]; }, seed % 2 ? kEveryBlock : kAtTheEnd);
    EXPECT_EQ(Ids(&fs), left) << "seed " << seed;
    ExpectExact(&fs);
  }
}

// A table many times larger than the blocks the editor keeps in memory:
// walks and purges whose blocks lie far apart, before and after the kept
// ones, must still read and write what the file holds.
TEST_P(DeletionTest, TablesLargerThanTheEditorsMemory) {
  const int rows = 8000;  // 2,000 blocks of 1 KB
  for (int seed = 1; seed <= 3; ++seed) {
    MemFileSystem fs;
    MakeTable(&fs, GetParam(), rows);
    std::vector<bool> doom(rows + 1);
    std::vector<int> left;
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u;
    for (int i = 1; i <= rows; ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      // Whole runs of blocks go, and single rows here and there.
      doom[i] = (i <= 1200 && seed != 2) || (i > 3000 && i <= 3900) || x % 11 == 0;
      if (!doom[i]) left.push_back(i);
    }
    DeletionWalk(&fs, [&](int id) { return doom[id]; }, seed == 1 ? kEveryBlock : GroupBounds{256 << 10, 1e9});
    ASSERT_EQ(Ids(&fs), left) << "seed " << seed;
    ExpectExact(&fs);

    // Then a purge of rows spread over the whole table.
    Statement st;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE Day<\"01.01.2011\"", &st));
    uint32_t deleted = 0;
    ASSERT_OK(ExecuteDelete(&fs, st, DateFormat(), &deleted));
    std::vector<int> kept;
    for (int id : left)
      if (id % 7 == 0 || id % 14 >= 7) kept.push_back(id);
    EXPECT_EQ(deleted, left.size() - kept.size());
    ASSERT_EQ(Ids(&fs), kept) << "seed " << seed;
    ExpectExact(&fs);
  }
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, DeletionTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

TEST(PurgeTest, DeletesMatchingRowsButNotEmptyOnes) {
  for (bool keyed : {false, true}) {
    MemFileSystem fs;
    MakeTable(&fs, keyed, 300, 2048, 60);
    Statement st;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\"\r\nWHERE Day<\"01.01.2011\"\r\n", &st));
    uint32_t deleted = 0;
    DateFormat f;
    ASSERT_OK(ExecuteDelete(&fs, st, f, &deleted));
    std::vector<int> left;
    for (int i = 1; i <= 300; ++i) {
      bool empty = i % 7 == 0;
      bool before = i % 14 < 7;  // 25..31 December 2010
      if (empty || !before) left.push_back(i);
    }
    EXPECT_EQ(Ids(&fs), left);
    EXPECT_EQ(deleted, 300u - left.size());
    ExpectExact(&fs);
    EXPECT_FALSE(fs.FileExists("t.db-journal"));
  }
}

TEST(PurgeTest, BadLiteralOrFieldChangesNothing) {
  MemFileSystem fs;
  MakeTable(&fs, true, 50);
  std::vector<uint8_t> before = fs.Contents("t.db"), px = fs.Contents("t.PX");
  DateFormat f;
  for (const char* sql : {"DELETE FROM \"t.db\" WHERE Day<\"32.01.2011\"", "DELETE FROM \"t.db\" WHERE Nope<\"1\"",
                          "DELETE FROM \"t.db\" WHERE ID<\"abc\""}) {
    Statement st;
    ASSERT_OK(ParseStatement(sql, &st));
    uint32_t deleted = 7;
    EXPECT_FALSE(ExecuteDelete(&fs, st, f, &deleted).ok()) << sql;
    EXPECT_EQ(deleted, 0u);
  }
  EXPECT_EQ(fs.Contents("t.db"), before);
  EXPECT_EQ(fs.Contents("t.PX"), px);
}

TEST(ProtectionTest, BusyReadOnlyAndLockedTablesAreNotChanged) {
  MemFileSystem fs;
  MakeTable(&fs, true, 20);
  std::vector<uint8_t> before = fs.Contents("t.db");
  std::unique_ptr<TableEditor> ed;
  {
    std::unique_ptr<File> other;  // another user has the table open
    ASSERT_OK(fs.Open("t.db", OpenMode::kRead, &other));
    EXPECT_EQ(TableEditor::Open(&fs, "t.db", &ed).code(), ErrorCode::kTableBusy);
  }
  {
    std::unique_ptr<File> other;  // ... or holds its lock file
    fs.SetContents("PDOXUSRS.LCK", std::vector<uint8_t>(110, 0));
    ASSERT_OK(fs.Open("PDOXUSRS.LCK", OpenMode::kRead, &other));
    EXPECT_EQ(TableEditor::Open(&fs, "t.db", &ed).code(), ErrorCode::kTableBusy);
  }
  fs.SetReadOnly("t.db", true);
  EXPECT_EQ(TableEditor::Open(&fs, "t.db", &ed).code(), ErrorCode::kReadOnly);
  EXPECT_EQ(Ids(&fs).size(), 20u);  // reading a read-only table works
  fs.SetReadOnly("t.db", false);
  EXPECT_EQ(fs.Contents("t.db"), before);
  // A left-over lock file nobody holds does not stop a change, and while
  // the editor holds the table nobody else may open it.
  ASSERT_OK(TableEditor::Open(&fs, "t.db", &ed));
  std::unique_ptr<File> other;
  EXPECT_EQ(fs.Open("t.db", OpenMode::kReadWrite, &other).code(), ErrorCode::kTableBusy);
}

TEST(ProtectionTest, MissingOrStaleIndexIsRebuiltFirst) {
  MemFileSystem fs;
  MakeTable(&fs, true, 40);
  std::vector<uint8_t> px = fs.Contents("t.PX");
  px[0x06] ^= 1;  // entry count no longer adds up
  fs.SetContents("t.PX", px);
  {
    std::unique_ptr<TableEditor> ed;
    ASSERT_OK(TableEditor::Open(&fs, "t.db", &ed));
  }
  ExpectExact(&fs);
  ASSERT_OK(fs.Remove("t.PX"));
  {
    std::unique_ptr<TableEditor> ed;
    ASSERT_OK(TableEditor::Open(&fs, "t.db", &ed));
    ASSERT_OK(ed->Delete({RowPos{1, 0}}, nullptr));
    ASSERT_OK(ed->Flush());
  }
  ExpectExact(&fs);
  EXPECT_EQ(Ids(&fs).front(), 2);
}

// Counts the reads of "t.db" and fails the one numbered fail_at (from 1).
class ReadWatch : public ForwardingFileSystem {
 public:
  explicit ReadWatch(FileSystem* base) : ForwardingFileSystem(base) {}
  int reads = 0;
  int fail_at = 0;

 protected:
  struct Watched : ForwardingFile {
    Watched(std::unique_ptr<File> f, ReadWatch* w) : ForwardingFile(std::move(f)), w(w) {}
    Status Read(uint64_t o, size_t n, uint8_t* out, size_t* got) override {
      if (++w->reads == w->fail_at) return Status::Error(ErrorCode::kIoError, "read failed");
      return ForwardingFile::Read(o, n, out, got);
    }
    ReadWatch* w;
  };
  std::unique_ptr<File> Wrap(const std::string& path, std::unique_ptr<File> f) override {
    if (path != "t.db") return f;
    return std::make_unique<Watched>(std::move(f), this);
  }
};

// Opening a table for changing reads its block chain in runs of many
// blocks, not block by block (about 300 blocks of 16 KB); a read that fails at
// any point of it fails the open, with the file unchanged and nothing
// held, so that the next open succeeds.
TEST(OpenTest, ReadsTheChainInLargeRunsAndAFailedReadChangesNothing) {
  MemFileSystem mem;
  MakeTable(&mem, false, 23000, 16384);
  const std::vector<uint8_t> before = mem.Contents("t.db");
  ASSERT_GT(before.size(), 290u * 16384);
  ReadWatch fs(&mem);
  int reads = 0;
  {
    std::unique_ptr<TableEditor> ed;
    ASSERT_OK(TableEditor::Open(&fs, "t.db", &ed));
    reads = fs.reads;
  }
  EXPECT_LE(reads, 30);
  for (int k = 1; k <= reads; ++k) {
    fs.reads = 0;
    fs.fail_at = k;
    std::unique_ptr<TableEditor> ed;
    EXPECT_FALSE(TableEditor::Open(&fs, "t.db", &ed).ok()) << "read " << k << " failed";
    ed.reset();
    EXPECT_TRUE(mem.Contents("t.db") == before) << "read " << k << " failed";
    EXPECT_EQ(mem.OpenHandles("t.db"), 0) << "read " << k << " failed";
  }
  fs.fail_at = 0;
  EXPECT_EQ(DeletionWalk(&mem, [](int id) { return id % 1000 == 1; }).size(), 23000u);
  EXPECT_EQ(Ids(&mem).size(), 23000u - 23);
}

TEST(CrashTest, StoppedAtEveryWriteTheTableReadsAsBeforeOrAfter) {
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 50", &st));
  for (bool keyed : {false, true}) {
    std::vector<int> full;
    ForEachFaultPoint(
        {Fault::kStop},
        [&](FaultFileSystem* fs) {
          MakeTable(fs, keyed, 120, 1024, 60);
          if (full.empty()) full = Ids(fs);
        },
        [&](FaultFileSystem* fs) { return RunDelete(fs, st); },
        [&](FaultFileSystem* fs, const FaultPoint& p) {
          // What a killed process leaves: the files as they are now. Undo
          // what was cut short the way the next open does, then check.
          bool undone = false;
          ASSERT_OK(RecoverJournal(fs, "t.db", nullptr, &undone));
          std::vector<int> ids = Ids(fs);
          if (p.completed) {
            ASSERT_EQ(ids.size(), 70u);
          }
          EXPECT_TRUE(ids == full || ids.size() == 70u) << p.where << ": " << ids.size() << " rows";
          ExpectExact(fs);
        },
        200);
  }
}

}  // namespace
}  // namespace paradox
