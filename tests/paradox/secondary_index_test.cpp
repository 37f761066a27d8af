// Deleting rows from tables with secondary indexes: each .Xnn/.XGn loses the
// entries of the deleted rows and its .Ynn/.YGn stays that file's exact
// index, on copies of real tables and on tables made here; tables whose
// indexes the editor could not keep exact are refused with every byte left
// as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../support/json.h"
#include "../support/text.h"
#include "paradox/format/bytes.h"
#include "paradox/check.h"
#include "paradox/codepage.h"
#include "paradox/delete_statement.h"
#include "paradox/format/header.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/table.h"
#include "paradox/store/table_editor.h"
#include "paradox/table_walk.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using testsupport::Json;
using testsupport::LowerAscii;
using Files = std::map<std::string, std::vector<uint8_t>>;

Files Snapshot(MemFileSystem* fs) {
  std::vector<std::string> names;
  EXPECT_OK(fs->ListDir(".", &names));
  Files files;
  for (const std::string& n : names) files[n] = fs->Contents(n);
  return files;
}

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::unique_ptr<File> f;
  std::vector<uint8_t> bytes;
  uint64_t size = 0;
  size_t got = 0;
  if (!FileSystem::Default()->Open(path, OpenMode::kRead, &f).ok() || !f->Size(&size).ok()) return bytes;
  bytes.resize(static_cast<size_t>(size));
  EXPECT_OK(f->Read(0, bytes.size(), bytes.data(), &got));
  bytes.resize(got);
  return bytes;
}

// A record of a data file and the block it lies in, along the chain.
struct ChainRecord {
  uint16_t block;
  std::vector<uint8_t> bytes;
};

std::vector<ChainRecord> ChainRecords(const std::vector<uint8_t>& f, TableHeader* h) {
  std::vector<ChainRecord> out;
  EXPECT_OK(ParseHeader(f, f.size(), h));
  for (uint16_t b = h->first_block, steps = 0; b != 0 && steps <= h->file_blocks; ++steps) {
    size_t at = h->header_size + size_t(b - 1) * h->block_size;
    int n = static_cast<int16_t>(LoadLE16(&f[at + 4])) / h->record_size + 1;
    for (int s = 0; s < n; ++s) {
      const uint8_t* r = &f[at + 6 + size_t(s) * h->record_size];
      out.push_back({b, std::vector<uint8_t>(r, r + h->record_size)});
    }
    b = LoadLE16(&f[at]);
  }
  return out;
}

// Every entry of the secondary index `x_name` names (in its last two bytes)
// the block of the data file that holds its row, found by the table's key.
void ExpectHintsExact(MemFileSystem* fs, const std::string& db, const std::string& x_name) {
  TableHeader th, xh;
  std::map<std::string, uint16_t> block_of;
  std::vector<ChainRecord> rows = ChainRecords(fs->Contents(db), &th);
  size_t ks = 0;
  for (uint16_t i = 0; i < th.primary_key_fields; ++i) ks += th.fields[i].size;
  for (const ChainRecord& r : rows) block_of[std::string(r.bytes.begin(), r.bytes.begin() + ks)] = r.block;
  std::vector<ChainRecord> entries = ChainRecords(fs->Contents(x_name), &xh);
  ASSERT_EQ(entries.size(), rows.size()) << x_name;
  for (const ChainRecord& e : entries) {
    const uint8_t* key = e.bytes.data() + xh.record_size - 2 - ks;
    auto it = block_of.find(std::string(key, key + ks));
    ASSERT_NE(it, block_of.end()) << x_name << ": an entry for a row the table lacks";
    EXPECT_EQ(DecodeFlippedInt(e.bytes.data() + xh.record_size - 2, 2), it->second) << x_name << ": stale block hint";
  }
}

// ---------------------------------------------------------------------------
// Rows as text, so that what a table reads can be compared with the
// expected files: numbers as the nearest double, text as UTF-8.

std::string Number(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

std::string RenderValue(const Field& f, const uint8_t* rec, int code_page) {
  if (IsNull(f, rec)) return "null";
  std::string s;
  switch (f.type) {
    case FieldType::kAlpha:
      AppendUtf8(code_page, GetAlpha(f, rec), &s);
      return '"' + s + '"';
    case FieldType::kDate: return '"' + FormatDate(GetInt(f, rec)) + '"';
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoInc: return Number(GetInt(f, rec));
    case FieldType::kMoney:
    case FieldType::kNumber: return Number(GetDouble(f, rec));
    default: return "(a type this test does not render)";
  }
}

std::string RenderJson(const Json& v) {
  if (v.is_null()) return "null";
  if (v.is_string()) return '"' + v.str() + '"';
  if (v.is_number()) return Number(v.number());
  return "(unexpected JSON value)";
}

// The rows a fresh open of the table reads, in order.
std::vector<std::string> ReadRows(FileSystem* fs, const std::string& db, int code_page) {
  std::vector<std::string> rows;
  std::unique_ptr<Table> t;
  Status st = Table::Open(fs, db, OpenOptions(), &t);
  EXPECT_OK(st);
  if (!st.ok()) return rows;
  auto c = t->NewCursor();
  for (; c->Valid(); c->Next()) {
    std::string row;
    for (const Field& f : t->fields()) row += RenderValue(f, c->record(), code_page) + " | ";
    rows.push_back(row);
  }
  EXPECT_OK(c->status());
  return rows;
}

// The files as they stand check clean and read `want`, looked at through a
// copy so that an editor may go on holding them.
void ExpectTable(MemFileSystem* fs, const std::string& db, const std::vector<std::string>& want, int code_page,
                 const std::string& when) {
  // Reading the table through another handle writes the gathered deletions first.
  FlushPendingGroups();
  MemFileSystem copy;
  for (auto& [name, bytes] : Snapshot(fs)) copy.SetContents(name, bytes);
  std::vector<std::string> problems;
  ASSERT_OK(CheckTable(&copy, db, &problems));
  for (const std::string& p : problems) ADD_FAILURE() << when << ": " << p;
  EXPECT_EQ(ReadRows(&copy, db, code_page), want) << when;
}

// Walks the table with a cursor and an editor the way the deletion pass
// does, deleting the rows `doomed` picks (by their place in `rows`, the
// table's rows in order), one change each, and checking after each change.
// Returns the rows left.
std::vector<std::string> Walk(MemFileSystem* fs, const std::string& db, std::vector<std::string> rows, int code_page,
                              const std::function<bool(size_t)>& doomed) {
  std::map<std::string, size_t> place;
  for (size_t i = 0; i < rows.size(); ++i) place[rows[i]] = i;
  std::unique_ptr<TableWalk> w;
  Status st = TableWalk::Open(fs, db, GroupBounds(), &w);
  EXPECT_OK(st);
  if (!w) return rows;
  for (int steps = 0; w->Valid() && steps < 100000; ++steps) {
    std::string row;
    for (const Field& f : w->table().fields()) row += RenderValue(f, w->record(), code_page) + " | ";
    if (!doomed(place[row])) {
      st = w->Next();
      EXPECT_OK(st);
      continue;
    }
    st = w->Delete();
    EXPECT_OK(st);
    if (!st.ok()) break;
    rows.erase(std::find(rows.begin(), rows.end(), row));
    ExpectTable(fs, db, rows, code_page, "after deleting " + row);
  }
  st = w->Close();
  EXPECT_OK(st);
  return rows;
}

// ---------------------------------------------------------------------------
// Copies of the real tables.

struct Fixture {
  const char* dir;
  const char* stem;
  const char* db;
  bool drop_val;  // copied without its validity file
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.stem; }

bool FixturesPresent() {
  return FileSystem::Default()->FileExists(std::string(ADVCLEAN_FIXTURES_DIR) + "/MANIFEST.md");
}

// Copies the table's files into `fs`; returns its expected rows and the
// code page its text is read with.
void LoadFixture(const Fixture& f, MemFileSystem* fs, std::vector<std::string>* rows, int* code_page) {
  const std::string dir = std::string(ADVCLEAN_FIXTURES_DIR) + "/" + f.dir;
  std::vector<std::string> names;
  ASSERT_OK(FileSystem::Default()->ListDir(dir, &names));
  const std::string stem = LowerAscii(f.stem) + ".";
  for (const std::string& n : names) {
    std::string ln = LowerAscii(n);
    if (ln.compare(0, stem.size(), stem) != 0 || ln.find(".expected.json") != std::string::npos) continue;
    if (f.drop_val && ln.size() > 4 && ln.substr(ln.size() - 4) == ".val") continue;
    fs->SetContents(n, ReadHostFile(dir + "/" + n));
  }
  std::vector<uint8_t> text = ReadHostFile(dir + "/" + f.stem + ".expected.json");
  Json doc;
  std::string error;
  ASSERT_TRUE(Json::Parse(std::string(text.begin(), text.end()), &doc, &error)) << error;
  const Json* enc = doc.Find("text_encoding");
  ASSERT_TRUE(enc != nullptr && enc->is_string() && enc->str().compare(0, 2, "cp") == 0);
  *code_page = std::stoi(enc->str().substr(2));
  rows->clear();
  for (const Json& r : doc.Find("rows")->array()) {
    std::string row;
    for (const Json& v : r.array()) row += RenderJson(v) + " | ";
    rows->push_back(row);
  }
}

const Fixture kIndexed[] = {
    {"pdx-samples-ru", "CalculN", "CalculN.db", false},     // three .XGn, Alpha key
    {"pdx-samples-ru", "Sort", "Sort.db", false},           // six .XGn over an AutoInc key
    {"pdx-samples-ru", "TelephNum", "TelephNum.DB", false},  // 23 rows, Cyrillic text
    {"paradoxdriver/db", "AREACODES", "AREACODES.DB", false},  // four data blocks
    // .X02/.X03 (single-field kind) of version 5.x; the table's validity
    // file holds referential-integrity rules, which the editor refuses (see
    // below), so its indexes are exercised without it.
    {"paradoxdriver/joins", "C", "C.DB", true},
};

class FixtureTest : public ::testing::TestWithParam<Fixture> {
 protected:
  void SetUp() override {
    if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  }
  std::vector<std::string> IndexFiles(MemFileSystem* fs) {
    std::vector<std::string> xs;
    for (auto& [n, unused] : Snapshot(fs)) {
      std::string ext = LowerAscii(n.substr(n.rfind('.') + 1));
      if (ext.size() == 3 && ext[0] == 'x') xs.push_back(n);
    }
    return xs;
  }
};

TEST_P(FixtureTest, DeletionWalksKeepEveryIndexExact) {
  const Fixture& f = GetParam();
  for (int walk = 0; walk < 3; ++walk) {
    SCOPED_TRACE("walk " + std::to_string(walk));
    MemFileSystem fs;
    std::vector<std::string> rows;
    int cp = 0;
    LoadFixture(f, &fs, &rows, &cp);
    ASSERT_EQ(ReadRows(&fs, f.db, cp), rows) << "the copy does not read as its expected file";
    // Some 40 rows at most, as every check takes its time: every s-th row
    // from the first, every s-th from the s-th, and the first 40 (all rows
    // of the smaller tables, which empties them).
    const size_t s = std::max<size_t>(2, rows.size() / 40);
    auto doomed = [&](size_t i) { return walk == 0 ? i % s == 0 : walk == 1 ? i % s == s - 1 : i < 40; };
    std::vector<std::string> left;
    for (size_t i = 0; i < rows.size(); ++i)
      if (!doomed(i)) left.push_back(rows[i]);
    EXPECT_EQ(Walk(&fs, f.db, rows, cp, doomed), left);
    for (const std::string& x : IndexFiles(&fs)) ExpectHintsExact(&fs, f.db, x);
  }
}

TEST_P(FixtureTest, BatchesKeepEveryIndexExact) {
  const Fixture& f = GetParam();
  MemFileSystem fs;
  std::vector<std::string> rows;
  int cp = 0;
  LoadFixture(f, &fs, &rows, &cp);
  std::unique_ptr<TableEditor> ed;
  ASSERT_OK(TableEditor::Open(&fs, f.db, &ed));
  EXPECT_FALSE(ed->secondary_indexes().empty());
  // Every third row in one change, then all but the last row left.
  for (int round = 0; round < 2; ++round) {
    std::vector<RowPos> batch;
    std::vector<std::string> left;
    size_t i = 0;
    ASSERT_OK(ed->ForEachRecord([&](RowPos pos, const uint8_t*) {
                    bool doomed = round == 0 ? i % 3 == 0 : i + 1 < rows.size();
                    if (doomed) batch.push_back(pos);
                    else left.push_back(rows[i]);
                    ++i;
                    return true;
                  }));
    ASSERT_OK(ed->Delete(batch, nullptr));
    ASSERT_OK(ed->Flush());
    rows = left;
    ExpectTable(&fs, f.db, rows, cp, "after batch " + std::to_string(round));
  }
  ed.reset();
  for (const std::string& x : IndexFiles(&fs)) ExpectHintsExact(&fs, f.db, x);
}

INSTANTIATE_TEST_SUITE_P(Real, FixtureTest, ::testing::ValuesIn(kIndexed),
                         [](const auto& info) { return std::string(info.param.stem); });

TEST(FixtureOpenTest, ReferentialIntegrityAndEmptyTables) {
  if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  MemFileSystem fs;
  std::vector<std::string> rows;
  int cp = 0;
  LoadFixture({"paradoxdriver/joins", "C", "C.DB", false}, &fs, &rows, &cp);
  Files before = Snapshot(&fs);
  std::unique_ptr<TableEditor> ed;
  EXPECT_EQ(TableEditor::Open(&fs, "C.DB", &ed).code(), ErrorCode::kNotSupported);
  EXPECT_EQ(Snapshot(&fs), before);
  // Emptied tables with secondary indexes (one keeps an empty block, one has
  // none) open as they are: nothing needs writing.
  const std::pair<Fixture, size_t> empties[] = {{{"hr-personal", "avoir_a", "avoir_a.db", false}, 5},
                                                 {{"hr-personal", "m_dispo", "m_dispo.db", false}, 2}};
  for (const auto& [f, indexes] : empties) {
    MemFileSystem empty;
    LoadFixture(f, &empty, &rows, &cp);
    Files files = Snapshot(&empty);
    ASSERT_OK(TableEditor::Open(&empty, f.db, &ed)) << f.stem;
    EXPECT_EQ(ed->secondary_indexes().size(), indexes);
    ed.reset();
    EXPECT_EQ(Snapshot(&empty), files) << f.stem;
  }
}

// What the editor refuses, on a copy of a real table: each case changes
// one thing, and nothing at all may be written.
TEST(FixtureOpenTest, IndexesThatCannotBeKeptExactAreRefused) {
  if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  const Fixture f{"pdx-samples-ru", "TelephNum", "TelephNum.DB", false};
  // TelephNum.XG0: Name A20, then the table's key Name A20, then the hint;
  // 42-byte entries from 0x800; descriptors from 0x78.
  auto entry = [](std::vector<uint8_t>& x, int i) { return &x[0x800 + 6 + 42 * i]; };
  struct Case {
    const char* name;
    std::function<void(MemFileSystem*)> spoil;
    const char* why;  // in the refusal's message
  };
  auto edit = [](const char* file, std::function<void(std::vector<uint8_t>&)> how) {
    return [=](MemFileSystem* fs) {
      std::vector<uint8_t> b = fs->Contents(file);
      how(b);
      fs->SetContents(file, b);
    };
  };
  const Case cases[] = {
      {"an .XGn without its .YGn", [](MemFileSystem* fs) { ASSERT_OK(fs->Remove("TelephNum.YG0")); },
       "without its index"},
      {"a .YGn without its .XGn", [](MemFileSystem* fs) { ASSERT_OK(fs->Remove("TelephNum.XG0")); },
       "without its data file"},
      {"an index file of an unknown kind", [](MemFileSystem* fs) { fs->SetContents("TelephNum.XGA", {1, 2, 3}); },
       "does not know"},
      {"key part of another type", edit("TelephNum.XG0", [](auto& x) { x[0x78 + 2] = 0x18; }), "table's key fields"},
      {"hint not a Short", edit("TelephNum.XG0", [](auto& x) { x[0x78 + 4] = 0x18; }), "not a Short"},
      {"single-field kind under an .XGn name", edit("TelephNum.XG0", [](auto& x) { x[0x04] = 5; }), "file type 5"},
      {"structure stamp of another table", edit("TelephNum.XG0", [](auto& x) { x[0x2E] ^= 1; }), "structure stamp"},
      {"an entry for a row the table lacks", edit("TelephNum.XG0", [&](auto& x) { entry(x, 9)[20 + 3] ^= 0x20; }),
       "same rows"},
      {"a row listed twice, another not at all",
       edit("TelephNum.XG0", [&](auto& x) { std::memcpy(entry(x, 9) + 20, entry(x, 10) + 20, 20); }),
       "more than once"},
      {".YGn of other keys", edit("TelephNum.YG0", [](auto& x) { x[0x58 + 2] = 0x18; }), "keys are not those"},
  };
  for (const Case& c : cases) {
    MemFileSystem fs;
    std::vector<std::string> rows;
    int cp = 0;
    LoadFixture(f, &fs, &rows, &cp);
    c.spoil(&fs);
    Files before = Snapshot(&fs);
    std::unique_ptr<TableEditor> ed;
    Status st = TableEditor::Open(&fs, f.db, &ed);
    EXPECT_EQ(st.code(), ErrorCode::kNotSupported) << c.name << ": " << st.ToString();
    EXPECT_NE(st.ToString().find(c.why), std::string::npos) << c.name << ": " << st.ToString();
    EXPECT_EQ(Snapshot(&fs), before) << c.name;
  }
}

TEST(FixtureOpenTest, StaleSecondaryIndexIsRebuiltBeforeAnyChange) {
  if (!FixturesPresent()) GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  for (int spoil = 0; spoil < 2; ++spoil) {
    MemFileSystem fs;
    std::vector<std::string> rows;
    int cp = 0;
    LoadFixture({"pdx-samples-ru", "TelephNum", "TelephNum.DB", false}, &fs, &rows, &cp);
    std::vector<uint8_t> y = fs.Contents("TelephNum.YG0");
    const uint8_t stamp = y[0x2C];
    if (spoil == 0) y[0x2C] ^= 1;  // no longer tied to its .XG0
    else y[0x800 + 6 + 42] ^= 1;   // the entry's count is wrong
    fs.SetContents("TelephNum.YG0", y);
    std::unique_ptr<TableEditor> ed;
    ASSERT_OK(TableEditor::Open(&fs, "TelephNum.DB", &ed));
    ExpectTable(&fs, "TelephNum.DB", rows, cp, "after the rebuild");
    EXPECT_EQ(fs.Contents("TelephNum.YG0")[0x2C], stamp);
  }
}

// ---------------------------------------------------------------------------
// Tables made here, large enough for many index blocks: t.db (ID Long key,
// Grp Short, Name A100) with t.X02 over Grp and t.XG0 over (Name, Grp).
// Each index is written by the table writer as a keyed table of its
// fields, the table's key and the block hint, and its .PX becomes the
// .Ynn/.YGn.

std::string NameOf(int id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "N%03d", id * 37 % 211);
  return buf;
}

void MakeIndex(MemFileSystem* fs, const std::string& x_name, const std::string& y_name, bool composite,
               std::vector<FieldDef> fields, const std::vector<int>& from) {
  const std::vector<uint8_t> db = fs->Contents("t.db");
  TableHeader th;
  std::vector<ChainRecord> rows = ChainRecords(db, &th);
  const uint16_t secondary = static_cast<uint16_t>(fields.size());
  fields.push_back({"ID", FieldType::kLong, 4});
  fields.push_back({"Blk Num", FieldType::kShort, 2});
  MemFileSystem ix;
  CreateOptions o;
  o.block_size = 1024;
  o.key_fields = static_cast<uint16_t>(fields.size() - 1);
  std::unique_ptr<TableWriter> w;
  ASSERT_OK(TableWriter::Create(&ix, "x.db", fields, o, &w));
  RecordBuilder rb(w->fields());
  std::map<std::string, std::vector<uint8_t>> sorted;  // entries in key order
  for (const ChainRecord& r : rows) {
    rb.Clear();
    for (uint16_t i = 0; i < secondary; ++i) {
      const Field& tf = th.fields[size_t(from[i])];
      rb.SetRaw(i, r.bytes.data() + tf.offset, tf.size);
    }
    rb.SetRaw(secondary, r.bytes.data(), 4);
    rb.SetInt(secondary + 1, r.block);
    std::vector<uint8_t> e(rb.data(), rb.data() + rb.size());
    sorted[std::string(e.begin(), e.end() - 2)] = e;
  }
  for (auto& [k, e] : sorted) ASSERT_OK(w->Append(e.data()));
  ASSERT_OK(w->Finish());
  std::vector<uint8_t> x = ix.Contents("x.db"), y = ix.Contents("x.PX");
  x[hdr::kFileType] = composite ? 8 : 5;
  x[hdr::kStructureStamp] = db[hdr::kStructureStamp];
  y[hdr::kFileType] = composite ? 7 : 4;
  fs->SetContents(x_name, x);
  fs->SetContents(y_name, y);
}

void MakeIndexedTable(MemFileSystem* fs, int rows, bool keyed = true) {
  CreateOptions o;
  o.block_size = 1024;
  o.key_fields = keyed ? 1 : 0;
  const std::vector<FieldDef> fields = {
      {"ID", FieldType::kLong, 4}, {"Grp", FieldType::kShort, 2}, {"Name", FieldType::kAlpha, 100}};
  ASSERT_NO_FATAL_FAILURE(WriteTable(fs, "t.db", fields, o, rows, [](RecordBuilder* rb, int row) {
    const int i = row + 1;
    rb->SetInt(0, i);
    rb->SetInt(1, i % 7);
    rb->SetAlpha(2, NameOf(i));
  }));
  if (!keyed) return;
  MakeIndex(fs, "t.X02", "t.Y02", false, {{"Grp", FieldType::kShort, 2}}, {1});
  MakeIndex(fs, "t.XG0", "t.YG0", true, {{"Name", FieldType::kAlpha, 100}, {"Grp", FieldType::kShort, 2}}, {2, 1});
}

std::vector<std::string> RowsOf(const std::vector<int>& ids) {
  std::vector<std::string> rows;
  for (int id : ids) rows.push_back(Number(id) + " | " + Number(id % 7) + " | \"" + NameOf(id) + "\" | ");
  return rows;
}

TEST(MadeTableTest, RandomWalksMatchAModel) {
  // Odd seeds leave the head blocks; even ones empty the table's first
  // blocks, whose successors' rows then move into the head block.
  for (int seed = 1; seed <= 4; ++seed) {
    MemFileSystem fs;
    MakeIndexedTable(&fs, 120);
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u;
    std::vector<int> ids, left;
    std::vector<bool> doom(120);
    for (int i = 1; i <= 120; ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      doom[size_t(i - 1)] = x % (seed + 2) == 0 || (i <= 30 && seed % 2 == 0) || (i > 100 && seed == 3);
      ids.push_back(i);
      if (!doom[size_t(i - 1)]) left.push_back(i);
    }
    EXPECT_EQ(Walk(&fs, "t.db", RowsOf(ids), 1251, [&](size_t i) { return doom[i]; }), RowsOf(left)) << "seed " << seed;
    ExpectHintsExact(&fs, "t.db", "t.X02");
    ExpectHintsExact(&fs, "t.db", "t.XG0");
  }
}

TEST(MadeTableTest, PurgeAndEmptyingTheTable) {
  MemFileSystem fs;
  MakeIndexedTable(&fs, 200);
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE Grp < 3", &st));
  uint32_t deleted = 0;
  ASSERT_OK(ExecuteDelete(&fs, st, DateFormat(), &deleted));
  std::vector<int> left;
  for (int i = 1; i <= 200; ++i)
    if (i % 7 >= 3) left.push_back(i);
  EXPECT_EQ(deleted, 200u - left.size());
  ExpectTable(&fs, "t.db", RowsOf(left), 1251, "after the purge");
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\"", &st));
  ASSERT_OK(ExecuteDelete(&fs, st, DateFormat(), &deleted));
  ExpectTable(&fs, "t.db", {}, 1251, "after emptying the table");
  // The emptied table and its indexes open for changing again.
  std::unique_ptr<TableEditor> ed;
  EXPECT_OK(TableEditor::Open(&fs, "t.db", &ed));
}

// Several changes through one editor, each emptying the head block of an
// index or deleting entries that moved into it with the change before.
TEST(MadeTableTest, SeveralChangesThroughOneEditor) {
  MemFileSystem fs;
  MakeIndexedTable(&fs, 200);
  std::vector<int> left;
  for (int i = 1; i <= 200; ++i) left.push_back(i);
  ExpectTable(&fs, "t.db", RowsOf(left), 1251, "as made");
  // 9 entries a block: the .XG0 spans many blocks and its .YG0 two levels.
  EXPECT_GE(fs.Contents("t.YG0")[hdr::kIndexLevels], 2);
  std::unique_ptr<TableEditor> ed;
  ASSERT_OK(TableEditor::Open(&fs, "t.db", &ed));
  const std::vector<std::function<bool(int)>> steps = {
      [](int id) { return NameOf(id) < "N030"; }, [](int id) { return NameOf(id) < "N060"; },
      [](int id) { return id % 7 < 5; }, [](int id) { return id % 7 == 5; }, [](int id) { return id % 2 == 0; },
      [](int) { return true; }};
  for (size_t step = 0; step < steps.size(); ++step) {
    std::vector<RowPos> batch;
    std::vector<int> kept;
    ASSERT_OK(ed->ForEachRecord([&](RowPos pos, const uint8_t* rec) {
                    int id = GetInt(ed->header().fields[0], rec);
                    if (steps[step](id)) batch.push_back(pos);
                    else kept.push_back(id);
                    return true;
                  }));
    Status st = ed->Delete(batch, nullptr);
    ASSERT_OK(st) << "step " << step << ": " << st.ToString();
    // Steps of one group, or each written at once.
    if (step % 2 == 1) {
      ASSERT_OK(ed->Flush());
    }
    left = kept;
    ExpectTable(&fs, "t.db", RowsOf(left), 1251, "after step " + std::to_string(step));
  }
  ed.reset();
  ExpectHintsExact(&fs, "t.db", "t.X02");
  ExpectHintsExact(&fs, "t.db", "t.XG0");
}

TEST(MadeTableTest, TablesWhoseRowsCannotBeMatchedAreRefused) {
  std::unique_ptr<TableEditor> ed;
  {
    // A table without a key: index entries have nothing to match rows by.
    MemFileSystem fs;
    MakeIndexedTable(&fs, 20, /*keyed=*/false);
    fs.SetContents("t.X02", std::vector<uint8_t>(4096, 0));
    fs.SetContents("t.Y02", std::vector<uint8_t>(4096, 0));
    Files before = Snapshot(&fs);
    Status st = TableEditor::Open(&fs, "t.db", &ed);
    EXPECT_EQ(st.code(), ErrorCode::kNotSupported);
    EXPECT_NE(st.ToString().find("no key"), std::string::npos) << st.ToString();
    EXPECT_EQ(Snapshot(&fs), before);
  }
  // The second index lists a row twice and another not at all, or a row
  // the table does not have, while the first index lists every row.
  for (bool twice : {true, false}) {
    MemFileSystem fs;
    MakeIndexedTable(&fs, 40);
    std::vector<uint8_t> x = fs.Contents("t.XG0");
    uint8_t* e = &x[LoadLE16(&x[hdr::kHeaderSize]) + 6];  // entries of 108 bytes, the ID at 102
    if (twice) std::memcpy(e + 102, e + 108 + 102, 4);
    else EncodeFlippedInt(e + 102, 9999, 4);
    fs.SetContents("t.XG0", x);
    Files before = Snapshot(&fs);
    Status st = TableEditor::Open(&fs, "t.db", &ed);
    EXPECT_EQ(st.code(), ErrorCode::kNotSupported);
    EXPECT_NE(st.ToString().find(twice ? "more than once" : "does not have"), std::string::npos) << st.ToString();
    EXPECT_EQ(Snapshot(&fs), before);
  }
}

TEST(MadeTableTest, StoppedAtEveryWriteAllFilesAreOldOrAllNew) {
  const std::vector<int> all = Range(1, 120), purged = Range(51, 120);
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 50", &st));
  ForEachFaultPoint(
      {Fault::kStop}, [](FaultFileSystem* fs) { MakeIndexedTable(fs, 120); },
      [&](FaultFileSystem* fs) { return RunDelete(fs, st); },
      [&](FaultFileSystem* fs, const FaultPoint& p) {
        // What a killed process leaves, undone the way the next open does.
        bool undone = false;
        ASSERT_OK(RecoverJournal(fs, "t.db", nullptr, &undone));
        std::vector<std::string> rows = ReadRows(fs, "t.db", 1251);
        ExpectTable(fs, "t.db", rows == RowsOf(all) ? RowsOf(all) : RowsOf(purged), 1251, p.where);
      },
      400);
}

}  // namespace
}  // namespace paradox
