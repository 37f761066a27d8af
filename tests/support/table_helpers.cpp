#include "../support/table_helpers.h"

#include <gtest/gtest.h>

#include "paradox/delete_statement.h"
#include "paradox/table.h"
#include "paradox/value.h"

namespace paradox {

void WriteTable(FileSystem* fs, const std::string& path, std::vector<FieldDef> fields, const CreateOptions& o, int rows,
                const std::function<void(RecordBuilder*, int)>& fill) {
  std::unique_ptr<TableWriter> w;
  ASSERT_OK(TableWriter::Create(fs, path, std::move(fields), o, &w));
  RecordBuilder rb(w->fields());
  for (int i = 0; i < rows; ++i) {
    rb.Clear();
    fill(&rb, i);
    ASSERT_OK(w->Append(rb.data())) << path << " row " << i;
  }
  ASSERT_OK(w->Finish());
}

std::vector<int> Ids(FileSystem* fs) {
  std::unique_ptr<Table> t;
  Status st = Table::Open(fs, "t.db", OpenOptions(), &t);
  EXPECT_OK(st);
  std::vector<int> ids;
  if (!st.ok()) return ids;
  auto c = t->NewCursor();
  for (; c->Valid(); c->Next()) ids.push_back(GetInt(t->fields()[0], c->record()));
  EXPECT_OK(c->status());
  return ids;
}

void FortyRows(MemFileSystem* fs, bool keyed) {
  CreateOptions o;
  o.block_size = 1024;
  o.key_fields = keyed ? 1 : 0;
  WriteTable(fs, "t.db", {{"ID", FieldType::kLong, 4}, {"Pad", FieldType::kAlpha, 200}}, o, 40,
             [](RecordBuilder* rb, int i) { rb->SetInt(0, i + 1); });
}

std::vector<int> Range(int from, int to, int skip_every) {
  std::vector<int> ids;
  for (int i = from; i <= to; ++i)
    if (skip_every == 0 || i % skip_every != 1) ids.push_back(i);
  return ids;
}

std::map<std::string, std::vector<uint8_t>> PaddedTable(bool keyed, int rows) {
  MemFileSystem fs;
  CreateOptions o;
  o.block_size = 1024;
  o.index_block_size = 1024;
  o.key_fields = keyed ? 1 : 0;
  WriteTable(&fs, "t.db", {{"ID", FieldType::kLong, 4}, {"Pad", FieldType::kAlpha, 200}}, o, rows,
             [](RecordBuilder* rb, int i) {
               rb->SetInt(0, i + 1);
               rb->SetAlpha(1, "row " + std::to_string(i + 1));
             });
  std::map<std::string, std::vector<uint8_t>> files = {{"t.db", fs.Contents("t.db")}};
  if (keyed) files["t.PX"] = fs.Contents("t.PX");
  return files;
}

Status RunDelete(FileSystem* fs, const Statement& st) {
  uint32_t deleted = 0;
  return ExecuteDelete(fs, st, DateFormat(), &deleted);
}

}  // namespace paradox
