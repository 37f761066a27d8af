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
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

namespace cleaning::testing {

std::string WriteTable(const std::string& test, const std::vector<Row>& rows, const TableOptions& options) {
  const std::string path = (testsupport::FreshFolder("cleaning_" + test) / "AdvBlock.db").string();
  testsupport::AdvBlockOptions o;
  o.keyed = options.keyed;
  o.number = options.alpha_number   ? tools::NumberField::kAlpha
             : options.long_number  ? tools::NumberField::kLong
             : options.without_number ? tools::NumberField::kNone
                                      : tools::NumberField::kShort;
  EXPECT_OK(testsupport::WriteAdvBlock(path, rows, o));
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
