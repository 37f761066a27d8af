// Damaged tables: each kind of damage must end in its own error code with an
// explanation, from Table::Open or from the cursor at the end of a walk (or
// from ReadBlob for blob damage): never in a crash, a hang, a huge
// allocation or a write to the file.
//
// The tables are built here byte by byte, or copied from the shared fixtures
// (those tests skip when the fixtures are absent), and live in a
// MemFileSystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "../support/fixture_files.h"
#include "../support/text.h"
#include "paradox/codepage.h"
#include "paradox/env/file_mem.h"
#include "paradox/file.h"
#include "paradox/format/header.h"
#include "paradox/status.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "../support/status_assert.h"

// ---------------------------------------------------------------------------
// Allocation watch: damaged counts must never turn into huge allocations, so
// the largest single request is recorded while a table is being read. This
// replaces the global operator new of the whole test program; sanitizer
// builds keep their own (and catch huge requests themselves).

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define ADVCLEAN_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ADVCLEAN_SANITIZED 1
#endif

namespace {
std::atomic<bool> g_watch_allocations{false};
std::atomic<size_t> g_largest_allocation{0};

#ifndef ADVCLEAN_SANITIZED
constexpr bool kAllocationsWatched = true;

void* Allocate(size_t n) {
  if (g_watch_allocations.load(std::memory_order_relaxed)) {
    size_t seen = g_largest_allocation.load(std::memory_order_relaxed);
    while (n > seen && !g_largest_allocation.compare_exchange_weak(seen, n)) {
    }
  }
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
#else
constexpr bool kAllocationsWatched = false;
#endif
}  // namespace

#ifndef ADVCLEAN_SANITIZED
void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

namespace paradox {

// gtest prints enums as raw bytes otherwise.
static void PrintTo(ErrorCode code, std::ostream* os) {
  *os << ErrorText(code) << " (0x" << std::hex << static_cast<int>(code) << std::dec << ")";
}

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::FixturesPresent;
using testsupport::Hex;
using testsupport::ReadWholeFile;

// A table read from memory allocates its read-ahead buffer and little else.
constexpr size_t kAllocationLimit = 16u << 20;
// No table here holds more records than this; a cursor that yields more is
// going round in circles.
constexpr uint64_t kRecordLimit = 1u << 20;

void Put16(Bytes& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t{b.at(at)} | (uint32_t{b.at(at + 1)} << 8) | (uint32_t{b.at(at + 2)} << 16) |
         (uint32_t{b.at(at + 3)} << 24);
}

// ---------------------------------------------------------------------------
// Opening and reading a table in memory.

enum class Stage { kNone, kOpen, kWalk, kBlob };

const char* StageName(Stage s) {
  switch (s) {
    case Stage::kNone: return "nowhere";
    case Stage::kOpen: return "Table::Open";
    case Stage::kWalk: return "the cursor";
    case Stage::kBlob: return "ReadBlob";
  }
  return "?";
}

void PrintTo(Stage s, std::ostream* os) { *os << StageName(s); }

struct Outcome {
  Status status;               // the first error, or OK
  Stage stage = Stage::kNone;  // where it came from
  uint64_t records = 0;        // records the cursor yielded
  // Each record as hex, blob values appended; for comparing with the
  // undamaged table.
  std::vector<std::string> rows;
};

// Opens `path` and walks every record, decoding every field the way a
// client would, blobs included.
Outcome ReadEverything(FileSystem* fs, const std::string& path) {
  Outcome out;
  std::unique_ptr<Table> table;
  Status st = Table::Open(fs, path, OpenOptions{}, &table);
  if (!st.ok()) {
    out.status = st;
    out.stage = Stage::kOpen;
    return out;
  }
  const std::vector<Field>& fields = table->fields();
  auto cursor = table->NewCursor();
  std::string text, blob, bcd;
  for (; cursor->Valid(); cursor->Next()) {
    if (++out.records > kRecordLimit) {
      ADD_FAILURE() << "the cursor does not stop";
      break;
    }
    const uint8_t* rec = cursor->record();
    std::string row = Hex(rec, table->header().record_size);
    for (size_t i = 0; i < fields.size(); ++i) {
      const Field& f = fields[i];
      bool null = IsNull(f, rec);
      (void)GetInt(f, rec);
      (void)GetDouble(f, rec);
      text.clear();
      AppendUtf8(table->text_code_page(), GetAlpha(f, rec), &text);
      if (f.type == FieldType::kBcd) (void)GetBcd(f, rec, &bcd);
      if (IsBlobType(f.type)) {
        st = table->ReadBlob(static_cast<int>(i), rec, &blob);
        if (!st.ok() && out.status.ok()) {
          out.status = st;
          out.stage = Stage::kBlob;
        }
        row += '|';
        row += st.ok() ? Hex(blob.data(), blob.size()) : std::string("error");
        if (st.ok() && null) {
          EXPECT_TRUE(blob.empty()) << "a null blob with a value";
        }
      }
    }
    out.rows.push_back(std::move(row));
  }
  if (!cursor->status().ok()) {
    EXPECT_FALSE(cursor->Valid());
    out.status = cursor->status();
    out.stage = Stage::kWalk;
  }
  return out;
}

// An error must say what it is: the code's own text first, then details.
void ExpectExplained(const Status& st) {
  ASSERT_FALSE(st.ok());
  ASSERT_FALSE(st.texts().empty()) << "error without text";
  EXPECT_EQ(st.texts()[0], ErrorText(st.code()));
  EXPECT_GE(st.texts().size(), 2u) << "no detail beyond the code's text: " << st.ToString();
  for (const std::string& t : st.texts()) EXPECT_FALSE(t.empty()) << st.ToString();
}

// The files of a table in memory, read once; checks that reading wrote
// nothing and allocated nothing huge. Files go without a folder: the engine
// joins folder and name with '\\' on Windows, which no MemFileSystem key
// written with '/' matches.
Outcome ReadInMemory(const std::map<std::string, Bytes>& files, const std::string& table_path) {
  MemFileSystem fs;
  for (const auto& [path, bytes] : files) fs.SetContents(path, bytes);
  g_largest_allocation = 0;
  g_watch_allocations = true;
  Outcome out = ReadEverything(&fs, table_path);
  g_watch_allocations = false;
  EXPECT_LE(g_largest_allocation.load(), kAllocationLimit) << "huge allocation";
  for (const auto& [path, bytes] : files)
    EXPECT_TRUE(fs.Contents(path) == bytes) << path << " was modified";
  return out;
}

void ExpectFailure(const Outcome& o, ErrorCode code, Stage stage) {
  EXPECT_EQ(o.status.code(), code) << o.status.ToString();
  EXPECT_EQ(o.stage, stage) << "failed in " << StageName(o.stage) << " instead of " << StageName(stage);
  if (!o.status.ok()) ExpectExplained(o.status);
}

// ---------------------------------------------------------------------------
// Tables built by hand.

struct Column {
  uint8_t type;
  uint8_t size;
  const char* name;
};

// Where things are in a built table, for aiming damage.
struct Layout {
  uint8_t version = 12;
  size_t header_size = 0;
  size_t block_size = 0;
  size_t record_size = 0;
  size_t descriptors_at = 0;  // field descriptors
  size_t table_name_at = 0;
  size_t names_at = 0;  // field names
  uint16_t blocks = 0;  // in the file, free ones included
  std::vector<int> records;  // per block of the chain 1..n
  size_t block_at(uint16_t b) const { return header_size + (b - 1u) * block_size; }
  // End of the records of chain block `b` (1-based).
  size_t records_end(uint16_t b) const { return block_at(b) + 6 + records[b - 1u] * record_size; }
};

struct TableImage {
  Bytes bytes;
  Layout layout;
};

struct BuildOptions {
  uint8_t version = 12;  // 3 (3.0 layout) or 5..12 (data header)
  uint8_t block_code = 1;
  std::vector<Column> fields = {{0x04, 4, "Id"}, {0x01, 10, "Name"}};
  std::vector<int> records = {3, 2, 4};  // per block; the chain is 1, 2, 3, ...
  int free_blocks = 0;                   // appended after the chain
};

// Long and AutoInc values as stored: big-endian, top bit flipped.
void PutFlippedLong(uint8_t* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>((u >> 24) ^ 0x80);
  p[1] = static_cast<uint8_t>(u >> 16);
  p[2] = static_cast<uint8_t>(u >> 8);
  p[3] = static_cast<uint8_t>(u);
}

// The Alpha value of record `k`. (Built by appending: GCC 12 warns wrongly
// about "literal" + std::string.)
std::string AlphaValue(int32_t k) {
  std::string s = "r";
  s += std::to_string(k);
  return s;
}

// A well-formed unkeyed table: record k (from 1) holds k in its Long fields
// and "r<k>" in its Alpha fields; other fields stay empty.
TableImage BuildTable(const BuildOptions& o) {
  TableImage img;
  Layout& l = img.layout;
  const size_t n = o.fields.size();
  const bool data_header = o.version >= 5;
  l.version = o.version;
  l.block_size = o.block_code * 1024u;
  l.records = o.records;
  for (const Column& f : o.fields) l.record_size += f.type == 0x17 ? 17 : f.size;

  // Variable part of the header.
  Bytes var;
  l.descriptors_at = data_header ? 0x78 : 0x58;
  for (const Column& f : o.fields) {
    var.push_back(f.type);
    var.push_back(f.size);
  }
  var.resize(var.size() + 4 + 4 * n);  // table and field name pointers
  l.table_name_at = l.descriptors_at + var.size();
  std::string table_name = "t.db";
  table_name.resize(o.version >= 12 ? 261 : 79, '\0');
  var.insert(var.end(), table_name.begin(), table_name.end());
  l.names_at = l.descriptors_at + var.size();
  for (const Column& f : o.fields) {
    std::string name = f.name;
    var.insert(var.end(), name.begin(), name.end());
    var.push_back(0);
  }
  size_t field_numbers_at = 0, sort_order_at = 0;
  if (data_header) {
    field_numbers_at = l.descriptors_at + var.size();
    for (size_t i = 0; i < n; ++i) {
      var.push_back(static_cast<uint8_t>(i + 1));
      var.push_back(0);
    }
    sort_order_at = l.descriptors_at + var.size();
    const std::string sort_order = "ascii";
    var.insert(var.end(), sort_order.begin(), sort_order.end());
    var.push_back(0);
  }
  const size_t used_end = l.descriptors_at + var.size();
  l.header_size = data_header ? 0x800 : used_end;  // 3.0 headers end right after the names

  const uint16_t chain = static_cast<uint16_t>(o.records.size());
  l.blocks = static_cast<uint16_t>(chain + o.free_blocks);
  Bytes& b = img.bytes;
  b.assign(l.header_size + l.blocks * l.block_size, 0);
  uint32_t total = 0;
  for (int r : o.records) total += static_cast<uint32_t>(r);

  Put16(b, 0x00, static_cast<uint16_t>(l.record_size));
  Put16(b, 0x02, static_cast<uint16_t>(l.header_size));
  b[0x04] = 2;  // unkeyed table
  b[0x05] = o.block_code;
  Put32(b, 0x06, total);
  Put16(b, 0x0A, chain);
  Put16(b, 0x0C, l.blocks);
  Put16(b, 0x0E, chain > 0 ? 1 : 0);
  Put16(b, 0x10, chain);
  Put16(b, 0x12, 12);
  Put16(b, 0x21, static_cast<uint16_t>(n));
  Put32(b, 0x25, data_header ? kEncryptionMoved : 0);
  b[0x39] = o.version;
  Put16(b, 0x3A, l.blocks);
  b[0x3E] = 0x1F;
  b[0x3F] = 0x0F;
  Put16(b, 0x4D, o.free_blocks > 0 ? static_cast<uint16_t>(chain + 1) : 0);
  if (data_header) {
    Put16(b, 0x51, static_cast<uint16_t>(used_end));
    b[0x56] = 0x20;
    Put16(b, 0x58, static_cast<uint16_t>(0x0100 | o.version));
    Put16(b, 0x5A, static_cast<uint16_t>(0x0100 | o.version));
    Put16(b, 0x64, static_cast<uint16_t>(n + 1));
    Put16(b, 0x66, static_cast<uint16_t>(field_numbers_at - 0x58));
    Put16(b, 0x6A, 1252);
    b[0x6C] = 1;
    b[0x6D] = 1;
    Put16(b, 0x6E, static_cast<uint16_t>(sort_order_at - 0x58));
  }
  std::copy(var.begin(), var.end(), b.begin() + static_cast<long>(l.descriptors_at));

  int32_t id = 0;
  for (uint16_t k = 1; k <= l.blocks; ++k) {
    size_t at = l.block_at(k);
    bool in_chain = k <= chain;
    int count = in_chain ? o.records[k - 1u] : 0;
    Put16(b, at, in_chain && k < chain ? static_cast<uint16_t>(k + 1) : 0);
    Put16(b, at + 2, in_chain ? static_cast<uint16_t>(k - 1) : 0);
    Put16(b, at + 4, static_cast<uint16_t>((count - 1) * static_cast<int>(l.record_size)));
    for (int r = 0; r < count; ++r) {
      ++id;
      uint8_t* rec = &b[at + 6 + r * l.record_size];
      size_t off = 0;
      for (const Column& f : o.fields) {
        if (f.type == 0x04 || f.type == 0x16) {
          PutFlippedLong(rec + off, id);
        } else if (f.type == 0x01) {
          std::string s = AlphaValue(id);
          std::copy_n(s.begin(), std::min<size_t>(s.size(), f.size), rec + off);
        }
        off += f.type == 0x17 ? 17 : f.size;
      }
    }
  }
  return img;
}

TableImage DefaultTable() { return BuildTable(BuildOptions{}); }

TableImage Version3Table() {
  BuildOptions o;
  o.version = 3;
  return BuildTable(o);
}

Outcome ReadTable(const Bytes& db) { return ReadInMemory({{"t.db", db}}, "t.db"); }

// ---------------------------------------------------------------------------

// The built tables must be sound, or the damage below would prove nothing.
TEST(BuiltTable, ReadsBackEveryRecord) {
  for (uint8_t version : {3, 4, 9, 11, 12}) {
    SCOPED_TRACE("version byte " + std::to_string(version));
    BuildOptions o;
    o.version = version;
    o.free_blocks = 1;
    TableImage img = BuildTable(o);
    MemFileSystem fs;
    fs.SetContents("t.db", img.bytes);
    std::unique_ptr<Table> table;
    Status st = Table::Open(&fs, "t.db", OpenOptions{}, &table);
    ASSERT_OK(st);
    EXPECT_EQ(table->record_count(), 9u);
    ASSERT_EQ(table->fields().size(), 2u);
    EXPECT_EQ(table->fields()[1].name, "Name");
    int32_t want = 0;
    auto cursor = table->NewCursor();
    for (; cursor->Valid(); cursor->Next()) {
      ++want;
      EXPECT_EQ(GetInt(table->fields()[0], cursor->record()), want);
      EXPECT_EQ(GetAlpha(table->fields()[1], cursor->record()), AlphaValue(want));
    }
    EXPECT_OK(cursor->status());
    EXPECT_EQ(want, 9);
  }
}

// Without this the allocation limit above would check nothing.
TEST(BuiltTable, AllocationWatchSeesTheReadBuffer) {
  if (!kAllocationsWatched) GTEST_SKIP() << "the sanitizer's allocator watches allocations in this build";
  ASSERT_OK(ReadTable(DefaultTable().bytes).status);
  EXPECT_GE(g_largest_allocation.load(), 1024u);
}

// A caller asking a field without a blob for its blob must get an error,
// not a pointer read from beyond the record.
TEST(BuiltTable, ReadBlobOfFieldWithoutBlob) {
  MemFileSystem fs;
  fs.SetContents("t.db", DefaultTable().bytes);
  std::unique_ptr<Table> table;
  ASSERT_OK(Table::Open(&fs, "t.db", OpenOptions{}, &table));
  auto cursor = table->NewCursor();
  ASSERT_TRUE(cursor->Valid());
  std::string out;
  for (int field : {0, 1}) {
    Status st = table->ReadBlob(field, cursor->record(), &out);
    EXPECT_EQ(st.code(), ErrorCode::kNotSupported) << st.ToString();
    ExpectExplained(st);
  }
}

// ---------------------------------------------------------------------------
// Truncated files.

struct TruncationCase {
  const char* name;
  uint8_t version;
  std::function<size_t(const Layout&)> length;
  ErrorCode code;  // kOk: must read every record as the whole file does
  Stage stage;
};

void PrintTo(const TruncationCase& c, std::ostream* os) { *os << c.name; }

class TruncatedTable : public ::testing::TestWithParam<TruncationCase> {};

TEST_P(TruncatedTable, FailsCleanly) {
  const TruncationCase& c = GetParam();
  BuildOptions o;
  o.version = c.version;
  TableImage img = BuildTable(o);
  const size_t length = c.length(img.layout);
  ASSERT_LT(length, img.bytes.size());
  Bytes cut(img.bytes.begin(), img.bytes.begin() + static_cast<long>(length));
  Outcome o_cut = ReadTable(cut);
  if (c.code == ErrorCode::kOk) {
    // A last block stored short is normal; what is there must read as usual.
    EXPECT_OK(o_cut.status);
    EXPECT_EQ(o_cut.rows, ReadTable(img.bytes).rows);
    return;
  }
  ExpectFailure(o_cut, c.code, c.stage);
}

// The default table: 2048-byte header, three 1024-byte blocks holding 3, 2
// and 4 records of 14 bytes.
INSTANTIATE_TEST_SUITE_P(
    Lengths, TruncatedTable,
    ::testing::Values(
        TruncationCase{"Empty", 12, [](const Layout&) { return size_t{0}; }, ErrorCode::kNotATable, Stage::kOpen},
        TruncationCase{"InsideFixedHeader", 12, [](const Layout&) { return size_t{0x30}; },
                       ErrorCode::kNotATable, Stage::kOpen},
        TruncationCase{"OneShortOfFixedHeader", 12, [](const Layout&) { return size_t{0x57}; },
                       ErrorCode::kNotATable, Stage::kOpen},
        TruncationCase{"AtEndOfFixedHeader", 12, [](const Layout&) { return size_t{0x58}; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideDataHeader", 12, [](const Layout&) { return size_t{0x6B}; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideFieldDescriptors", 12, [](const Layout& l) { return l.descriptors_at + 3; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideTableName", 12, [](const Layout& l) { return l.table_name_at + 2; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideFieldNames", 12, [](const Layout& l) { return l.names_at + 4; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"OneShortOfHeader", 12, [](const Layout& l) { return l.header_size - 1; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"AtEndOfHeader", 12, [](const Layout& l) { return l.header_size; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideFirstBlockHeader", 12, [](const Layout& l) { return l.block_at(1) + 3; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideFirstBlockRecords", 12,
                       [](const Layout& l) { return l.block_at(1) + 6 + l.record_size + 5; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"AtFirstBlockBoundary", 12, [](const Layout& l) { return l.block_at(2); },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"AtSecondBlockBoundary", 12, [](const Layout& l) { return l.block_at(3); },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"InsideLastBlockHeader", 12, [](const Layout& l) { return l.block_at(3) + 3; },
                       ErrorCode::kCorruptBlock, Stage::kWalk},
        // Records the block counts but the file does not hold must not come
        // back as empty records.
        TruncationCase{"InsideLastBlockRecords", 12,
                       [](const Layout& l) { return l.block_at(3) + 6 + 2 * l.record_size + 7; },
                       ErrorCode::kCorruptBlock, Stage::kWalk},
        TruncationCase{"OneShortOfLastRecord", 12, [](const Layout& l) { return l.records_end(3) - 1; },
                       ErrorCode::kCorruptBlock, Stage::kWalk},
        TruncationCase{"RightAfterLastRecord", 12, [](const Layout& l) { return l.records_end(3); },
                       ErrorCode::kOk, Stage::kNone},
        TruncationCase{"OneShortOfFullLength", 12, [](const Layout& l) { return l.block_at(4) - 1; },
                       ErrorCode::kOk, Stage::kNone},
        // 3.0 headers end right after the field names.
        TruncationCase{"Version3InsideFieldDescriptors", 3, [](const Layout& l) { return l.descriptors_at + 1; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"Version3InsideTableName", 3, [](const Layout& l) { return l.table_name_at + 10; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"Version3InsideFieldNames", 3, [](const Layout& l) { return l.names_at + 1; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"Version3OneShortOfHeader", 3, [](const Layout& l) { return l.header_size - 1; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"Version3AtEndOfHeader", 3, [](const Layout& l) { return l.header_size; },
                       ErrorCode::kCorruptHeader, Stage::kOpen},
        TruncationCase{"Version3InsideLastBlockRecords", 3,
                       [](const Layout& l) { return l.records_end(3) - l.record_size; },
                       ErrorCode::kCorruptBlock, Stage::kWalk}),
    [](const ::testing::TestParamInfo<TruncationCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Header values, block chains and field descriptors that cannot be right.

struct DamageCase {
  const char* name;
  std::function<void(TableImage&)> damage;
  ErrorCode code;
  Stage stage;
  uint8_t version = 12;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedTable : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedTable, FailsCleanly) {
  const DamageCase& c = GetParam();
  BuildOptions o;
  o.version = c.version;
  TableImage img = BuildTable(o);
  c.damage(img);
  ExpectFailure(ReadTable(img.bytes), c.code, c.stage);
}

std::string CaseName(const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; }

// Offsets in the block header.
constexpr size_t kNext = 0, kAddDataSize = 4;

void SetRecordSize(TableImage& t, uint16_t v) { Put16(t.bytes, 0x00, v); }
void SetHeaderSize(TableImage& t, uint16_t v) { Put16(t.bytes, 0x02, v); }
void SetNumRecords(TableImage& t, uint32_t v) { Put32(t.bytes, 0x06, v); }
void SetBlockWord(TableImage& t, uint16_t block, size_t at, uint16_t v) {
  Put16(t.bytes, t.layout.block_at(block) + at, v);
}
// Replaces the descriptor of field `i` (from 0).
void SetDescriptor(TableImage& t, size_t i, uint8_t type, uint8_t size) {
  t.bytes.at(t.layout.descriptors_at + 2 * i) = type;
  t.bytes.at(t.layout.descriptors_at + 2 * i + 1) = size;
}

INSTANTIATE_TEST_SUITE_P(
    HeaderValues, DamagedTable,
    ::testing::Values(
        DamageCase{"BlockSizeCodeZero", [](TableImage& t) { t.bytes[0x05] = 0; }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"BlockSizeCode33", [](TableImage& t) { t.bytes[0x05] = 33; }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"HeaderSizeZero", [](TableImage& t) { SetHeaderSize(t, 0); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"HeaderSizeBelowFixedPart", [](TableImage& t) { SetHeaderSize(t, 0x57); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"HeaderSizeBelowDataHeader", [](TableImage& t) { SetHeaderSize(t, 0x77); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"HeaderSizeBeyondFile",
                   [](TableImage& t) { SetHeaderSize(t, static_cast<uint16_t>(t.bytes.size() + 1)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"HeaderSizeLargest", [](TableImage& t) { SetHeaderSize(t, 0xFFFF); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"HeaderEndsInsideFieldDescriptors",
                   [](TableImage& t) { SetHeaderSize(t, static_cast<uint16_t>(t.layout.descriptors_at + 3)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"HeaderEndsInsideFieldNames",
                   [](TableImage& t) { SetHeaderSize(t, static_cast<uint16_t>(t.layout.names_at + 2)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"RecordSizeZero", [](TableImage& t) { SetRecordSize(t, 0); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"RecordSizeLargerThanBlock",
                   [](TableImage& t) { SetRecordSize(t, static_cast<uint16_t>(t.layout.block_size - 5)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"RecordSizeLargest", [](TableImage& t) { SetRecordSize(t, 0xFFFF); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"RecordSizeOneMoreThanFields",
                   [](TableImage& t) { SetRecordSize(t, static_cast<uint16_t>(t.layout.record_size + 1)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"RecordSizeOneLessThanFields",
                   [](TableImage& t) { SetRecordSize(t, static_cast<uint16_t>(t.layout.record_size - 1)); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"NoFields", [](TableImage& t) { Put16(t.bytes, 0x21, 0); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"HugeFieldCount", [](TableImage& t) { Put16(t.bytes, 0x21, 0xFFFF); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        // Descriptors that still fit in the header run into the zero bytes
        // after the real ones.
        DamageCase{"FieldCountRunningIntoTableName", [](TableImage& t) { Put16(t.bytes, 0x21, 900); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"MoreKeyFieldsThanFields", [](TableImage& t) { Put16(t.bytes, 0x23, 3); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"HugeRecordCount", [](TableImage& t) { SetNumRecords(t, 0xFFFFFFFF); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"RecordCountBeyondBlocksInUse", [](TableImage& t) { SetNumRecords(t, 3 * 72 + 1); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"RecordCountOneMore", [](TableImage& t) { SetNumRecords(t, 10); }, ErrorCode::kCorruptBlock,
                   Stage::kWalk},
        DamageCase{"RecordCountOneLess", [](TableImage& t) { SetNumRecords(t, 8); }, ErrorCode::kCorruptBlock,
                   Stage::kWalk},
        DamageCase{"RecordCountZero", [](TableImage& t) { SetNumRecords(t, 0); }, ErrorCode::kCorruptBlock,
                   Stage::kWalk},
        DamageCase{"UsedBlocksAboveFileBlocks", [](TableImage& t) { Put16(t.bytes, 0x0A, 4); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FileBlocksBeyondFileSize", [](TableImage& t) { Put16(t.bytes, 0x0C, 4); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FileBlocksLargest", [](TableImage& t) { Put16(t.bytes, 0x0C, 0xFFFF); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"UsedBlocksZero", [](TableImage& t) { Put16(t.bytes, 0x0A, 0); }, ErrorCode::kCorruptHeader,
                   Stage::kOpen},
        DamageCase{"UsedBlocksShorterThanChain", [](TableImage& t) { Put16(t.bytes, 0x0A, 2); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"FirstBlockZeroWithRecords",
                   [](TableImage& t) {
                     Put16(t.bytes, 0x0E, 0);
                     Put16(t.bytes, 0x10, 0);
                   },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FirstBlockZeroLastBlockSet", [](TableImage& t) { Put16(t.bytes, 0x0E, 0); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"LastBlockZeroFirstBlockSet", [](TableImage& t) { Put16(t.bytes, 0x10, 0); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FirstBlockBeyondFileBlocks", [](TableImage& t) { Put16(t.bytes, 0x0E, 4); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"LastBlockBeyondFileBlocks", [](TableImage& t) { Put16(t.bytes, 0x10, 4); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FirstFreeBlockBeyondFileBlocks", [](TableImage& t) { Put16(t.bytes, 0x4D, 4); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"FirstBlockInsideChain", [](TableImage& t) { Put16(t.bytes, 0x0E, 2); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"LastBlockInsideChain", [](TableImage& t) { Put16(t.bytes, 0x10, 2); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"VersionByteZero", [](TableImage& t) { t.bytes[0x39] = 0; }, ErrorCode::kUnsupportedVersion,
                   Stage::kOpen},
        DamageCase{"VersionByteLargest", [](TableImage& t) { t.bytes[0x39] = 0xFF; },
                   ErrorCode::kUnsupportedVersion, Stage::kOpen},
        DamageCase{"FileTypeUnknown", [](TableImage& t) { t.bytes[0x04] = 9; }, ErrorCode::kNotATable,
                   Stage::kOpen},
        DamageCase{"FileTypeLargest", [](TableImage& t) { t.bytes[0x04] = 0xFF; }, ErrorCode::kNotATable,
                   Stage::kOpen},
        // Secondary index data files share the table layout but are no table.
        DamageCase{"FileTypeSecondaryIndexData", [](TableImage& t) { t.bytes[0x04] = 5; },
                   ErrorCode::kNotATable, Stage::kOpen},
        DamageCase{"FileTypeCompositeIndexData", [](TableImage& t) { t.bytes[0x04] = 8; },
                   ErrorCode::kNotATable, Stage::kOpen}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Encryption, DamagedTable,
    ::testing::Values(
        DamageCase{"PasswordInDataHeader", [](TableImage& t) { Put32(t.bytes, 0x5C, 0x1234ABCD); },
                   ErrorCode::kEncrypted, Stage::kOpen},
        DamageCase{"PasswordInPlaceOfMarker", [](TableImage& t) { Put32(t.bytes, 0x25, 0x1234ABCD); },
                   ErrorCode::kEncrypted, Stage::kOpen},
        DamageCase{"Version3Password", [](TableImage& t) { Put32(t.bytes, 0x25, 0x1234ABCD); },
                   ErrorCode::kEncrypted, Stage::kOpen, 3}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    FieldDescriptors, DamagedTable,
    ::testing::Values(
        DamageCase{"TypeCodeZero", [](TableImage& t) { SetDescriptor(t, 1, 0x00, 10); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"TypeCode07", [](TableImage& t) { SetDescriptor(t, 1, 0x07, 10); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"TypeCode0B", [](TableImage& t) { SetDescriptor(t, 1, 0x0B, 10); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"TypeCode13", [](TableImage& t) { SetDescriptor(t, 1, 0x13, 10); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"TypeCode19", [](TableImage& t) { SetDescriptor(t, 1, 0x19, 10); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"TypeCodeFF", [](TableImage& t) { SetDescriptor(t, 0, 0xFF, 4); },
                   ErrorCode::kUnknownFieldType, Stage::kOpen},
        DamageCase{"LongOfThreeBytes", [](TableImage& t) { SetDescriptor(t, 0, 0x04, 3); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"AlphaOfNoBytes", [](TableImage& t) { SetDescriptor(t, 1, 0x01, 0); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"BcdScale33", [](TableImage& t) { SetDescriptor(t, 1, 0x17, 33); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"MemoShorterThanItsPointer", [](TableImage& t) { SetDescriptor(t, 1, 0x0C, 9); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        // Valid types whose sizes no longer add up to the record size.
        DamageCase{"FieldsLongerThanRecord", [](TableImage& t) { SetDescriptor(t, 1, 0x01, 11); },
                   ErrorCode::kCorruptHeader, Stage::kOpen},
        DamageCase{"BcdInPlaceOfAlpha", [](TableImage& t) { SetDescriptor(t, 1, 0x17, 2); },
                   ErrorCode::kCorruptHeader, Stage::kOpen}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    BlockChain, DamagedTable,
    ::testing::Values(
        DamageCase{"NextPointsToItself", [](TableImage& t) { SetBlockWord(t, 2, kNext, 2); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"NextPointsBackToFirst", [](TableImage& t) { SetBlockWord(t, 3, kNext, 1); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"NextBeyondFileBlocks", [](TableImage& t) { SetBlockWord(t, 1, kNext, 4); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"NextLargest", [](TableImage& t) { SetBlockWord(t, 1, kNext, 0xFFFF); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"ChainEndsEarly", [](TableImage& t) { SetBlockWord(t, 2, kNext, 0); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"ChainSkipsABlock", [](TableImage& t) { SetBlockWord(t, 1, kNext, 3); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        // Rounded down, the count would still be right (3).
        DamageCase{"AddDataSizeNotAMultiple",
                   [](TableImage& t) {
                     SetBlockWord(t, 1, kAddDataSize, static_cast<uint16_t>(2 * t.layout.record_size + 1));
                   },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"AddDataSizeBeyondCapacity",
                   [](TableImage& t) {
                     // 72 records of 14 bytes fill a 1024-byte block; this says
                     // 73, and the header agrees.
                     SetBlockWord(t, 3, kAddDataSize, static_cast<uint16_t>(72 * t.layout.record_size));
                     SetNumRecords(t, 3 + 2 + 73);
                   },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"AddDataSizeLargest", [](TableImage& t) { SetBlockWord(t, 2, kAddDataSize, 0x7FFF); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"AddDataSizeMinusOne", [](TableImage& t) { SetBlockWord(t, 1, kAddDataSize, 0xFFFF); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"AddDataSizeMinusTwoRecords",
                   [](TableImage& t) {
                     SetBlockWord(t, 2, kAddDataSize, static_cast<uint16_t>(-2 * static_cast<int>(t.layout.record_size)));
                   },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"AddDataSizeMostNegative", [](TableImage& t) { SetBlockWord(t, 3, kAddDataSize, 0x8000); },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"BlockHoldsMoreRecordsThanCounted",
                   [](TableImage& t) {
                     SetBlockWord(t, 1, kAddDataSize, static_cast<uint16_t>(3 * t.layout.record_size));
                   },
                   ErrorCode::kCorruptBlock, Stage::kWalk},
        DamageCase{"BlockHoldsFewerRecordsThanCounted",
                   [](TableImage& t) {
                     SetBlockWord(t, 3, kAddDataSize, static_cast<uint16_t>(2 * t.layout.record_size));
                   },
                   ErrorCode::kCorruptBlock, Stage::kWalk}),
    CaseName);

// A chain that leaves out a block in use: the header counts four blocks in
// use, the chain links three and the fourth sits on the free list.
TEST(DamagedTableChain, ChainShorterThanBlocksInUse) {
  BuildOptions o;
  o.free_blocks = 1;
  TableImage img = BuildTable(o);
  ASSERT_OK(ReadTable(img.bytes).status);
  Put16(img.bytes, 0x0A, 4);
  ExpectFailure(ReadTable(img.bytes), ErrorCode::kCorruptBlock, Stage::kWalk);
}

// A walk that runs into the free block through a damaged next pointer.
TEST(DamagedTableChain, ChainRunsIntoFreeBlock) {
  BuildOptions o;
  o.free_blocks = 1;
  TableImage img = BuildTable(o);
  SetBlockWord(img, 3, kNext, 4);
  ExpectFailure(ReadTable(img.bytes), ErrorCode::kCorruptBlock, Stage::kWalk);
}

// ---------------------------------------------------------------------------
// Blob damage, on real tables with memo and graphic values.

std::string FixturePath(const std::string& rel) { return std::string(ADVCLEAN_FIXTURES_DIR) + "/" + rel; }

bool ReadFixture(const std::string& rel, Bytes* out) { return ReadWholeFile(FixturePath(rel), out).ok(); }

// A table with one blob field and its .MB, and where the blob pointers are.
struct BlobTable {
  Bytes db, mb;
  TableHeader header;
  int field = -1;  // the blob field
  // Record `r` (from 0, first block) and its blob pointer: MB offset,
  // length, modification number.
  size_t record_at(int r) const { return header.header_size + 6 + static_cast<size_t>(r) * header.record_size; }
  size_t pointer_at(int r) const {
    const Field& f = header.fields[static_cast<size_t>(field)];
    return record_at(r) + f.offset + f.size - 10;
  }
};

class BlobDamage : public ::testing::Test {
 protected:
  // Loads fixtures/paradox/<rel>.db and .mb and checks that the undamaged
  // table reads; a fatal failure when it cannot.
  static void Load(const std::string& rel, BlobTable* t) {
    ASSERT_TRUE(ReadFixture(rel + ".db", &t->db) && ReadFixture(rel + ".mb", &t->mb))
        << "cannot read " << FixturePath(rel) << ".db/.mb";
    Status st = ParseHeader(t->db, t->db.size(), &t->header);
    ASSERT_OK(st);
    for (size_t i = 0; i < t->header.fields.size(); ++i)
      if (IsBlobType(t->header.fields[i].type)) t->field = static_cast<int>(i);
    ASSERT_GE(t->field, 0) << rel << " has no blob field";
    Outcome o = Read(*t);
    ASSERT_OK(o.status) << "undamaged: " << o.status.ToString();
  }

  static Outcome Read(const BlobTable& t) {
    return ReadInMemory({{"t.db", t.db}, {"t.mb", t.mb}}, "t.db");
  }
  static Outcome ReadWithout(const BlobTable& t) { return ReadInMemory({{"t.db", t.db}}, "t.db"); }
};

// fields/memo: record 1's memo (555 bytes) lies in entry 63 of the shared
// block at 0x1000; record 2's (12 bytes) lies wholly in its leader.
class MemoDamage : public BlobDamage {
 protected:
  void SetUp() override {
    if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
    Load("paradoxdriver/fields/memo", &t_);
    if (HasFatalFailure()) return;
    pointer_ = t_.pointer_at(0);
    mb_offset_ = Get32(t_.db, pointer_);
    ASSERT_EQ(mb_offset_ & 0xFF, 0x3Fu) << "memo.db is not the expected fixture";
    block_ = mb_offset_ & ~0xFFu;
    entry_ = block_ + 12 + 5 * (mb_offset_ & 0xFF);
    ASSERT_EQ(t_.mb.at(block_), 3) << "memo.mb is not the expected fixture";
    length_ = Get32(t_.db, pointer_ + 4);
    ASSERT_EQ(length_, 555u);
    ASSERT_EQ(Get32(t_.db, t_.pointer_at(1)), 0u) << "record 2 should hold its memo in its leader";
  }

  BlobTable t_;
  size_t pointer_ = 0;
  uint32_t mb_offset_ = 0;
  size_t block_ = 0;
  size_t entry_ = 0;
  uint32_t length_ = 0;
};

TEST_F(MemoDamage, PointerPastEndOfBlobFile) {
  Put32(t_.db, pointer_, static_cast<uint32_t>((t_.mb.size() + 0x1000) | 0x3F));
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, PointerIntoBlobFileHeader) {
  Put32(t_.db, pointer_, 0x3F);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, PointerEntryNumberOutOfRange) {
  Put32(t_.db, pointer_, static_cast<uint32_t>(block_ | 64));
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, PointerAsSingleBlobToSharedBlock) {
  Put32(t_.db, pointer_, static_cast<uint32_t>(block_ | 0xFF));
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, BlockMarkedFree) {
  t_.mb[block_] = 4;
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, EntryUnused) {
  std::fill_n(t_.mb.begin() + static_cast<long>(entry_), 5, 0);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, RecordLengthDiffersFromEntry) {
  Put32(t_.db, pointer_ + 4, length_ + 1);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, EntryLastUnitOver16) {
  t_.mb[entry_ + 4] = 17;
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, EntryDataPastEndOfBlock) {
  t_.mb[entry_] = 0xFF;  // data at 0xFF0 of a 4096-byte block
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, EntryDataOverEntryTable) {
  t_.mb[entry_] = 1;
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, BlobFileEndsInsideValue) {
  t_.mb.resize(block_ + t_.mb[entry_] * 16u + 100);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, BlobFileEndsInsideBlockHeader) {
  t_.mb.resize(block_ + 5);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, BlobFileEmpty) {
  t_.mb.clear();
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(MemoDamage, BlobFileMissing) {
  ExpectFailure(ReadWithout(t_), ErrorCode::kNotFound, Stage::kBlob);
}

TEST_F(MemoDamage, LeaderValueLongerThanLeader) {
  const Field& f = t_.header.fields[static_cast<size_t>(t_.field)];
  Put32(t_.db, t_.pointer_at(1) + 4, f.size - 10u + 1);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

// fields/graphic240: one graphic value of its own (type 2) block at 0x1000.
class GraphicDamage : public BlobDamage {
 protected:
  void SetUp() override {
    if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
    Load("paradoxdriver/fields/graphic240", &t_);
    if (HasFatalFailure()) return;
    pointer_ = t_.pointer_at(0);
    uint32_t mb_offset = Get32(t_.db, pointer_);
    ASSERT_EQ(mb_offset & 0xFF, 0xFFu) << "graphic240.db is not the expected fixture";
    block_ = mb_offset & ~0xFFu;
    ASSERT_EQ(t_.mb.at(block_), 2) << "graphic240.mb is not the expected fixture";
    length_ = Get32(t_.db, pointer_ + 4);
    ASSERT_EQ(Get32(t_.mb, block_ + 3), length_);
  }

  BlobTable t_;
  size_t pointer_ = 0;
  size_t block_ = 0;
  uint32_t length_ = 0;
};

TEST_F(GraphicDamage, BlockOfWrongType) {
  t_.mb[block_] = 3;
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(GraphicDamage, BlockLengthDiffersFromRecord) {
  Put32(t_.mb, block_ + 3, length_ - 1);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(GraphicDamage, ValueLongerThanItsBlocks) {
  Put16(t_.mb, block_ + 1, 1);  // one 4K unit for a value of about 20K
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(GraphicDamage, BlobFileEndsInsideValue) {
  t_.mb.resize(block_ + 9 + length_ / 2);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(GraphicDamage, HugeLengthInRecordAndBlock) {
  Put32(t_.db, pointer_ + 4, 0xFFFFFFF0);
  Put32(t_.mb, block_ + 3, 0xFFFFFFF0);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

TEST_F(GraphicDamage, LeaderValueShorterThanGraphicPrefix) {
  Put32(t_.db, pointer_, 0);
  Put32(t_.db, pointer_ + 4, 5);
  ExpectFailure(Read(t_), ErrorCode::kCorruptBlob, Stage::kBlob);
}

// ---------------------------------------------------------------------------
// Sweeps: every single-byte change of the headers and block headers, and
// every length, must end in OK or an explained error.

// Reads one variant; only the outcome's form is checked.
void ExpectClean(const std::map<std::string, Bytes>& files, const std::string& what) {
  Outcome o = ReadInMemory(files, "t.db");
  if (!o.status.ok()) {
    SCOPED_TRACE(what);
    ExpectExplained(o.status);
  }
}

// Flips bytes [begin, end) of `file` one at a time with a few patterns.
void SweepBytes(std::map<std::string, Bytes> files, const std::string& file, size_t begin, size_t end) {
  Bytes original = files[file];
  end = std::min(end, original.size());
  for (size_t i = begin; i < end; ++i) {
    for (uint8_t pattern : {0x01, 0x80, 0xFF}) {
      files[file] = original;
      files[file][i] ^= pattern;
      ExpectClean(files, file + " byte " + std::to_string(i) + " ^ " + std::to_string(pattern));
      if (::testing::Test::HasFailure()) return;  // one report is enough
    }
  }
}

void SweepLengths(std::map<std::string, Bytes> files, const std::string& file) {
  Bytes original = files[file];
  for (size_t n = 0; n < original.size(); ++n) {
    files[file].assign(original.begin(), original.begin() + static_cast<long>(n));
    ExpectClean(files, file + " cut at " + std::to_string(n));
    if (::testing::Test::HasFailure()) return;
  }
}

void SweepTable(const std::map<std::string, Bytes>& files) {
  const Bytes& db = files.at("t.db");
  TableHeader h;
  ASSERT_OK(ParseHeader(db, db.size(), &h));
  SweepBytes(files, "t.db", 0, h.header_size);
  for (uint32_t b = 1; b <= h.file_blocks; ++b) {
    size_t at = h.header_size + (b - 1) * h.block_size;
    SweepBytes(files, "t.db", at, at + 6);
  }
  SweepLengths(files, "t.db");
}

TEST(DamageSweep, BuiltTable) {
  SweepTable({{"t.db", DefaultTable().bytes}});
  SweepTable({{"t.db", Version3Table().bytes}});
}

TEST(DamageSweep, Version3Fixture) {
  if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  Bytes db;
  ASSERT_TRUE(ReadFixture("paradoxdriver/areas/STATES.DB", &db));
  SweepTable({{"t.db", db}});
}

TEST(DamageSweep, MemoFixture) {
  if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  Bytes db, mb;
  ASSERT_TRUE(ReadFixture("paradoxdriver/fields/memo.db", &db));
  ASSERT_TRUE(ReadFixture("paradoxdriver/fields/memo.mb", &mb));
  std::map<std::string, Bytes> files = {{"t.db", db}, {"t.mb", mb}};
  SweepTable(files);
  // The blob file: its header block, the shared block's header and entry
  // table, and every length.
  SweepBytes(files, "t.mb", 0, 16);
  SweepBytes(files, "t.mb", 0x1000, 0x1000 + 12 + 5 * 64);
  SweepLengths(files, "t.mb");
}

}  // namespace
}  // namespace paradox
