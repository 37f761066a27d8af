// The structural check and the index repair: real tables check clean,
// written tables check clean, each kind of damage is reported as itself,
// and the repair rebuilds exactly what is wrong and nothing else.
#include "paradox/check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../support/fixture_files.h"
#include "../support/text.h"
#include "paradox/format/bytes.h"
#include "paradox/format/header.h"
#include "paradox/table_writer.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testsupport::FixturesPresent;
using testsupport::LowerAscii;
using testsupport::PathFromUtf8;
using testsupport::ReadWholeFile;
using testsupport::Utf8;

std::vector<std::string> Check(FileSystem* fs, const std::string& path) {
  std::vector<std::string> problems;
  Status st = CheckTable(fs, path, &problems);
  EXPECT_OK(st) << path << ": " << st.ToString();
  return problems;
}

size_t BlockAt(const Bytes& f, uint32_t b) {
  return LoadLE16(&f[hdr::kHeaderSize]) + (b - 1u) * f[hdr::kBlockSizeCode] * 1024u;
}
uint16_t RecordSize(const Bytes& f) { return LoadLE16(&f[hdr::kRecordSize]); }
// Records (or entries) in block `b`.
int CountIn(const Bytes& f, uint32_t b) {
  return static_cast<int16_t>(LoadLE16(&f[BlockAt(f, b) + 4])) / RecordSize(f) + 1;
}
void SetCount(Bytes& f, uint32_t b, int n) {
  StoreLE16(&f[BlockAt(f, b) + 4], static_cast<uint16_t>((n - 1) * RecordSize(f)));
}

// Table T.DB: Key (Long, the primary key), Name (Alpha 12), Day (Date) in
// 1 KB blocks, so that 6000 rows fill 120 blocks and the .PX has two
// levels; a secondary index T.X02/T.Y02 on Name; and a T.VAL.
constexpr int kRows = 6000;

std::string NameOf(int i) { return "N" + std::to_string(100000 + (i * 7919) % kRows); }

void WriteSample(MemFileSystem* fs) {
  CreateOptions o;
  o.block_size = 1024;
  o.key_fields = 1;
  WriteTable(fs, "T.DB", {{"Key", FieldType::kLong, 4}, {"Name", FieldType::kAlpha, 12}, {"Day", FieldType::kDate, 4}},
             o, kRows, [](RecordBuilder* rb, int i) {
               rb->SetInt(0, 2 * i);
               rb->SetAlpha(1, NameOf(i));
               rb->SetInt(2, 734000 + i);
             });
  // The secondary index is written as a keyed table over (Name, Key, hint)
  // and given the file types and stamp of an .Xnn/.Ynn pair.
  std::vector<std::pair<std::string, int>> by_name;
  for (int i = 0; i < kRows; ++i) by_name.emplace_back(NameOf(i), i);
  std::sort(by_name.begin(), by_name.end());
  o.key_fields = 2;
  WriteTable(fs, "SEC.DB",
             {{"Name", FieldType::kAlpha, 12}, {"Key", FieldType::kLong, 4}, {"Hint", FieldType::kShort, 2}}, o, kRows,
             [&](RecordBuilder* rb, int i) {
               rb->SetAlpha(0, by_name[i].first);
               rb->SetInt(1, 2 * by_name[i].second);
               rb->SetInt(2, by_name[i].second / 50 + 1);
             });
  Bytes x = fs->Contents("SEC.DB"), y = fs->Contents("SEC.PX");
  x[hdr::kFileType] = 5;
  x[hdr::kStructureStamp] = fs->Contents("T.DB")[hdr::kStructureStamp];
  y[hdr::kFileType] = 4;
  fs->SetContents("T.X02", x);
  fs->SetContents("T.Y02", y);
  ASSERT_TRUE(fs->Remove("SEC.DB").ok() && fs->Remove("SEC.PX").ok());
  fs->SetContents("T.VAL", {fs->Contents("T.DB")[hdr::kStructureStamp], 9, 0, 0});
}

const char* const kFiles[] = {"T.DB", "T.PX", "T.X02", "T.Y02", "T.VAL"};

class CheckDamage : public testing::Test {
 protected:
  void SetUp() override {
    WriteSample(&fs_);
    for (const char* f : kFiles) pristine_[f] = fs_.Contents(f);
  }
  void Reset() {
    for (const auto& [name, bytes] : pristine_) fs_.SetContents(name, bytes);
  }
  void Edit(const std::string& file, const std::function<void(Bytes&)>& edit) {
    Bytes b = fs_.Contents(file);
    edit(b);
    fs_.SetContents(file, b);
  }
  std::map<std::string, Bytes> Snapshot() {
    std::map<std::string, Bytes> s;
    for (const char* f : kFiles)
      if (fs_.FileExists(f)) s[f] = fs_.Contents(f);
    return s;
  }

  MemFileSystem fs_;
  std::map<std::string, Bytes> pristine_;
};

// Takes block `b` out of the chain between its neighbours; the header
// counts follow, so only the block itself is left over.
void Unlink(Bytes& f, uint16_t b) {
  uint16_t next = LoadLE16(&f[BlockAt(f, b)]), prev = LoadLE16(&f[BlockAt(f, b) + 2]);
  StoreLE16(&f[BlockAt(f, prev)], next);
  StoreLE16(&f[BlockAt(f, next) + 2], prev);
  StoreLE32(&f[hdr::kNumRecords], LoadLE32(&f[hdr::kNumRecords]) - CountIn(f, b));
  StoreLE16(&f[hdr::kUsedBlocks], LoadLE16(&f[hdr::kUsedBlocks]) - 1);
}

struct DamageCase {
  const char* what;
  const char* file;
  std::function<void(Bytes&)> edit;
  const char* expect;    // a line of the report
  bool only;             // and the only one
  const char* rebuilds;  // the index the repair rebuilds; "" when it cannot
                         // help, null when it must refuse (damaged data)
};

// Entry `e` (from 0) of .PX/.Ynn block `b`, whose keys are `key` bytes.
size_t EntryAt(const Bytes& f, uint32_t b, int e) { return BlockAt(f, b) + 6 + static_cast<size_t>(e) * RecordSize(f); }

std::vector<DamageCase> DamageCases() {
  const int rs = 20;  // T.DB record size
  return {
      {"record count", "T.DB", [](Bytes& f) { f[hdr::kNumRecords] += 1; },
       "T.DB: the header counts 6001 records, the chain holds 6000", true, nullptr},
      {"previous pointer", "T.DB", [](Bytes& f) { StoreLE16(&f[BlockAt(f, 3) + 2], 7); },
       "T.DB: block 3 points back to block 7 but follows block 2", true, nullptr},
      {"chain loop", "T.DB", [](Bytes& f) { StoreLE16(&f[BlockAt(f, 2)], 1); }, "T.DB: the chain loops back to block 1",
       false, nullptr},
      {"block left over", "T.DB", [](Bytes& f) { Unlink(f, 5); },
       "T.DB: block 5 is neither in the chain nor on the free list", false, nullptr},
      {"free list loop", "T.DB",
       [rs](Bytes& f) {
         Unlink(f, 5);
         StoreLE16(&f[BlockAt(f, 5)], 5);
         StoreLE16(&f[BlockAt(f, 5) + 4], static_cast<uint16_t>(-rs));
         StoreLE16(&f[hdr::kFirstFreeBlock], 5);
       },
       "T.DB: the free list loops back to block 5", false, nullptr},
      {"free block with records", "T.DB",
       [](Bytes& f) {
         Unlink(f, 5);
         StoreLE16(&f[BlockAt(f, 5)], 0);
         StoreLE16(&f[hdr::kFirstFreeBlock], 5);
       },
       "T.DB: free block 5 has its last record at 980, not -20 (empty)", false, nullptr},
      {"impossible record count", "T.DB", [](Bytes& f) { StoreLE16(&f[BlockAt(f, 7) + 4], 13); },
       "T.DB: block 7 has an impossible record count", false, nullptr},
      {"empty block in the chain", "T.DB",
       [](Bytes& f) {
         StoreLE32(&f[hdr::kNumRecords], kRows - 50);
         SetCount(f, 7, 0);
       },
       "T.DB: block 7 in the chain holds no records", false, nullptr},
      {"blocks in the file", "T.DB", [](Bytes& f) { f[hdr::kFileBlocks] += 1; },
       "T.DB: the header counts 121 blocks (0x0C) and 120 (0x3A); the file holds 120", true, nullptr},
      {"rebuild flag", "T.DB", [](Bytes& f) { f[hdr::kIndexUpdateRequired] = 1; }, "needing a rebuild", true, nullptr},
      {"keys out of order", "T.DB",
       [](Bytes& f) { std::swap_ranges(&f[BlockAt(f, 2) + 6], &f[BlockAt(f, 2) + 10], &f[BlockAt(f, 2) + 26]); },
       "T.DB: block 2, record 2: the key sorts before the record before it", false, nullptr},
      {"duplicate key", "T.DB", [](Bytes& f) { std::copy_n(&f[BlockAt(f, 2) + 6], 4, &f[BlockAt(f, 2) + 26]); },
       "T.DB: block 2, record 2: the same key as the record before it", false, nullptr},
      {"index count", "T.PX", [](Bytes& f) { f[EntryAt(f, 1, 0) + 7] += 1; },
       "T.PX: lowest-level entry 1 (block 1) counts 51 records, the block holds 50", false, "T.PX"},
      {"upper index count", "T.PX", [](Bytes& f) { f[EntryAt(f, 1, 0) + 7] += 1; }, "below it holds 5051", false,
       "T.PX"},
      {"index key", "T.PX", [](Bytes& f) { f[EntryAt(f, 1, 1) + 3] ^= 1; },
       "T.PX: lowest-level entry 2 (block 2) has a key other than the block's first record", false, "T.PX"},
      {"index entry total", "T.PX", [](Bytes& f) { f[hdr::kNumRecords] += 1; },
       "T.PX: the header counts 123 entries, the tree holds 122", true, "T.PX"},
      {"third word", "T.PX", [](Bytes& f) { f[EntryAt(f, 2, 3) + 9] = 1; },
       "T.PX: index block 2, entry 4: third word is not 80 00", true, "T.PX"},
      {"stamp", "T.DB", [](Bytes& f) { f[hdr::kChangeCount1] += 1; }, "T.PX: index out of date", true, "T.PX"},
      {"missing index", "T.PX", [](Bytes& f) { f.clear(); },
       "T.DB: the table is keyed but its primary index (.PX) is missing", true, "T.PX"},
      {"secondary entries", "T.X02",
       [](Bytes& f) {
         uint16_t last = LoadLE16(&f[hdr::kLastBlock]);
         SetCount(f, last, CountIn(f, last) - 1);
         StoreLE32(&f[hdr::kNumRecords], kRows - 1);
       },
       "T.X02: it holds 5999 entries, the table holds 6000 records", false, ""},
      {"secondary key order", "T.X02",
       [](Bytes& f) { std::swap_ranges(&f[BlockAt(f, 1) + 6], &f[BlockAt(f, 1) + 24], &f[BlockAt(f, 1) + 24]); },
       "T.X02: block 1, record 2: the key sorts before the record before it", false, nullptr},
      {"secondary index count", "T.Y02", [](Bytes& f) { f[EntryAt(f, 1, 0) + 19] += 1; },
       "T.Y02: lowest-level entry 1 (block 1) counts", false, "T.Y02"},
      {"secondary stamp", "T.X02", [](Bytes& f) { f[hdr::kChangeCount1] += 1; }, "T.Y02: index out of date", true,
       "T.Y02"},
      {"secondary structure stamp", "T.X02", [](Bytes& f) { f[hdr::kStructureStamp] += 1; },
       "T.X02: its structure stamp (0x2E) is 2, the table's is 1", true, ""},
      {"missing secondary index", "T.Y02", [](Bytes& f) { f.clear(); }, "T.X02: its index T.Y02 is missing", true,
       "T.Y02"},
      {"validity stamp", "T.VAL", [](Bytes& f) { f[0] += 1; },
       "T.VAL: its stamp (byte 0) is 2, the table's (0x2E) is 1", true, ""},
  };
}

void Apply(MemFileSystem* fs, const DamageCase& c) {
  Bytes b = fs->Contents(c.file);
  c.edit(b);
  if (b.empty())
    ASSERT_OK(fs->Remove(c.file));
  else
    fs->SetContents(c.file, b);
}

TEST_F(CheckDamage, EachDamageIsReportedAsItself) {
  ASSERT_THAT(Check(&fs_, "T.DB"), IsEmpty());
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.what);
    Reset();
    Apply(&fs_, c);
    std::vector<std::string> problems = Check(&fs_, "T.DB");
    if (c.only)
      EXPECT_THAT(problems, ElementsAre(HasSubstr(c.expect)));
    else
      EXPECT_THAT(problems, Contains(HasSubstr(c.expect)));
  }
}

// The repair rebuilds the damaged index and nothing else; it refuses,
// writing nothing, when a data file is damaged.
TEST_F(CheckDamage, RepairRebuildsDamagedIndexesOrRefusesDamagedData) {
  for (const DamageCase& c : DamageCases()) {
    if (c.rebuilds != nullptr && *c.rebuilds == 0) continue;
    SCOPED_TRACE(c.what);
    Reset();
    Apply(&fs_, c);
    if (c.rebuilds == nullptr) fs_.SetContents("T.PX", {});  // would be rebuilt but for the refusal
    std::map<std::string, Bytes> before = Snapshot();
    std::vector<std::string> done;
    Status st = RepairIndexes(&fs_, "T.DB", &done);
    if (c.rebuilds == nullptr) {
      EXPECT_EQ(st.code(), ErrorCode::kCorruptBlock) << st.ToString();
      EXPECT_THAT(done, IsEmpty());
      EXPECT_EQ(Snapshot(), before);
      continue;
    }
    ASSERT_OK(st);
    EXPECT_THAT(done, ElementsAre(HasSubstr(c.rebuilds)));
    EXPECT_THAT(Check(&fs_, "T.DB"), IsEmpty());
    for (const char* data : {"T.DB", "T.X02", "T.VAL"}) EXPECT_EQ(fs_.Contents(data), before[data]) << data;
  }
}

TEST_F(CheckDamage, RepairLeavesExactIndexesAloneAndWaitsForOtherUsers) {
  std::vector<std::string> done;
  ASSERT_OK(RepairIndexes(&fs_, "T.DB", &done));
  EXPECT_THAT(done, IsEmpty());
  EXPECT_EQ(Snapshot(), pristine_);

  ASSERT_OK(fs_.Remove("T.PX"));
  std::unique_ptr<File> other;
  ASSERT_OK(fs_.Open("T.DB", OpenMode::kRead, &other));
  EXPECT_EQ(RepairIndexes(&fs_, "T.DB", &done).code(), ErrorCode::kTableBusy);
  EXPECT_FALSE(fs_.FileExists("T.PX"));
  other.reset();
  ASSERT_OK(RepairIndexes(&fs_, "T.DB", &done));
  EXPECT_THAT(done, ElementsAre("T.PX: created with 122 entries"));
  EXPECT_EQ(fs_.Contents("T.PX"), pristine_["T.PX"]);  // the writer builds its index the same way
}

// Blocks emptied by deletions and put on the free list are no damage; the
// .PX rebuilt after it checks clean.
TEST_F(CheckDamage, FreeBlocksAreNoProblem) {
  Edit("T.DB", [](Bytes& f) {
    Unlink(f, 5);
    StoreLE16(&f[BlockAt(f, 5)], 0);
    SetCount(f, 5, 0);
    StoreLE16(&f[hdr::kFirstFreeBlock], 5);
  });
  EXPECT_THAT(Check(&fs_, "T.DB"), Not(Contains(HasSubstr("T.DB:"))));
  std::vector<std::string> done;
  ASSERT_OK(RepairIndexes(&fs_, "T.DB", &done));
  // The secondary index still lists the records of block 5.
  EXPECT_THAT(Check(&fs_, "T.DB"), ElementsAre("T.X02: it holds 6000 entries, the table holds 5950 records"));
}

// Key order is judged only where the stored bytes decide it: Alpha keys
// under a collation other than "ascii" only as far as every collation
// agrees (equal texts stay together), fields marked descending
// are judged descending, and an index marked descending without saying
// which field is not judged.
TEST_F(CheckDamage, KeyOrderIsJudgedOnlyWhereTheBytesDecide) {
  for (uint8_t bits : {0x01, 0x11}) {
    Reset();
    Edit("T.X02", [bits](Bytes& f) {
      f[hdr::kRefIntegrity] = bits;
      size_t numbers = hdr::kFixedEnd + LoadLE16(&f[hdr::kFieldNumbersOffset]);
      f[numbers + 1] |= bits == 0x01 ? 0x80 : 0;  // field 1 descending
    });
    std::vector<std::string> problems = Check(&fs_, "T.DB");
    if (bits == 0x11) {
      EXPECT_THAT(problems, IsEmpty());
      continue;
    }
    // Every record but the first is out of order: ten are listed, the rest counted.
    ASSERT_EQ(problems.size(), 11u);
    EXPECT_EQ(problems[0], "T.X02: block 1, record 2: the key sorts before the record before it");
    EXPECT_EQ(problems[10], "T.X02: and 5989 more records out of key order");
  }

  for (bool ascii : {true, false}) {
    SCOPED_TRACE(ascii ? "ascii" : "DBWINUS0");
    MemFileSystem fs;
    CreateOptions o;
    o.key_fields = 2;
    o.sort_order = ascii ? 0 : 0x4C;
    o.sort_order_name = ascii ? "ascii" : "DBWINUS0";
    const std::pair<const char*, int> rows[] = {{"a", 1}, {"a", 2}, {"b", 1}};
    WriteTable(&fs, "K.DB", {{"Name", FieldType::kAlpha, 10}, {"N", FieldType::kLong, 4}}, o, 3,
               [&](RecordBuilder* rb, int i) {
                 rb->SetAlpha(0, rows[i].first);
                 rb->SetInt(1, rows[i].second);
               });
    const Bytes clean = fs.Contents("K.DB");
    const size_t r1 = BlockAt(clean, 1) + 6, r2 = r1 + 14, r3 = r2 + 14;
    Bytes db = clean;  // a, b, a: wrong under every collation, whatever it makes of a and b
    std::swap_ranges(&db[r2], &db[r3], &db[r3]);
    fs.SetContents("K.DB", db);
    std::vector<std::string> problems = Check(&fs, "K.DB");
    if (ascii)
      EXPECT_THAT(problems, Contains("K.DB: block 1, record 3: the key sorts before the record before it"));
    else
      EXPECT_THAT(problems, ElementsAre("K.DB: block 1, record 3: the same leading key values as block 1, record 1, "
                                        "with other keys between"));
    db = clean;  // b, a, a: only the collation could tell
    std::rotate(&db[r1], &db[r3], &db[r3 + 14]);
    fs.SetContents("K.DB", db);
    problems = Check(&fs, "K.DB");
    if (ascii)
      EXPECT_THAT(problems, Contains("K.DB: block 1, record 2: the key sorts before the record before it"));
    else
      EXPECT_THAT(problems, Not(Contains(HasSubstr("K.DB: block 1"))));
    db = clean;  // (a, 2), (a, 1): equal names, the number decides
    std::swap_ranges(&db[r1 + 10], &db[r1 + 14], &db[r2 + 10]);
    fs.SetContents("K.DB", db);
    EXPECT_THAT(Check(&fs, "K.DB"), Contains("K.DB: block 1, record 2: the key sorts before the record before it"));
  }
}

// The repair stopped at each write in turn, that write landing its first
// half, as when the machine stops.
TEST_F(CheckDamage, RepairCutShortLeavesTheIndexMarkedOutOfDate) {
  Bytes damaged;
  ForEachFaultPoint(
      {Fault::kTearInHalf},
      [&](FaultFileSystem* fs) {
        for (const auto& [name, bytes] : pristine_) fs->SetContents(name, bytes);
        // Wrong at both ends of the file: the header and the root (last block).
        damaged = fs->Contents("T.PX");
        damaged[hdr::kNumRecords] += 1;
        damaged[EntryAt(damaged, LoadLE16(&damaged[hdr::kIndexRoot]), 0) + 7] += 1;
        fs->SetContents("T.PX", damaged);
      },
      [](FaultFileSystem* fs) {
        std::vector<std::string> done;
        return RepairIndexes(fs, "T.DB", &done);
      },
      [&](FaultFileSystem* fs, const FaultPoint&) {
        std::vector<std::string> after = Check(fs, "T.DB");
        // Untouched, exact, or recognisably out of date: never a wrong index
        // that looks up to date.
        if (fs->Contents("T.PX") != damaged && !after.empty()) {
          EXPECT_THAT(after, Contains(HasSubstr("T.PX: index out of date")));
        }
        std::vector<std::string> done;
        ASSERT_OK(RepairIndexes(fs, "T.DB", &done));
        EXPECT_THAT(Check(fs, "T.DB"), IsEmpty());
        EXPECT_EQ(fs->Contents("T.DB"), pristine_["T.DB"]);
      },
      20);
}

// Damage anywhere, including the fields that bound every walk, must end in
// a report or an error, never in a hang or a crash.
TEST_F(CheckDamage, RandomDamageEndsInAReport) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    Reset();
    const char* file = kFiles[rng() % 4];
    Edit(file, [&](Bytes& f) {
      for (int k = 0; k < 3; ++k) {
        size_t at = rng() % 2 ? rng() % 0x80 : rng() % f.size();
        f[at] = static_cast<uint8_t>(rng());
      }
    });
    std::vector<std::string> problems;
    Status st = CheckTable(&fs_, "T.DB", &problems);
    EXPECT_TRUE(st.ok() || st.code() == ErrorCode::kEncrypted) << st.ToString();
  }
}

// Tables of every version and shape the writer makes, and an emptied table
// (block 1 kept, no records) with the one empty index block it then has.
TEST(CheckWritten, EveryVersionAndShapeChecksClean) {
  for (int version : {3, 4, 9, 11, 12}) {
    for (int keys : {0, 1, 2}) {
      for (int rows : {0, 1, 700}) {
        SCOPED_TRACE(std::to_string(version) + "/" + std::to_string(keys) + "/" + std::to_string(rows));
        MemFileSystem fs;
        CreateOptions o;
        o.version = static_cast<uint8_t>(version);
        o.key_fields = static_cast<uint16_t>(keys);
        WriteTable(&fs, "W.db",
                   {{"A", FieldType::kShort, 2}, {"B", FieldType::kAlpha, 30}, {"C", FieldType::kNumber, 8}}, o, rows,
                   [keys](RecordBuilder* rb, int i) {
                     rb->SetInt(0, keys == 2 ? i / 10 - 30 : i - 300);  // repeats only under a second key
                     rb->SetAlpha(1, "row " + std::to_string(100000 + i));
                     rb->SetDouble(2, -i * 0.5);
                   });
        EXPECT_THAT(Check(&fs, "W.db"), IsEmpty());
        if (keys == 0 || rows != 1) continue;

        Bytes db = fs.Contents("W.db");
        SetCount(db, 1, 0);
        StoreLE32(&db[hdr::kNumRecords], 0);
        fs.SetContents("W.db", db);
        EXPECT_THAT(Check(&fs, "W.db"), Contains(HasSubstr("W.PX: the data file holds no records")));
        std::vector<std::string> done;
        ASSERT_OK(RepairIndexes(&fs, "W.db", &done));
        EXPECT_THAT(Check(&fs, "W.db"), IsEmpty());
        Bytes px = fs.Contents("W.PX");
        EXPECT_EQ(LoadLE16(&px[hdr::kFileBlocks]), 1);
        EXPECT_EQ(fs.Contents("W.db"), db);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Real tables.

// The .DB files of the fixtures, as UTF-8 paths.
std::vector<std::string> FixtureTables() {
  std::vector<std::string> out;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(PathFromUtf8(ADVCLEAN_FIXTURES_DIR), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (LowerAscii(it->path().extension().string()) == ".db") out.push_back(Utf8(it->path()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Copies a fixture table and the files beside it of the same name into
// `fs`, under their own names.
void CopyTable(const std::string& db_path, MemFileSystem* fs) {
  std::string dir, name;
  SplitPath(db_path, &dir, &name);
  std::vector<std::string> names;
  ASSERT_OK(FileSystem::Default()->ListDir(dir, &names));
  const std::string stem = LowerAscii(name.substr(0, name.rfind('.') + 1));
  for (const std::string& n : names) {
    if (LowerAscii(n.substr(0, n.rfind('.') + 1)) != stem) continue;
    Bytes b;
    ASSERT_OK(ReadWholeFile(JoinPath(dir, n), &b));
    fs->SetContents(n, b);
  }
}

class CheckFixtures : public testing::Test {
 protected:
  void SetUp() override {
    if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  }
};

// Every real table checks clean, except the deviations real files are
// known to have: password-protected tables cannot be checked, and STATES.DB
// is a keyed table whose .PX was never shipped with it.
TEST_F(CheckFixtures, RealTablesCheckCleanButForKnownDeviations) {
  std::vector<std::string> tables = FixtureTables();
  ASSERT_GE(tables.size(), 40u);
  for (const std::string& t : tables) {
    SCOPED_TRACE(t);
    std::string dir, name;
    SplitPath(t, &dir, &name);
    name = LowerAscii(name);
    std::vector<std::string> problems;
    Status st = CheckTable(FileSystem::Default(), t, &problems);
    if (name == "encrypted.db" || name == "encrypted35.db" || name == "parameters.db") {
      EXPECT_EQ(st.code(), ErrorCode::kEncrypted);
    } else if (name == "states.db") {
      EXPECT_OK(st);
      EXPECT_THAT(problems, ElementsAre("STATES.DB: the table is keyed but its primary index (.PX) is missing"));
    } else {
      EXPECT_OK(st);
      EXPECT_THAT(problems, IsEmpty());
    }
  }
}

// The index of every real keyed table, once damaged (or, for STATES.DB,
// missing), is rebuilt into one that checks clean, the data untouched.
TEST_F(CheckFixtures, RepairRebuildsRealIndexes) {
  int repaired = 0;
  for (const std::string& t : FixtureTables()) {
    MemFileSystem fs;
    CopyTable(t, &fs);
    std::string dir, name;
    SplitPath(t, &dir, &name);
    std::vector<std::string> names;
    ASSERT_OK(fs.ListDir(".", &names));
    std::vector<std::string> problems;
    if (!CheckTable(&fs, name, &problems).ok()) continue;  // password protected
    for (const std::string& n : names) {
      std::string ext = LowerAscii(n.substr(n.rfind('.') + 1));
      if (ext != "px" && ext[0] != 'y') continue;
      Bytes b = fs.Contents(n);
      b[hdr::kNumRecords] += 1;
      fs.SetContents(n, b);
    }
    SCOPED_TRACE(t);
    problems = Check(&fs, name);
    if (problems.empty()) continue;  // no index
    Bytes data = fs.Contents(name);
    std::vector<std::string> done;
    Status st = RepairIndexes(&fs, name, &done);
    ASSERT_OK(st);
    EXPECT_THAT(Check(&fs, name), IsEmpty());
    EXPECT_EQ(fs.Contents(name), data);
    ++repaired;
  }
  EXPECT_GE(repaired, 20);
}

}  // namespace
}  // namespace paradox
