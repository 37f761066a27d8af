// Both passes on a table held in memory: the data sets take their session's
// file system, so the passes read and change only what it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cleaning/cleaner.h"
#include "paradox/env/file_mem.h"
#include "paradox/file.h"
#include "paradox/table.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "pass_fixture.h"
#include "table/session.h"

namespace cleaning {
namespace {

using testing::k2011;
using testing::Row;

constexpr int32_t kHour = 3600000;
// A path no disk holds: the passes can only have found it in memory.
const std::string kPath = "memory-only/AdvBlock.db";

class MemoryPassTest : public testing::PassTest {
 protected:
  void SetUp() override { dataset::Session().set_file_system(&fs); }
  void TearDown() override { dataset::Session().set_file_system(nullptr); }

  void Write(const std::vector<Row>& rows) {
    using paradox::FieldType;
    std::vector<paradox::FieldDef> fields = {
        {"FName", FieldType::kAlpha, 80}, {"FDate", FieldType::kDate, 4},      {"FTime", FieldType::kTime, 4},
        {"FNumber", FieldType::kShort, 2}, {"FOrder", FieldType::kLong, 4},    {"FYearOrder", FieldType::kShort, 2},
        {"FTag", FieldType::kLong, 4}};
    std::unique_ptr<paradox::TableWriter> w;
    ASSERT_TRUE(paradox::TableWriter::Create(&fs, kPath, fields, paradox::CreateOptions(), &w).ok());
    paradox::RecordBuilder rb(w->fields());
    for (const Row& r : rows) {
      rb.Clear();
      rb.SetAlpha(0, r.name);
      rb.SetInt(1, static_cast<int32_t>(r.day + paradox::kDateTimeEpochDay));
      rb.SetInt(2, r.ms);
      rb.SetInt(3, r.number);
      rb.SetInt(4, r.order);
      rb.SetInt(5, r.year);
      rb.SetInt(6, r.tag);
      ASSERT_TRUE(w->Append(rb.data()).ok());
    }
    ASSERT_TRUE(w->Finish().ok());
  }

  // The tags of the table's rows in its own order, read from memory.
  std::vector<int32_t> Tags() {
    std::unique_ptr<paradox::Table> t;
    paradox::Status st = paradox::Table::Open(&fs, kPath, paradox::OpenOptions(), &t);
    EXPECT_TRUE(st.ok()) << st.ToString();
    std::vector<int32_t> tags;
    if (!st.ok()) return tags;
    for (auto c = t->NewCursor(); c->Valid(); c->Next())
      tags.push_back(static_cast<int32_t>(paradox::GetInt(t->fields()[6], c->record())));
    return tags;
  }

  paradox::MemFileSystem fs;
};

TEST_F(MemoryPassTest, PurgeAnalysisAndDeletionChangeTheTableInMemory) {
  Write({
      {"A", k2011 - 1, 8 * kHour, 1, 10, 2010, 1},  // before 2011: purged
      {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 2},
      {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 3},  // a copy of 2
      {"B", k2011 + 2, 9 * kHour, 2, 11, 2011, 4},
      {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 5},  // another copy of 2
  });
  state.FTablePath = kPath;
  ASSERT_TRUE(cleaner.CreateList());
  EXPECT_EQ(state.FDupList.Count(), 2);
  EXPECT_EQ(Tags(), (std::vector<int32_t>{2, 3, 4, 5}));

  cleaner.SortList();
  cleaner.DeleteDoubles();
  EXPECT_EQ(state.FDupList.Count(), 0);
  const std::vector<int32_t> left = Tags();
  // One row of the three alike stays, and the row of its own.
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(std::count(left.begin(), left.end(), 4), 1);
  // Only the table's own files, and no journal left behind.
  std::vector<std::string> names;
  ASSERT_TRUE(fs.ListDir("memory-only", &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"AdvBlock.db"});
  EXPECT_FALSE(paradox::FileSystem::Default()->FileExists(kPath));
}

}  // namespace
}  // namespace cleaning
