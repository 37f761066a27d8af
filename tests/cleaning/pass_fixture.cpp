#include "pass_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "table/block_rec.h"
#include "table/tquery.h"
#include "table/ttable.h"

namespace cleaning::testing {

using paradox::FieldDef;
using paradox::FieldType;

std::string WriteTable(const std::string& test, const std::vector<Row>& rows, const TableOptions& options) {
  std::filesystem::path dir = std::filesystem::path(ADVCLEAN_TEST_TMPDIR) / ("cleaning_" + test);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "AdvBlock.db").string();

  std::vector<FieldDef> fields;
  if (options.keyed) fields.push_back({"ID", FieldType::kAutoInc, 4});
  fields.push_back({"FName", FieldType::kAlpha, 80});
  fields.push_back({"FDate", FieldType::kDate, 4});
  fields.push_back({"FTime", FieldType::kTime, 4});
  if (options.alpha_number) fields.push_back({"FNumber", FieldType::kAlpha, 10});
  else if (options.long_number) fields.push_back({"FNumber", FieldType::kLong, 4});
  else if (!options.without_number) fields.push_back({"FNumber", FieldType::kShort, 2});
  fields.push_back({"FOrder", FieldType::kLong, 4});
  fields.push_back({"FYearOrder", FieldType::kShort, 2});
  fields.push_back({"FTag", FieldType::kLong, 4});
  paradox::CreateOptions create;
  if (options.keyed) create.key_fields = 1;

  std::unique_ptr<paradox::TableWriter> w;
  paradox::Status st = paradox::TableWriter::Create(paradox::FileSystem::Default(), path, fields, create, &w);
  EXPECT_TRUE(st.ok()) << st.ToString();
  if (!st.ok()) return path;
  paradox::RecordBuilder rb(w->fields());
  int32_t id = 0;
  for (const Row& r : rows) {
    rb.Clear();
    int f = 0;
    if (options.keyed) rb.SetInt(f++, ++id);
    if (*r.name != '\0') rb.SetAlpha(f, r.name);
    ++f;
    if (r.day >= 0) rb.SetInt(f, static_cast<int32_t>(r.day + paradox::kDateTimeEpochDay));
    ++f;
    if (r.ms >= 0) rb.SetInt(f, r.ms);
    ++f;
    if (options.alpha_number) rb.SetAlpha(f++, r.number_text ? r.number_text : std::to_string(r.number));
    else if (!options.without_number) rb.SetInt(f++, r.number);
    rb.SetInt(f++, r.order);
    rb.SetInt(f++, r.year);
    rb.SetInt(f++, r.tag);
    st = w->Append(rb.data());
    EXPECT_TRUE(st.ok()) << st.ToString();
  }
  st = w->Finish();
  EXPECT_TRUE(st.ok()) << st.ToString();
  return path;
}

std::vector<Row> PurgeRows() {
  const auto day = [](int y, int m, int d) {
    return static_cast<int32_t>(paradox::DayFromCivil(y, m, d) - paradox::kDateTimeEpochDay);
  };
  return {{"a", day(1911, 6, 1), 0, 0, 0, 0, 1},   {"b", day(1949, 12, 31), 0, 0, 0, 0, 2},
          {"c", day(1950, 1, 1), 0, 0, 0, 0, 3},   {"d", day(2001, 1, 1), 0, 0, 0, 0, 4},
          {"e", day(2010, 12, 31), 0, 0, 0, 0, 5}, {"f", day(2011, 1, 1), 0, 0, 0, 0, 6},
          {"g", day(2011, 1, 2), 0, 0, 0, 0, 7},   {"h", day(2011, 11, 1), 0, 0, 0, 0, 8},
          {"i", day(2049, 12, 31), 0, 0, 0, 0, 9}, {"j", day(2111, 1, 1), 0, 0, 0, 0, 10},
          {"k", -1, 0, 0, 0, 0, 11}};
}

std::vector<int32_t> PurgeKept() { return {6, 7, 8, 9, 10, 11}; }

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<int32_t> Tags(const std::string& path) {
  std::vector<int32_t> out;
  dataset::TTable t("Check");
  t.SetTableName(path);
  t.Open();
  for (; !t.Eof(); t.Next()) out.push_back(t.FieldByName("FTag")->AsInteger());
  t.Close();
  return out;
}

bool NoAdjacentRepeats(const std::string& path) {
  dataset::TQuery q("Check");
  q.SQL.Add("SELECT * FROM \"" + path + "\"");
  q.SQL.Add("ORDER BY FDate,FTime,FName");
  q.Open();
  bool first = true, repeats = false;
  TBlockRec last, rec;
  for (; !q.Eof(); q.Next()) {
    dataset::ReadBlockRec(q, &rec);
    repeats = repeats || (!first && SameBlock(last, rec));
    last = rec;
    first = false;
  }
  return !repeats;
}

std::vector<double> RecordedProgress::Updates() const {
  std::vector<double> out;
  for (const auto& [text, percent] : shown)
    if (text.empty() && percent > 0) out.push_back(percent);
  return out;
}

}  // namespace cleaning::testing
