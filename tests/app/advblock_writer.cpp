#include "tests/app/advblock_writer.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "table/block_rec.h"
#include "table/ttable.h"
#include "tests/support/advblock_table.h"
#include "tests/support/temp_folder.h"

namespace testing_app {

namespace {

// Paths are UTF-8 both ways, whatever the system's 8-bit code page.
std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace

std::string FreshFolder(const std::string& name) {
  return Utf8Of(testsupport::FreshFolder("app/" + name));
}

std::string WriteAdvBlock(const std::string& folder, const std::vector<BlockRow>& rows, bool with_number) {
  std::vector<testsupport::AdvRow> written;
  for (const BlockRow& row : rows) written.push_back({row.name, row.day, row.ms, row.number, row.order, row.year});
  testsupport::AdvBlockOptions options;
  options.number = with_number ? tools::NumberField::kShort : tools::NumberField::kNone;
  options.tag = false;
  const std::string path = Utf8Of(PathOf(folder) / "AdvBlock.db");
  const paradox::Status s = testsupport::WriteAdvBlock(path, written, options);
  if (!s.ok()) throw std::runtime_error("cannot write " + path + ": " + s.ToString());
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
