// Keyed files whose records break their key order are damage: the checker
// reports them and the editor refuses them before it writes anything.
#include "paradox/format/key_order.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "paradox/format/bytes.h"
#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/sql.h"
#include "paradox/store/table_editor.h"
#include "../support/fixture_files.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

std::vector<std::string> Problems(FileSystem* fs, const std::string& db) {
  std::vector<std::string> problems;
  Status st = CheckTable(fs, db, &problems);
  if (!st.ok()) problems.push_back(st.ToString());
  return problems;
}

// A keyed table of names under the "DBWINUS0" collation, in the order
// given (written in order, then given its names: the writer keeps keys in
// byte order), without its .PX.
void NamesTable(MemFileSystem* fs, const std::vector<std::string>& names) {
  CreateOptions o;
  o.key_fields = 1;
  o.sort_order = 0x4C;
  o.sort_order_name = "DBWINUS0";
  WriteTable(fs, "t.db", {{"Name", FieldType::kAlpha, 12}, {"N", FieldType::kLong, 4}}, o,
             static_cast<int>(names.size()), [&](RecordBuilder* rb, int i) {
               rb->SetAlpha(0, std::string(1, char('a' + i)));
               rb->SetInt(1, i);
             });
  std::vector<uint8_t> db = fs->Contents("t.db");
  for (size_t i = 0; i < names.size(); ++i) {
    uint8_t* name = &db[LoadLE16(&db[hdr::kHeaderSize]) + 6 + 16 * i];
    std::fill(name, name + 12, 0);
    std::copy(names[i].begin(), names[i].end(), name);
  }
  fs->SetContents("t.db", db);
  (void)fs->Remove("t.PX");
}

// Every way of changing the table is refused as damage, writing nothing;
// the checker says why.
void ExpectRefused(MemFileSystem* fs, const std::string& why) {
  const std::vector<uint8_t> before = fs->Contents("t.db");
  std::unique_ptr<TableEditor> ed;
  Status st = TableEditor::Open(fs, "t.db", &ed);
  EXPECT_EQ(st.code(), ErrorCode::kCorruptBlock) << why << ": " << st.ToString();
  ed.reset();
  Statement all;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\"", &all));
  uint32_t deleted = 0;
  EXPECT_EQ(ExecuteDelete(fs, all, DateFormat(), &deleted).code(), ErrorCode::kCorruptBlock) << why;
  EXPECT_EQ(deleted, 0u);
  EXPECT_TRUE(fs->Contents("t.db") == before) << why;
  EXPECT_FALSE(fs->FileExists("t.PX")) << why << ": an index was built";
  EXPECT_FALSE(fs->FileExists("t.db-journal")) << why;
  EXPECT_THAT(Problems(fs, "t.db"), Contains(HasSubstr("t.db: block 1, record"))) << why;
}

TEST(KeyOrderTest, WhatNoCollationAllowsIsRefused) {
  // Repeated keys, and a key that comes back after another: wrong whatever
  // the collation makes of the names.
  for (const auto& names : std::vector<std::vector<std::string>>{{"b", "a", "b"}, {"x", "y", "y"}}) {
    MemFileSystem fs;
    NamesTable(&fs, names);
    ExpectRefused(&fs, names[0] + names[1] + names[2]);
  }
  // Bytes after a text's end are no part of it: "ab" twice is one key.
  MemFileSystem fs;
  NamesTable(&fs, {"ab", std::string("ab\0" "2", 4)});
  ExpectRefused(&fs, "ab, ab\\0 2");
}

TEST(KeyOrderTest, WhatOnlyTheCollationDecidesIsTrusted) {
  // "b" before "a" may be right under a collation the files do not hold.
  MemFileSystem fs;
  NamesTable(&fs, {"b", "a", "c"});
  std::unique_ptr<TableEditor> ed;
  Status st = TableEditor::Open(&fs, "t.db", &ed);
  EXPECT_OK(st);
  ed.reset();
  std::vector<std::string> problems = Problems(&fs, "t.db");
  EXPECT_TRUE(problems.empty()) << problems.front();
}

// Issue 11: the inputs the fuzz target stopped on, keyed tables without
// their .PX whose records repeat a key, were changed and then checked
// damaged. They are refused before anything is written.
TEST(KeyOrderTest, Issue11FuzzInputsAreRefusedBeforeWriting) {
  const std::filesystem::path dir = testsupport::PathFromUtf8(ADVCLEAN_FIXTURES_DIR).parent_path() / "fuzz";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no kept fuzz inputs at " << testsupport::Utf8(dir);
  int seen = 0;
  for (const char* name : {"keyed-order-1.db", "keyed-order-2.db", "keyed-order-3.db"}) {
    std::vector<uint8_t> bytes;
    ASSERT_OK(testsupport::ReadWholeFile(testsupport::Utf8(dir / name), &bytes)) << name;
    MemFileSystem fs;
    fs.SetContents("t.db", bytes);
    Statement purge;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE \"Price\"<\"0\"", &purge));
    uint32_t deleted = 0;
    EXPECT_EQ(ExecuteDelete(&fs, purge, DateFormat(), &deleted).code(), ErrorCode::kCorruptBlock) << name;
    ExpectRefused(&fs, name);
    ++seen;
  }
  EXPECT_EQ(seen, 3);
}

}  // namespace
}  // namespace paradox
