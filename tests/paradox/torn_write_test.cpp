// Changes cut short at every write, with the write that was cut short
// landing only in part, as a write the system stopped half way would: the
// undo journal must bring back every byte, and an index rebuilt when a
// table is opened for changing must end up exact or marked out of date.
// And a data file cut short inside its records, which the reader rejects,
// is rejected alike by the check and by every way of changing it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/format/header.h"
#include "paradox/journal.h"
#include "paradox/store/journal_write.h"
#include "paradox/sql.h"
#include "paradox/table.h"
#include "paradox/store/table_editor.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using Files = FaultFileSystem::Files;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  return v;
}

// A change that shortens a file, cut short after the shortening: the undo
// must give back the bytes the shortening dropped, not zeros.
TEST(UndoJournalTest, ShortenedFileComesBackWhole) {
  const std::vector<uint8_t> original = Pattern(5000);
  for (bool fail_sync : {false, true}) {
    SCOPED_TRACE(fail_sync ? "undone at once (a sync failed)" : "undone at the next open (clearing never happened)");
    FaultFileSystem fs;
    fs.SetContents("t.db", {});  // the table, held while its journal is undone
    fs.SetContents("t.PX", original);
    {
      std::unique_ptr<File> px, journal;
      ASSERT_OK(fs.Open("t.PX", OpenMode::kExclusive, &px));
      ASSERT_OK(fs.Open(JournalPath("t.db"), OpenMode::kCreate, &journal));
      // Journal, the write, the truncation; then the sync or the clearing fails.
      fs.Arm(fail_sync ? FaultPlan{Fault::kStop, 0, kSyncs, "t.PX"} : FaultPlan{Fault::kStop, 3});
      Status st = ApplyChange(journal.get(), {{"t.PX", px.get()}}, {{0, 0, std::vector<uint8_t>(100, 0xEE)}},
                              {2048});
      EXPECT_FALSE(st.ok());
    }
    fs.Disarm();
    bool undone = false;
    ASSERT_OK(RecoverJournal(&fs, "t.db", nullptr, &undone));
    if (!fail_sync) {
      EXPECT_TRUE(undone);
    }
    std::vector<uint8_t> now = fs.Contents("t.PX");
    ASSERT_EQ(now.size(), original.size());
    size_t first_wrong = 0;
    while (first_wrong < now.size() && now[first_wrong] == original[first_wrong]) ++first_wrong;
    EXPECT_EQ(first_wrong, now.size()) << "bytes differ from offset " << first_wrong;
  }
}

// Only the bytes that differ are saved and written: a whole-block write
// that changes ten bytes leaves a journal of those ten, and cut short
// after the journal it is undone to the very byte.
TEST(UndoJournalTest, OnlyChangedBytesAreSavedAndWritten) {
  const std::vector<uint8_t> original = Pattern(4096);
  std::vector<uint8_t> block = original;
  for (size_t i = 1000; i < 1010; ++i) block[i] ^= 0xFF;
  for (bool old_known : {false, true}) {
    SCOPED_TRACE(old_known ? "old bytes given" : "old bytes read");
    for (int writes : {1, 1 << 30}) {  // stopped after the journal, or not
      FaultFileSystem fs;
      fs.SetContents("t.db", original);
      {
        std::unique_ptr<File> db, journal;
        ASSERT_OK(fs.Open("t.db", OpenMode::kExclusive, &db));
        ASSERT_OK(fs.Open(JournalPath("t.db"), OpenMode::kCreate, &journal));
        fs.Arm({Fault::kStop, writes});
        FileWrite w{0, 0, block, old_known ? original.data() : nullptr};
        Status st = ApplyChange(journal.get(), {{"t.db", db.get()}}, {w}, {-1});
        EXPECT_EQ(st.ok(), writes > 1);
      }
      fs.Disarm();
      // Magic, length, the file with its length and the lengths the change
      // may leave, one range of ten bytes with its kind and the check of
      // its one piece, the checksum.
      EXPECT_EQ(fs.Contents(JournalPath("t.db")).size(),
                8u + 4 + 4 + (2 + 4 + 8 + 8 + 8) + 4 + (2 + 8 + 4 + 1 + 10 + 4) + 8);
      bool undone = false;
      ASSERT_OK(RecoverJournal(&fs, "t.db", nullptr, &undone));
      EXPECT_EQ(undone, writes == 1);
      EXPECT_TRUE(fs.Contents("t.db") == (writes == 1 ? original : block));
    }
  }
}

// Block writes that lie together in the file go out in one call, with the
// unchanged bytes between their changes, and the header (given last, at
// the file's start) still goes last, on its own. That one call torn half
// way is undone to the very byte.
TEST(UndoJournalTest, BlocksThatLieTogetherGoOutInOneWrite) {
  constexpr size_t kBlock = 1024, kBlocks = 64;
  const std::vector<uint8_t> original = Pattern(kBlock * (kBlocks + 1));
  std::vector<FileWrite> writes;
  for (size_t b = 1; b <= kBlocks; ++b) {
    std::vector<uint8_t> image(original.begin() + std::ptrdiff_t(b * kBlock),
                               original.begin() + std::ptrdiff_t((b + 1) * kBlock));
    if (b % 5 != 0) image[100 + b] ^= 0xFF;  // every fifth block is written unchanged
    writes.push_back(FileWrite{0, b * kBlock, image});
  }
  writes.push_back(FileWrite{0, 0, std::vector<uint8_t>{0xAB, 0xCD}});
  std::vector<uint8_t> changed = original;
  for (const FileWrite& w : writes) std::copy(w.bytes.begin(), w.bytes.end(), changed.begin() + std::ptrdiff_t(w.offset));

  struct Seen {
    uint64_t offset;
    size_t size;
  };
  struct Watch : ForwardingFile {
    Watch(std::unique_ptr<File> f, std::vector<Seen>* seen) : ForwardingFile(std::move(f)), seen(seen) {}
    Status Write(uint64_t o, const uint8_t* d, size_t n) override {
      seen->push_back({o, n});
      return ForwardingFile::Write(o, d, n);
    }
    std::vector<Seen>* seen;
  };
  for (int budget : {1 << 30, 1}) {  // completes; torn in the blocks' write
    SCOPED_TRACE(budget == 1 ? "torn" : "complete");
    FaultFileSystem fs;
    fs.SetContents("t.db", original);
    std::vector<Seen> seen;
    {
      std::unique_ptr<File> db, journal;
      ASSERT_OK(fs.Open("t.db", OpenMode::kExclusive, &db));
      ASSERT_OK(fs.Open(JournalPath("t.db"), OpenMode::kCreate, &journal));
      Watch watched(std::move(db), &seen);
      fs.Arm({Fault::kTearAtSector, budget});
      Status st = ApplyChange(journal.get(), {{"t.db", &watched}}, writes, {-1});
      ASSERT_EQ(st.ok(), budget > 1);
    }
    // From the first block's change to the last one's, then the header.
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].offset, kBlock + 101);
    EXPECT_EQ(seen[0].size, (kBlocks * kBlock + 100 + kBlocks + 1) - (kBlock + 101));
    if (budget > 1) {
      ASSERT_EQ(seen.size(), 2u);
      EXPECT_EQ(seen[1].offset, 0u);
      EXPECT_TRUE(fs.Contents("t.db") == changed);
    } else {
      fs.Disarm();
      bool undone = false;
      ASSERT_OK(RecoverJournal(&fs, "t.db", nullptr, &undone));
      EXPECT_TRUE(undone);
      EXPECT_TRUE(fs.Contents("t.db") == original);
    }
  }
}

// Journals of the earlier layouts (the first with an FNV-1a checksum, the
// second with today's) are still undone: they may lie on an operator's disk.
TEST(UndoJournalTest, EarlierLayoutsAreStillRecovered) {
  for (char layout : {'1', '2'}) {
    SCOPED_TRACE(std::string("layout PXUNDO0") + layout);
    const std::vector<uint8_t> original = Pattern(64);
    std::vector<uint8_t> changed = original;
    changed[10] = 0;
    std::vector<uint8_t> j = {'P', 'X', 'U', 'N', 'D', 'O', '0', static_cast<uint8_t>(layout), 0, 0, 0, 0, 1, 0,
                              0, 0, 4, 0, 't', '.', 'P', 'X'};
    auto put = [&](uint64_t v, int n) {
      for (int i = 0; i < n; ++i) j.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(original.size(), 8);
    put(1, 4);  // one range: file 0, offset 8, four bytes
    put(0, 2);
    put(8, 8);
    put(4, 4);
    j.insert(j.end(), original.begin() + 8, original.begin() + 12);
    uint32_t length = static_cast<uint32_t>(j.size() + 8);
    for (int i = 0; i < 4; ++i) j[8 + i] = static_cast<uint8_t>(length >> (8 * i));
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : j) h = (h ^ b) * 1099511628211ull;
    put(layout == '1' ? h : JournalChecksum(j.data(), j.size()), 8);
    MemFileSystem fs;
    fs.SetContents("t.db", {});
    fs.SetContents("t.PX", changed);
    fs.SetContents(JournalPath("t.db"), j);
    EXPECT_TRUE(JournalIsHot(&fs, "t.db"));
    bool undone = false;
    ASSERT_OK(RecoverJournal(&fs, "t.db", nullptr, &undone));
    EXPECT_TRUE(undone);
    EXPECT_TRUE(fs.Contents("t.PX") == original);
    EXPECT_FALSE(fs.FileExists(JournalPath("t.db")));
  }
}

std::vector<std::string> Problems(FileSystem* fs) {
  std::vector<std::string> problems;
  Status st = CheckTable(fs, "t.db", &problems);
  if (!st.ok()) problems.push_back(st.ToString());
  return problems;
}

// One failure listing the first few problems; false when there are none.
bool Report(const std::string& where, const std::vector<std::string>& problems) {
  if (problems.empty()) return false;
  std::string text = where + ":";
  for (size_t i = 0; i < problems.size() && i < 6; ++i) text += "\n  " + problems[i];
  if (problems.size() > 6) text += "\n  ... " + std::to_string(problems.size() - 6) + " more";
  ADD_FAILURE() << text;
  return true;
}

class TornPurgeTest : public ::testing::TestWithParam<bool> {};  // keyed or not

// The purge empties two thirds of the 225 data blocks, so the index (in
// 1 KB blocks) loses blocks too and its file gets shorter.
TEST_P(TornPurgeTest, TableReadsAsBeforeOrAfter) {
  const auto files = PaddedTable(GetParam(), 900);
  const std::vector<int> all = Range(1, 900), purged = Range(601, 900);
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 600", &st));
  for (Fault fault : {Fault::kStop, Fault::kTearAtSector}) {
    ForEachFaultPoint(
        {fault}, [&](FaultFileSystem* fs) { fs->SetAll(files); },
        [&](FaultFileSystem* fs) { return RunDelete(fs, st); },
        [&](FaultFileSystem* fs, const FaultPoint& p) {
          std::vector<int> ids = Ids(fs);  // undoes what was cut short
          EXPECT_TRUE(ids == all || ids == purged) << p.where << ": " << ids.size() << " rows";
          Report(p.where, Problems(fs));
        },
        2000);
  }
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, TornPurgeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

// Opening a keyed table for changing rebuilds an index that is out of
// date. Cut short, the rebuild must leave the index either exact or marked
// out of date, never one that claims to be current but is not.
TEST(TornIndexRebuildTest, IndexEndsExactOrMarkedOutOfDate) {
  // The index of a larger table, marked out of date, beside a smaller one;
  // and no index at all.
  const auto big = PaddedTable(true, 2400);
  auto stale = PaddedTable(true, 600);
  stale["t.PX"] = big.at("t.PX");
  stale["t.PX"][hdr::kIndexStamp] ^= 0x55;
  auto missing = PaddedTable(true, 600);
  missing.erase("t.PX");

  for (const auto& [name, files] : {std::pair{"stale index", stale}, std::pair{"missing index", missing}}) {
    for (Fault fault : {Fault::kStop, Fault::kTearAtSector}) {
      ForEachFaultPoint(
          {fault}, [&](FaultFileSystem* fs) { fs->SetAll(files); },
          [&](FaultFileSystem* fs) {
            std::unique_ptr<TableEditor> ed;
            return TableEditor::Open(fs, "t.db", &ed);
          },
          [&](FaultFileSystem* fs, const FaultPoint& p) {
            const std::string where = std::string(name) + ", " + p.where;
            EXPECT_EQ(Ids(fs).size(), 600u) << where;
            std::vector<std::string> problems = Problems(fs), wrong;
            // A file too short for a header claims nothing either.
            bool marked = fs->Contents("t.PX").size() < hdr::kFixedEnd;
            for (const std::string& p : problems) marked = marked || p.find("index out of date") != std::string::npos;
            for (const std::string& p : problems)
              if (p.rfind("t.PX", 0) != 0 || !marked) wrong.push_back(p);  // the data file is never at fault
            Report(where + (marked ? "" : " (the index claims to be current)"), wrong);
          },
          50);
    }
  }
}

TEST(CutShortTableTest, RejectedByReaderCheckAndEditorAlike) {
  auto files = PaddedTable(false, 8);  // 204-byte records: five in block 1, three in block 2
  std::vector<uint8_t>& db = files["t.db"];
  const size_t header_size = db[hdr::kHeaderSize] | size_t(db[hdr::kHeaderSize + 1]) << 8;
  db.resize(header_size + 1024 + 6 + 204 + 100);  // ends inside block 2's second record
  FaultFileSystem fs(files);

  std::unique_ptr<Table> t;
  Status opened = Table::Open(&fs, "t.db", OpenOptions(), &t);
  ASSERT_OK(opened);
  auto c = t->NewCursor();
  while (c->Valid()) c->Next();
  EXPECT_EQ(c->status().code(), ErrorCode::kCorruptBlock) << c->status().ToString();
  c.reset();
  t.reset();

  EXPECT_FALSE(Problems(&fs).empty()) << "the check finds nothing wrong with a file the reader rejects";
  std::unique_ptr<TableEditor> ed;
  Status st = TableEditor::Open(&fs, "t.db", &ed);
  EXPECT_FALSE(st.ok()) << "opened for changing";
  ed.reset();
  Statement all;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\"", &all));
  uint32_t deleted = 0;
  st = ExecuteDelete(&fs, all, DateFormat(), &deleted);
  EXPECT_FALSE(st.ok()) << deleted << " rows deleted";
  EXPECT_TRUE(fs.Contents("t.db") == db) << "the file was written";
}

}  // namespace
}  // namespace paradox
