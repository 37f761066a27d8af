#include "paradox/table_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "paradox/env/file_mem.h"
#include "paradox/format/bytes.h"
#include "paradox/format/header.h"
#include "paradox/format/index_builder.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "../support/status_assert.h"

namespace paradox {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> ReadRecords(FileSystem* fs, const std::string& path, TableHeader* header = nullptr) {
  std::unique_ptr<Table> t;
  Status st = Table::Open(fs, path, OpenOptions(), &t);
  EXPECT_OK(st);
  std::vector<Bytes> out;
  if (!st.ok()) return out;
  if (header) *header = t->header();
  auto c = t->NewCursor();
  for (; c->Valid(); c->Next()) out.emplace_back(c->record(), c->record() + t->header().record_size);
  EXPECT_OK(c->status());
  return out;
}

// Checks what every file of a table owes its header: the chain runs from
// block 1 through all blocks, both ways, nothing free, the file ends with the
// last block. Returns the chain's blocks in order.
std::vector<uint16_t> CheckChain(const Bytes& f, const TableHeader& h) {
  EXPECT_EQ(f.size(), h.header_size + size_t{h.file_blocks} * h.block_size);
  EXPECT_EQ(h.used_blocks, h.file_blocks);
  EXPECT_EQ(LoadLE16(&f[hdr::kMaxBlocks]), h.file_blocks);
  EXPECT_EQ(h.first_free_block, 0);
  std::vector<uint16_t> chain;
  for (uint16_t b = h.first_block, prev = 0; b != 0 && chain.size() <= h.file_blocks; prev = b, b = LoadLE16(&f[h.header_size + (b - 1u) * h.block_size])) {
    EXPECT_EQ(LoadLE16(&f[h.header_size + (b - 1u) * h.block_size + 2]), prev);
    chain.push_back(b);
  }
  EXPECT_EQ(chain.size(), h.file_blocks);
  EXPECT_EQ(chain.empty() ? 0 : chain.back(), h.last_block);
  return chain;
}

// Checks both files of a table, and for a keyed table every invariant
// that ties the primary index to the data file.
void CheckFiles(MemFileSystem* fs, const std::string& db, const std::string& px) {
  Bytes d = fs->Contents(db), p = fs->Contents(px);
  TableHeader h, ph;
  ASSERT_OK(ParseHeader(d, d.size(), &h));
  size_t key_size = 0;
  for (int i = 0; i < h.primary_key_fields; ++i) key_size += h.fields[i].size;
  using Entry = std::tuple<Bytes, uint16_t, uint32_t>;  // first key, block, count
  std::vector<Entry> chain;
  uint32_t records = 0;
  for (uint16_t b : CheckChain(d, h)) {
    const uint8_t* blk = &d[h.header_size + (b - 1u) * h.block_size];
    uint32_t n = static_cast<int16_t>(LoadLE16(blk + 4)) / h.record_size + 1;
    chain.emplace_back(Bytes(blk + 6, blk + 6 + key_size), b, n);
    records += n;
  }
  EXPECT_EQ(records, h.num_records);
  if (px.empty()) return;

  ASSERT_OK(ParseHeader(p, p.size(), &ph));
  EXPECT_EQ(ph.file_type, FileType::kPrimaryIndex);
  EXPECT_EQ(p[hdr::kIndexStamp], IndexStamp(d[hdr::kChangeCount1], d[hdr::kSortOrder]));
  EXPECT_EQ(ph.sort_order, h.sort_order);
  EXPECT_EQ(ph.version, h.version);
  ASSERT_EQ(ph.num_fields, h.primary_key_fields);
  for (int i = 0; i < ph.num_fields; ++i) EXPECT_EQ(ph.fields[i].declared, h.fields[i].declared);
  CheckChain(p, ph);
  if (chain.empty()) {
    EXPECT_EQ(ph.file_blocks, 0);
    EXPECT_EQ(ph.index_root, 1);
    EXPECT_EQ(ph.index_levels, 0);
    return;
  }
  // Walk down from the root: each upper entry carries its child's first key
  // and count total, the lowest level lists the data chain.
  std::vector<Entry> leaves;
  uint32_t entries = 0;
  std::vector<int> reached(ph.file_blocks + 1u, 0);
  std::function<std::pair<Bytes, uint32_t>(uint16_t, int)> walk = [&](uint16_t b, int level) {
    EXPECT_TRUE(b >= 1 && b <= ph.file_blocks && reached[b]++ == 0) << "block " << b;
    const uint8_t* blk = &p[ph.header_size + (b - 1u) * ph.block_size];
    int n = static_cast<int16_t>(LoadLE16(blk + 4)) / ph.record_size + 1;
    entries += n;
    uint32_t total = 0;
    for (const uint8_t* e = blk + 6; e < blk + 6 + n * ph.record_size; e += ph.record_size) {
      Bytes key(e, e + key_size);
      uint16_t child = static_cast<uint16_t>(DecodeFlippedInt(e + key_size, 2));
      uint32_t count = static_cast<uint16_t>(DecodeFlippedInt(e + key_size + 2, 2));
      EXPECT_LE(count, kMaxIndexCount);
      EXPECT_EQ(LoadLE16(e + key_size + 4), 0x0080);  // bytes 80 00
      if (level == 1) {
        leaves.emplace_back(key, child, count);
      } else {
        EXPECT_EQ(walk(child, level - 1), std::make_pair(key, count));
      }
      total += count;
    }
    return std::make_pair(Bytes(blk + 6, blk + 6 + key_size), total);
  };
  EXPECT_EQ(walk(ph.index_root, ph.index_levels).second, h.num_records);
  EXPECT_EQ(entries, ph.num_records);
  EXPECT_EQ(std::count(reached.begin() + 1, reached.end(), 1), ph.file_blocks);
  EXPECT_EQ(leaves, chain);
}

std::vector<FieldDef> AllTypes() {
  return {{"Key", FieldType::kLong, 4},      {"Name", FieldType::kAlpha, 20}, {"Day", FieldType::kDate, 4},
          {"Small", FieldType::kShort, 2},   {"Cash", FieldType::kMoney, 8},  {"Num", FieldType::kNumber, 8},
          {"Flag", FieldType::kLogical, 1},  {"At", FieldType::kTime, 4},     {"Stamp", FieldType::kTimestamp, 8},
          {"Counter", FieldType::kAutoInc, 4}, {"Dec", FieldType::kBcd, 2},   {"Raw", FieldType::kBytes, 3}};
}

// Fills record i; field (i + f) % 7 == 0 is left NULL (never the key).
void FillAllTypes(RecordBuilder* rb, int i) {
  rb->Clear();
  auto on = [i](int f) { return f == 0 || (i + f) % 7 != 0; };
  rb->SetInt(0, 3 * i - 500);  // negative and positive keys, bytewise ascending
  if (on(1)) rb->SetAlpha(1, i % 5 == 0 ? std::string(20, '\xC0' + i % 32) : "\xCA\xF3\xF0\xF1 " + std::to_string(i));
  if (on(2)) rb->SetInt(2, static_cast<int32_t>(DayFromCivil(2011, 1, 1)) + i);
  if (on(3)) rb->SetInt(3, (i % 2 ? -1 : 1) * (i * 37 % 32767));
  if (on(4)) rb->SetDouble(4, i * 12.34 - 1000);
  if (on(5)) rb->SetDouble(5, i % 3 == 0 ? 0.0 : -i / 7.0);
  if (on(6)) rb->SetInt(6, i % 2);
  if (on(7)) rb->SetInt(7, i * 1001 % 86400000);
  if (on(8)) rb->SetDouble(8, 63429566400000.0 + i);
  if (on(9)) rb->SetInt(9, 1000 - i);
  if (on(10)) {
    uint8_t bcd[17] = {0xC2};  // +1.00
    bcd[16] = 0x10;
    rb->SetRaw(10, bcd, 17);
  }
  if (on(11)) {
    uint8_t raw[3] = {static_cast<uint8_t>(i), 0, 0xFF};
    rb->SetRaw(11, raw, 3);
  }
}

// Writes rows 0..n-1 filled by `fill`; the writer is left unfinished when
// `finish` is false.
std::unique_ptr<TableWriter> Write(MemFileSystem* fs, const std::string& path, std::vector<FieldDef> fields,
                                   const CreateOptions& o, int n, const std::function<void(RecordBuilder*, int)>& fill,
                                   bool finish = true) {
  std::unique_ptr<TableWriter> w;
  Status st = TableWriter::Create(fs, path, fields, o, &w);
  EXPECT_OK(st);
  if (!st.ok()) return nullptr;
  RecordBuilder rb(w->fields());
  for (int i = 0; i < n; ++i) {
    fill(&rb, i);
    st = w->Append(rb.data());
    EXPECT_OK(st) << "row " << i << ": " << st.ToString();
  }
  if (finish) {
    EXPECT_OK(w->Finish());
  }
  return w;
}

CreateOptions Keyed(uint32_t block_size, uint32_t index_block_size) {
  CreateOptions o;
  o.block_size = block_size;
  o.index_block_size = index_block_size;
  o.key_fields = 1;
  return o;
}

class RoundTrip : public testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(RoundTrip, EveryTypeReadsBackExactly) {
  auto [version, kb, keyed] = GetParam();
  MemFileSystem fs;
  CreateOptions o = Keyed(kb * 1024u, 0);
  o.version = static_cast<uint8_t>(version);
  o.key_fields = keyed ? 1 : 0;
  std::vector<Bytes> written;
  Write(&fs, "T.DB", AllTypes(), o, 700, [&](RecordBuilder* rb, int i) {
    FillAllTypes(rb, i);
    written.emplace_back(rb->data(), rb->data() + rb->size());
  });
  TableHeader h;
  std::vector<Bytes> got = ReadRecords(&fs, "T.DB", &h);
  EXPECT_EQ(got, written);
  EXPECT_EQ(h.keyed(), keyed);
  EXPECT_EQ(h.autoinc, 1000u);  // largest AutoInc written (first record)
  size_t names = 0;
  for (const FieldDef& s : AllTypes()) names += s.name.size() + 1;
  if (version >= 5) {  // 3.x headers end with the last name and name no code page
    EXPECT_EQ(std::make_tuple(h.code_page, h.sort_order_name, h.header_size), std::make_tuple(1251, "ascii", 2048));
    EXPECT_EQ(LoadLE16(&fs.Contents("T.DB")[hdr::kRealHeaderSize]),
              0x78 + 6 * 12 + 4 + (version == 12 ? 261 : 79) + names + 2 * 12 + 6);
  } else {
    EXPECT_EQ(h.header_size, 0x58 + 6 * 12 + 4 + 79 + names);
  }
  // Values decode to what was set (rows whose fields 3..6 are not NULL).
  const auto& f = h.fields;
  for (int i : {5, 6, 699}) {
    const uint8_t* r = got[static_cast<size_t>(i)].data();
    EXPECT_EQ(GetInt(f[0], r), 3 * i - 500);
    EXPECT_EQ(GetInt(f[3], r), (i % 2 ? -1 : 1) * (i * 37 % 32767));
    EXPECT_DOUBLE_EQ(GetDouble(f[4], r), i * 12.34 - 1000);
    EXPECT_FALSE(IsNull(f[5], r));  // 0.0 and negatives are values, not NULL
    EXPECT_EQ(GetInt(f[6], r), i % 2);
    EXPECT_EQ(IsNull(f[2], r), i % 7 == 5);
  }
  CheckFiles(&fs, "T.DB", keyed ? "T.PX" : "");
  EXPECT_EQ(fs.FileExists("T.PX"), keyed);
}

INSTANTIATE_TEST_SUITE_P(VersionsBlocksKeys, RoundTrip,
                         testing::Combine(testing::Values(3, 4, 9, 11, 12), testing::Values(1, 2, 4, 16, 32),
                                          testing::Bool()));

// The header bytes of the documented example table (version 7.x, keyed on
// an 80-byte Alpha), offset by offset.
TEST(TableWriterHeader, MatchesTheDocumentedLayout) {
  MemFileSystem fs;
  CreateOptions o;
  o.code_page = 866;
  o.key_fields = 1;
  std::unique_ptr<TableWriter> w;
  ASSERT_OK(TableWriter::Create(&fs, "TESTTAB.DB",
                                  {{"FName", FieldType::kAlpha, 80}, {"FDate", FieldType::kDate, 4},
                                   {"FTime", FieldType::kTime, 4}, {"FNumber", FieldType::kShort, 2},
                                   {"FOrder", FieldType::kLong, 4}, {"FYearOrder", FieldType::kShort, 2}},
                                  o, &w));
  ASSERT_OK(w->Finish());
  struct Want { size_t at, width; uint32_t value; };
  auto check = [](const Bytes& f, std::initializer_list<Want> wants) {
    for (const Want& x : wants)
      EXPECT_EQ(x.width == 1 ? f[x.at] : x.width == 2 ? LoadLE16(&f[x.at]) : LoadLE32(&f[x.at]), x.value)
          << "offset 0x" << std::hex << x.at;
  };
  auto text = [](const Bytes& f, size_t at, size_t n) { return std::string(f.begin() + at, f.begin() + at + n); };
  Bytes d = fs.Contents("TESTTAB.DB");
  ASSERT_EQ(d.size(), 2048u);  // an empty table is its header alone
  check(d, {{0x00, 2, 96}, {0x02, 2, 0x800}, {0x04, 1, 0}, {0x05, 1, 2}, {0x06, 4, 0}, {0x0A, 2, 0},
            {0x0C, 2, 0}, {0x0E, 2, 0}, {0x10, 2, 0}, {0x21, 2, 6}, {0x23, 2, 1}, {0x25, 4, 0xFF00FF00},
            {0x2D, 1, 2}, {0x2E, 1, 1}, {0x39, 1, 0x0C}, {0x3A, 2, 0}, {0x3E, 2, 0x0F1F}, {0x4D, 2, 0},
            {0x51, 2, 0x1E3}, {0x56, 1, 0x20}, {0x58, 2, 0x10C}, {0x5A, 2, 0x10C}, {0x64, 2, 7},
            {0x66, 2, 0x179}, {0x6A, 2, 866}, {0x6C, 2, 0x101}, {0x6E, 2, 0x185}});
  EXPECT_NE(LoadLE32(&d[0x16]), 0u);
  EXPECT_EQ(text(d, 0x78, 12), std::string("\x01\x50\x02\x04\x14\x04\x03\x02\x04\x04\x03\x02", 12));
  EXPECT_EQ(text(d, 0xA0, 11), std::string("TESTTAB.DB\0", 11));
  EXPECT_EQ(text(d, 0x1A5, 44), std::string("FName\0FDate\0FTime\0FNumber\0FOrder\0FYearOrder\0", 44));
  EXPECT_EQ(text(d, 0x1D1, 18), std::string("\1\0\2\0\3\0\4\0\5\0\6\0ascii\0", 18));
  EXPECT_TRUE(AllZero(&d[0x1E3], 2048 - 0x1E3));

  Bytes p = fs.Contents("TESTTAB.PX");
  ASSERT_EQ(p.size(), 2048u);
  check(p, {{0x00, 2, 86}, {0x02, 2, 0x800}, {0x04, 1, 1}, {0x05, 1, 2}, {0x1E, 2, 1}, {0x20, 1, 0},
            {0x21, 2, 1}, {0x2C, 1, 2}, {0x39, 1, 0x0C}, {0x3E, 2, 0}, {0x51, 2, 0x163}, {0x58, 2, 0x5001}});
  EXPECT_EQ(text(p, 0x5E, 11), std::string("TESTTAB.PX\0", 11));
}

TEST(TableWriterIndex, ManyRowsGiveAThreeLevelIndex) {
  // A 100-byte key: 9 entries per 1 KB index block, 250 data blocks.
  MemFileSystem fs;
  Write(&fs, "big.db", {{"K", FieldType::kAlpha, 100}, {"V", FieldType::kLong, 4}}, Keyed(1024, 0), 2000,
        [](RecordBuilder* rb, int i) {
          char key[16];
          std::snprintf(key, sizeof key, "%08d", i);
          rb->SetAlpha(0, key);
          rb->SetInt(1, i);
        });
  EXPECT_EQ(fs.Contents("big.PX")[hdr::kIndexLevels], 3);
  CheckFiles(&fs, "big.db", "big.PX");
  EXPECT_EQ(ReadRecords(&fs, "big.db").size(), 2000u);
}

TEST(TableWriterIndex, LargeTablesCrossTheWriteBufferAndKeepCountsSmall) {
  // 8190 four-byte records per 32 KB block, 147 blocks (more than one write
  // buffer holds); 101 entries per 1 KB index block, of which only 4 may
  // share a block before their count total passes 32767.
  MemFileSystem fs;
  const int n = 1200000;
  Write(&fs, "a.db", {{"ID", FieldType::kAutoInc, 4}}, Keyed(32768, 1024), n,
        [](RecordBuilder* rb, int i) { rb->SetInt(0, i + 1); });
  EXPECT_EQ(ReadRecords(&fs, "a.db").size(), static_cast<size_t>(n));
  CheckFiles(&fs, "a.db", "a.PX");
  EXPECT_EQ(fs.Contents("a.PX")[hdr::kIndexLevels], 2);
}

TEST(IndexBuilder, RefusesWhatItCannotStore) {
  IndexHeaderParams hp;
  hp.key_fields = {Field{"K", FieldType::kLong, 4, 4, 0}};
  Bytes tpl, px;
  ASSERT_OK(MakePrimaryIndexHeader(hp, &tpl));
  Bytes key = {0x80, 0, 0, 1};
  EXPECT_EQ(BuildPrimaryIndex(tpl, {{key, 1, 40000}}, &px).code(), ErrorCode::kNotSupported);
  EXPECT_EQ(BuildPrimaryIndex(tpl, {{key, 1, 0}}, &px).code(), ErrorCode::kNotSupported);
  EXPECT_EQ(BuildPrimaryIndex(tpl, {{Bytes{1, 2}, 1, 5}}, &px).code(), ErrorCode::kNotSupported);
  // More than a root block's worth of entries that cannot share a block.
  std::vector<IndexEntry> big(300, IndexEntry{key, 1, 20000});
  EXPECT_EQ(BuildPrimaryIndex(tpl, big, &px).code(), ErrorCode::kNotSupported);
  Bytes not_px = tpl;
  not_px[hdr::kFileType] = 2;
  EXPECT_EQ(BuildPrimaryIndex(not_px, {{key, 1, 5}}, &px).code(), ErrorCode::kCorruptIndex);
}

TEST(IndexBuilder, RebuildKeepsTheTemplateAndHandlesEmptyIndexes) {
  // An "existing" 5.x index with its own odd bytes.
  IndexHeaderParams hp;
  hp.version = 11;
  hp.block_size = 4096;
  hp.sort_order = 0x4C;
  hp.table_change_count = 254;
  hp.unknown12 = 77;
  hp.modification = 4491;
  hp.name = "pay.PX";
  hp.key_fields = {Field{"K", FieldType::kShort, 2, 2, 0}};
  Bytes tpl, px;
  ASSERT_OK(MakePrimaryIndexHeader(hp, &tpl));
  EXPECT_EQ(LoadLE16(&tpl[hdr::kRealHeaderSize]), 173);
  EXPECT_EQ(tpl[hdr::kIndexStamp], 77);  // 254 + 78, mod 255
  tpl.resize(tpl.size() + 3 * 4096, 0xEE);  // old blocks behind the header are ignored
  std::vector<IndexEntry> l1 = {{{0x80, 1}, 1, 10}, {{0x80, 9}, 3, 7}};
  ASSERT_OK(BuildPrimaryIndex(tpl, l1, &px));
  ASSERT_EQ(px.size(), 2048u + 4096u);
  Bytes same(tpl.begin(), tpl.begin() + 2048), got(px.begin(), px.begin() + 2048);
  for (auto [at, width] : {std::pair<size_t, size_t>{hdr::kNumRecords, 4}, {hdr::kUsedBlocks, 2}, {hdr::kFileBlocks, 2},
                           {hdr::kFirstBlock, 2}, {hdr::kLastBlock, 2}, {hdr::kIndexRoot, 2}, {hdr::kIndexLevels, 1},
                           {hdr::kMaxBlocks, 2}, {hdr::kFirstFreeBlock, 2}})
    std::copy(got.begin() + at, got.begin() + at + width, same.begin() + at);
  EXPECT_EQ(got, same);  // every other header byte kept
  EXPECT_EQ(LoadLE16(&px[hdr::kFirstBlock]), 1);
  EXPECT_EQ(LoadLE32(&px[hdr::kNumRecords]), 2u);
  EXPECT_EQ(px[hdr::kIndexLevels], 1);
  // Second entry: key 80 09, block 3, count 7, 80 00.
  EXPECT_EQ(Bytes(px.begin() + 2048 + 6 + 8, px.begin() + 2048 + 6 + 16), (Bytes{0x80, 9, 0x80, 3, 0x80, 7, 0x80, 0}));

  ASSERT_OK(BuildPrimaryIndex(tpl, {}, &px));
  EXPECT_EQ(px.size(), 2048u);
  EXPECT_EQ(LoadLE16(&px[hdr::kIndexRoot]), 1);
  EXPECT_EQ(px[hdr::kIndexLevels], 0);
  ASSERT_OK(BuildPrimaryIndex(tpl, {}, &px, EmptyIndex::kOneEmptyBlock));
  ASSERT_EQ(px.size(), 2048u + 4096u);
  EXPECT_EQ(LoadLE16(&px[hdr::kFirstBlock]), 1);
  EXPECT_EQ(static_cast<int16_t>(LoadLE16(&px[2048 + 4])), -8);
  EXPECT_EQ(px[hdr::kIndexLevels], 0);
}

TEST(IndexBuilder, StampFollowsTheTableCounterAndSortOrder) {
  EXPECT_EQ(IndexStamp(2, 0), 2);
  EXPECT_EQ(IndexStamp(2, 0x62), 102);
  EXPECT_EQ(IndexStamp(10, 3), 15);
  EXPECT_EQ(IndexStamp(246, 17), 10);
  EXPECT_EQ(IndexStamp(254, 76), 77);
  EXPECT_EQ(IndexStamp(10, 0xC0), 203);  // order byte read as signed: 10 + 0xC0 - 254, mod 255
}

TEST(TableWriterRefuses, OverwritingOrStrayIndexes) {
  MemFileSystem fs;
  fs.SetContents("dir/Adv.db", {1, 2, 3});
  fs.SetContents("dir/other.px", {9});
  std::unique_ptr<TableWriter> w;
  std::vector<FieldDef> f = {{"A", FieldType::kLong, 4}};
  EXPECT_EQ(TableWriter::Create(&fs, "dir/Adv.db", f, CreateOptions(), &w).code(), ErrorCode::kAccessDenied);
  EXPECT_EQ(TableWriter::Create(&fs, "dir/ADV.DB", f, CreateOptions(), &w).code(), ErrorCode::kAccessDenied);
  EXPECT_EQ(fs.Contents("dir/Adv.db"), (Bytes{1, 2, 3}));  // untouched, not removed
  EXPECT_EQ(TableWriter::Create(&fs, "dir/Other.db", f, CreateOptions(), &w).code(), ErrorCode::kAccessDenied);
  EXPECT_FALSE(fs.FileExists("dir/Other.db"));
}

TEST(TableWriterRefuses, BadOptionsAndFields) {
  MemFileSystem fs;
  std::unique_ptr<TableWriter> w;
  auto refused = [&](std::vector<FieldDef> f, std::function<void(CreateOptions*)> change) {
    CreateOptions o;
    change(&o);
    return TableWriter::Create(&fs, "t.db", f, o, &w).code() == ErrorCode::kNotSupported && !fs.FileExists("t.db");
  };
  std::vector<FieldDef> one = {{"A", FieldType::kLong, 4}};
  auto same = [](CreateOptions*) {};
  EXPECT_TRUE(refused(one, [](CreateOptions* o) { o->version = 2; }));
  EXPECT_TRUE(refused(one, [](CreateOptions* o) { o->block_size = 1536; }));
  EXPECT_TRUE(refused(one, [](CreateOptions* o) { o->block_size = 65536; }));
  EXPECT_TRUE(refused(one, [](CreateOptions* o) { o->key_fields = 2; }));
  EXPECT_TRUE(refused({{"M", FieldType::kMemo, 20}}, same));
  EXPECT_TRUE(refused({{"S", FieldType::kShort, 4}}, same));
  EXPECT_TRUE(refused({{"A", FieldType::kLong, 4}, {"a", FieldType::kLong, 4}}, same));
  std::vector<FieldDef> wide(4, {"", FieldType::kAlpha, 255});
  for (int i = 0; i < 4; ++i) wide[i].name = std::string(1, 'A' + i);
  EXPECT_TRUE(refused(wide, [](CreateOptions* o) { o->block_size = 1024; }));  // 1020 + 6 > 1024
}

TEST(TableWriterRefuses, KeysOutOfOrderButGoesOn) {
  MemFileSystem fs;
  auto w = Write(&fs, "k.db", {{"K", FieldType::kShort, 2}}, Keyed(2048, 0), 2,
                 [](RecordBuilder* rb, int i) { rb->SetInt(0, i ? 3 : -5); }, false);
  for (uint8_t k : {3, 2}) EXPECT_EQ(w->Append(Bytes{0x80, k}.data()).code(), ErrorCode::kNotSupported);
  ASSERT_OK(w->Append(Bytes{0x80, 10}.data()));
  ASSERT_OK(w->Finish());
  EXPECT_EQ(ReadRecords(&fs, "k.db"), (std::vector<Bytes>{{0x7F, 0xFB}, {0x80, 3}, {0x80, 10}}));
}

TEST(TableWriterLifetime, UnfinishedTablesAreNeitherValidNorLeftBehind) {
  MemFileSystem fs;
  auto w = Write(&fs, "u.db", {{"K", FieldType::kLong, 4}}, Keyed(2048, 0), 5000,
                 [](RecordBuilder* rb, int i) { rb->SetInt(0, i); }, /*finish=*/false);
  std::unique_ptr<Table> t;
  EXPECT_FALSE(Table::Open(&fs, "u.db", OpenOptions(), &t).ok());
  w.reset();
  EXPECT_FALSE(fs.FileExists("u.db"));
  EXPECT_FALSE(fs.FileExists("u.PX"));
}

TEST(TableWriterLimits, BlockCountAndRecordBuilderRanges) {
  MemFileSystem fs;
  std::vector<FieldDef> block_wide(4, {"", FieldType::kBytes, 255});  // 1018 bytes: one per 1 KB block
  for (int i = 0; i < 4; ++i) block_wide[i].name = std::string(1, 'A' + i);
  block_wide[3].size = 253;
  CreateOptions o = Keyed(1024, 0);
  o.key_fields = 0;
  auto w = Write(&fs, "full.db", block_wide, o, 65535, [](RecordBuilder*, int) {}, false);
  EXPECT_EQ(w->Append(Bytes(w->record_size(), 1).data()).code(), ErrorCode::kNotSupported);
  ASSERT_OK(w->Finish());
  EXPECT_EQ(ReadRecords(&fs, "full.db").size(), 65535u);

  RecordBuilder rb({{"S", FieldType::kShort, 2, 2, 0}, {"A", FieldType::kAlpha, 3, 3, 2}});
  EXPECT_FALSE(rb.SetInt(0, -32768) || rb.SetInt(0, 40000) || rb.SetDouble(0, 1) || rb.SetAlpha(0, "x"));
  EXPECT_TRUE(rb.SetAlpha(1, "abcdef"));  // cut to the field
  EXPECT_EQ(Bytes(rb.data(), rb.data() + 5), (Bytes{0, 0, 'a', 'b', 'c'}));
}

}  // namespace
}  // namespace paradox
