#include "tests/app/advblock_writer.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "paradox/file.h"
#include "paradox/table_writer.h"
#include "table/block_rec.h"
#include "table/ttable.h"

namespace testing_app {

namespace {

constexpr int32_t kDayOffset = 693594;  // engine day 1 is 1 January of the year 1

// Paths are UTF-8 both ways, whatever the system's 8-bit code page.
std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace

std::string FreshFolder(const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(ADVCLEAN_TEST_TMPDIR) / "app" / PathOf(name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return Utf8Of(dir);
}

std::string WriteAdvBlock(const std::string& folder, const std::vector<BlockRow>& rows, bool with_number) {
  using paradox::FieldType;
  std::vector<paradox::FieldDef> fields{{"FName", FieldType::kAlpha, 80},
                                        {"FDate", FieldType::kDate, 4},
                                        {"FTime", FieldType::kTime, 4}};
  if (with_number) fields.push_back({"FNumber", FieldType::kShort, 2});
  fields.push_back({"FOrder", FieldType::kLong, 4});
  fields.push_back({"FYearOrder", FieldType::kShort, 2});
  const std::string path = Utf8Of(PathOf(folder) / "AdvBlock.db");
  std::unique_ptr<paradox::TableWriter> writer;
  paradox::Status s =
      paradox::TableWriter::Create(paradox::FileSystem::Default(), path, fields, paradox::CreateOptions{}, &writer);
  if (!s.ok()) throw std::runtime_error("cannot create " + path);
  paradox::RecordBuilder record(writer->fields());
  for (const BlockRow& row : rows) {
    record.Clear();
    int f = 0;
    record.SetAlpha(f++, row.name);
    record.SetInt(f++, row.day + kDayOffset);
    record.SetInt(f++, row.ms);
    if (with_number) record.SetInt(f++, row.number);
    record.SetInt(f++, row.order);
    record.SetInt(f++, row.year);
    if (!writer->Append(record.data()).ok()) throw std::runtime_error("cannot append to " + path);
  }
  if (!writer->Finish().ok()) throw std::runtime_error("cannot finish " + path);
  return path;
}

std::vector<BlockRow> ReadAdvBlock(const std::string& path) {
  dataset::TTable table;
  table.SetTableName(path);
  table.Open();
  std::vector<BlockRow> rows;
  dataset::TBlockRec rec;
  while (!table.Eof()) {
    dataset::ReadBlockRec(table, &rec);
    rows.push_back({std::string(rec.Name.View()), static_cast<int32_t>(rec.Date),
                    static_cast<int32_t>(rec.Time * 86400000 + 0.5), rec.Number, rec.Order, rec.YearOrder});
    table.Next();
  }
  table.Close();
  return rows;
}

}  // namespace testing_app
