// Reading rows into TBlockRec with the conversions of each field.
#include "table/block_rec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "table/errors.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

namespace dataset {
namespace {

using paradox::FieldDef;
using paradox::FieldType;

struct Row {
  std::string name;
  int32_t day = 0;  // 0: empty
  int32_t ms = -1;  // -1: empty
  int32_t number = 0, order = 0, year = 0;
};

// Writes a table with the six fields (spelled in capitals, FNumber of the
// given type) into a fresh folder and returns its path.
std::string MakeTable(const std::string& test, FieldType number_type, const std::vector<Row>& rows) {
  const std::filesystem::path dir = testsupport::FreshFolder("block_rec_" + test);
  std::string path = (dir / "AdvBlock.db").string();
  std::vector<FieldDef> fields = {{"FNAME", FieldType::kAlpha, 80}, {"FDATE", FieldType::kDate, 4},
                                   {"FTIME", FieldType::kTime, 4},  {"FNUMBER", number_type, number_type == FieldType::kShort ? uint8_t(2) : uint8_t(number_type == FieldType::kNumber ? 8 : 4)},
                                   {"FORDER", FieldType::kLong, 4}, {"FYEARORDER", FieldType::kShort, 2}};
  std::unique_ptr<paradox::TableWriter> w;
  paradox::Status st = paradox::TableWriter::Create(paradox::FileSystem::Default(), path, fields,
                                                    paradox::CreateOptions(), &w);
  EXPECT_OK(st);
  if (!st.ok()) return path;
  paradox::RecordBuilder rb(w->fields());
  for (const Row& r : rows) {
    rb.Clear();
    if (!r.name.empty()) rb.SetAlpha(0, r.name);
    if (r.day != 0) rb.SetInt(1, r.day);
    if (r.ms >= 0) rb.SetInt(2, r.ms);
    if (number_type == FieldType::kNumber) rb.SetDouble(3, r.number);
    else rb.SetInt(3, r.number);
    rb.SetInt(4, r.order);
    rb.SetInt(5, r.year);
    EXPECT_OK(w->Append(rb.data()));
  }
  EXPECT_OK(w->Finish());
  return path;
}

std::vector<TBlockRec> ReadAll(TDataSet& ds) {
  std::vector<TBlockRec> out;
  ds.Open();
  for (; !ds.Eof(); ds.Next()) {
    TBlockRec r;
    ReadBlockRec(ds, &r);
    out.push_back(r);
  }
  ds.Close();
  return out;
}

const int32_t k2011 = static_cast<int32_t>(paradox::DayFromCivil(2011, 1, 1));

TEST(BlockRecTest, ConversionsOfEveryField) {
  std::string long_name(80, 'x');
  long_name[63] = 'y';
  std::string path = MakeTable("conv", FieldType::kLong,
                               {{long_name, k2011, 12 * 3600000, 70000, 123456, 2010},
                                {"", 0, -1, 40000, -7, 0},
                                {"abc", k2011 - 1, 0, -1, 0, -5}});
  TTable t;
  t.SetTableName(path);
  std::vector<TBlockRec> recs = ReadAll(t);
  ASSERT_EQ(recs.size(), 3u);

  EXPECT_EQ(recs[0].Name.Length, 64);
  EXPECT_EQ(recs[0].Name.View(), long_name.substr(0, 64));
  EXPECT_EQ(recs[0].Date, 40544.0);
  EXPECT_EQ(recs[0].Time, 0.5);
  EXPECT_EQ(recs[0].Number, 4464);
  EXPECT_EQ(recs[0].Order, 123456);
  EXPECT_EQ(recs[0].YearOrder, 2010);

  EXPECT_EQ(recs[1].Name.Length, 0);
  EXPECT_EQ(recs[1].Date, 0.0);  // empty date: 30 December 1899
  EXPECT_EQ(recs[1].Time, 0.0);
  EXPECT_EQ(recs[1].Number, -25536);
  EXPECT_EQ(recs[1].Order, -7);

  EXPECT_EQ(recs[2].Date, 40543.0);
  EXPECT_EQ(recs[2].Number, -1);
  EXPECT_EQ(recs[2].YearOrder, -5);  // a Short is sign-extended
}

TEST(BlockRecTest, NumberFieldsOfOtherTypes) {
  std::string s = MakeTable("short", FieldType::kShort, {{"a", k2011, 0, -300, 1, 1}});
  std::string n = MakeTable("number", FieldType::kNumber, {{"a", k2011, 0, 70000, 1, 1}});
  TTable ts, tn;
  ts.SetTableName(s);
  tn.SetTableName(n);
  EXPECT_EQ(ReadAll(ts).at(0).Number, -300);
  EXPECT_EQ(ReadAll(tn).at(0).Number, 4464);
}

TEST(BlockRecTest, OrderedReadSortsByDateTimeName) {
  std::string path = MakeTable("order", FieldType::kLong,
                               {{"b", k2011 + 1, 5, 1, 0, 0},
                                {"a", k2011 + 1, 5, 2, 0, 0},
                                {"z", k2011, 9, 3, 0, 0},
                                {"\xC0", k2011 + 1, 5, 4, 0, 0},  // Cyrillic sorts after Latin by byte
                                {"a", k2011 + 1, 4, 5, 0, 0}});
  TQuery q;
  q.SQL.Add("SELECT * FROM \"" + path + "\"");
  q.SQL.Add("ORDER BY FDate,FTime,FName");
  std::vector<int> numbers;
  for (const TBlockRec& r : ReadAll(q)) numbers.push_back(r.Number);
  EXPECT_EQ(numbers, (std::vector<int>{3, 5, 2, 1, 4}));
}

// Names of a DOS code page table reach the record in Windows-1251, cut to
// 64 characters, as the field's text reads, whichever set reads them.
TEST(BlockRecTest, NameOfADosCodePageTableAsTheFieldReadsIt) {
  const std::filesystem::path dir = testsupport::FreshFolder("block_rec_866");
  const std::string path = (dir / "AdvBlock.db").string();
  paradox::CreateOptions o;
  o.code_page = 866;
  std::unique_ptr<paradox::TableWriter> w;
  ASSERT_OK(paradox::TableWriter::Create(paradox::FileSystem::Default(), path,
                                           {{"FName", FieldType::kAlpha, 100}, {"FDate", FieldType::kDate, 4},
                                            {"FTime", FieldType::kTime, 4}, {"FNumber", FieldType::kShort, 2},
                                            {"FOrder", FieldType::kLong, 4}, {"FYearOrder", FieldType::kShort, 2}},
                                           o, &w)
                  );
  const std::string privet = "\x8F\xE0\xA8\xA2\xA5\xE2";  // "Привет" in code page 866
  paradox::RecordBuilder rb(w->fields());
  for (const std::string& name : {privet, std::string(), std::string(70, '\xE0'), std::string(64, 'a') + privet}) {
    rb.Clear();
    if (!name.empty()) rb.SetAlpha(0, name);
    ASSERT_OK(w->Append(rb.data()));
  }
  ASSERT_OK(w->Finish());

  TTable t;
  t.SetTableName(path);
  TQuery q;
  q.SQL.Add("SELECT * FROM \"" + path + "\"");
  for (TDataSet* ds : std::initializer_list<TDataSet*>{&t, &q}) {
    ds->Open();
    std::vector<std::string> names;
    for (; !ds->Eof(); ds->Next()) {
      TBlockRec r;
      ReadBlockRec(*ds, &r);
      EXPECT_EQ(r.Name.View(), ds->FieldByName("FName")->AsString().substr(0, 64));
      names.emplace_back(r.Name.View());
    }
    ds->Close();
    EXPECT_EQ(names, (std::vector<std::string>{"\xCF\xF0\xE8\xE2\xE5\xF2", "", std::string(64, '\xF0'),
                                               std::string(64, 'a')}));
  }
}

TEST(BlockRecTest, MissingFieldStopsTheRead) {
  const std::filesystem::path dir = testsupport::FreshFolder("block_rec_missing");
  std::string path = (dir / "AdvBlock.db").string();
  std::unique_ptr<paradox::TableWriter> w;
  ASSERT_OK(paradox::TableWriter::Create(paradox::FileSystem::Default(), path,
                                           {{"FName", FieldType::kAlpha, 10}, {"FDate", FieldType::kDate, 4},
                                            {"FTime", FieldType::kTime, 4}},
                                           paradox::CreateOptions(), &w)
                  );
  paradox::RecordBuilder rb(w->fields());
  rb.Clear();
  ASSERT_OK(w->Append(rb.data()));
  ASSERT_OK(w->Finish());
  TQuery q;
  q.SQL.Add("SELECT * FROM \"" + path + "\"");
  q.SQL.Add("ORDER BY FDate,FTime,FName");
  q.Open();
  TBlockRec r;
  r.Order = 99;
  try {
    ReadBlockRec(q, &r);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query: Field 'FNumber' not found");
  }
  EXPECT_EQ(r.Order, 99);  // nothing half-read is handed out
}

}  // namespace
}  // namespace dataset
