#include "table_helpers.h"

#include <gtest/gtest.h>

#include "paradox/table.h"
#include "paradox/value.h"

namespace paradox {

void WriteTable(FileSystem* fs, const std::string& path, std::vector<FieldDef> fields, const CreateOptions& o, int rows,
                const std::function<void(RecordBuilder*, int)>& fill) {
  std::unique_ptr<TableWriter> w;
  ASSERT_TRUE(TableWriter::Create(fs, path, std::move(fields), o, &w).ok());
  RecordBuilder rb(w->fields());
  for (int i = 0; i < rows; ++i) {
    rb.Clear();
    fill(&rb, i);
    ASSERT_TRUE(w->Append(rb.data()).ok()) << path << " row " << i;
  }
  ASSERT_TRUE(w->Finish().ok());
}

std::vector<int> Ids(FileSystem* fs) {
  std::unique_ptr<Table> t;
  Status st = Table::Open(fs, "t.db", OpenOptions(), &t);
  EXPECT_TRUE(st.ok()) << st.ToString();
  std::vector<int> ids;
  if (!st.ok()) return ids;
  auto c = t->NewCursor();
  for (; c->Valid(); c->Next()) ids.push_back(GetInt(t->fields()[0], c->record()));
  EXPECT_TRUE(c->status().ok()) << c->status().ToString();
  return ids;
}

}  // namespace paradox
