// The data sets over real tables: opening, walking, counting, ordering,
// field look-up and the conversions of text and dates.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "paradox/codepage.h"
#include "table/errors.h"
#include "table/tquery.h"
#include "table/ttable.h"

namespace dataset {
namespace {

std::string Fixture(const std::string& rel) { return std::string(ADVCLEAN_FIXTURES_DIR) + "/" + rel; }

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(ADVCLEAN_FIXTURES_DIR))
      GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  }
  static void SetSelect(TQuery& q, const std::string& path, const std::string& order) {
    q.SQL.Clear();
    q.SQL.Add("SELECT * FROM \"" + path + "\"");
    if (!order.empty()) q.SQL.Add("ORDER BY " + order);
  }
};

TEST_F(DataSetTest, TableWalksInKeyOrderAndCounts) {
  TTable t;
  t.SetTableName(Fixture("paradoxdriver/db/ORDERS.DB"));
  t.Open();
  EXPECT_EQ(t.RecordCount(), 224);
  int rows = 0;
  int last = 0;
  for (; !t.Eof(); t.Next()) {
    int no = t.FieldByName("ORDER NO")->AsInteger();  // letter case ignored
    EXPECT_GT(no, last);
    last = no;
    ++rows;
  }
  EXPECT_EQ(rows, 224);
  t.Next();  // past the end stays at the end
  EXPECT_TRUE(t.Eof());
}

TEST_F(DataSetTest, OpeningAnOpenSetKeepsItsRow) {
  TTable t;
  t.SetTableName(Fixture("paradoxdriver/db/ORDERS.DB"));
  t.Open();
  t.Next();
  t.Next();
  int third = t.FieldByName("Order No")->AsInteger();
  t.SetTableName(Fixture("paradoxdriver/db/ORDERS.DB"));  // same name: nothing happens
  t.Open();
  EXPECT_EQ(t.FieldByName("Order No")->AsInteger(), third);
  try {
    t.SetTableName(Fixture("paradoxdriver/db/SERVER.DB"));
    FAIL() << "renaming an open table must fail";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Table: Cannot perform this operation on an open dataset");
  }
  EXPECT_EQ(t.TableName(), Fixture("paradoxdriver/db/ORDERS.DB"));
  t.Close();
  t.Close();  // closing a closed set does nothing
  t.SetTableName(Fixture("paradoxdriver/db/SERVER.DB"));
  t.Open();
  EXPECT_EQ(t.RecordCount(), 4);
}

TEST_F(DataSetTest, EmptyTableIsAtItsEndAtOnce) {
  TTable t;
  t.SetTableName(Fixture("hr-personal/m_dispo.db"));
  t.Open();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecordCount(), 0);
  TQuery q;
  SetSelect(q, Fixture("hr-personal/avoir_a.db"), "Date_abs");
  q.Open();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.RecordCount(), 0);
}

TEST_F(DataSetTest, MissingFieldNamesTheComponent) {
  TQuery q;
  SetSelect(q, Fixture("pdx-samples-ru/CalcTab1.db"), "");
  q.Open();
  try {
    q.FieldByName("FNumber");
    FAIL();
  } catch (const EDBEngineError&) {
    FAIL() << "a missing field is the data set's error, not the engine's";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query: Field 'FNumber' not found");
  }
}

TEST_F(DataSetTest, OrderByUnknownFieldIsAnEngineError) {
  TQuery q;
  SetSelect(q, Fixture("pdx-samples-ru/CalcTab1.db"), "FDate,FTime,FName");
  EXPECT_THROW(q.Open(), EDBEngineError);
  EXPECT_FALSE(q.Active());
}

TEST_F(DataSetTest, OrderedReadPutsEmptyValuesFirstAndKeepsTiesInTableOrder) {
  TQuery q;
  SetSelect(q, Fixture("pdx-samples-ru/CalcTab1.db"), "R_Date, R_Number");
  q.Open();
  ASSERT_EQ(q.RecordCount(), 7);
  std::vector<int> ids;
  for (; !q.Eof(); q.Next()) ids.push_back(q.FieldByName("R_N")->AsInteger());
  // Rows 7, 5, 6 have no date (and 7 no number); then by date.
  EXPECT_EQ(ids, (std::vector<int>{7, 5, 6, 4, 1, 2, 3}));
}

TEST_F(DataSetTest, DatesAndTextAsTheUtilityReadsThem) {
  TQuery q;
  SetSelect(q, Fixture("pdx-samples-ru/CalcTab1.db"), "R_N");
  q.Open();
  // R_N 1: 2001-03-16, text stored as Windows-1251 under a 1252 header.
  EXPECT_EQ(q.FieldByName("R_N")->AsInteger(), 1);
  EXPECT_EQ(q.FieldByName("R_Date")->AsDateTime(), 36966.0);
  EXPECT_EQ(paradox::Cp1251ToUtf8(q.FieldByName("R_Note")->AsString()), "Товар на складе");
  for (int i = 0; i < 4; ++i) q.Next();
  // R_N 5: empty date and note.
  EXPECT_EQ(q.FieldByName("R_Date")->AsDateTime(), 0.0);
  EXPECT_EQ(q.FieldByName("R_Note")->AsString(), "");
  EXPECT_EQ(q.FieldByName("R_Number")->AsInteger(), 0);
}

TEST_F(DataSetTest, DosTextBecomesWindows1251) {
  TTable t;
  t.SetTableName(Fixture("pdx-samples-ru/lekarstva.DB"));
  t.Open();
  std::string name = t.FieldByName("preparati")->AsString();
  EXPECT_EQ(name, paradox::Utf8To1251("Абана"));
}

// Messages are UTF-8 whatever code page the table's text is in: Windows
// text under a 1252 header, and DOS text.
TEST_F(DataSetTest, TextThatIsNoIntegerIsQuotedInUtf8) {
  TQuery q;
  SetSelect(q, Fixture("pdx-samples-ru/CalcTab1.db"), "R_N");
  q.Open();
  try {
    q.FieldByName("R_Note")->AsInteger();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query: 'Товар на складе' is not a valid integer value");
  }
  TTable t;
  t.SetTableName(Fixture("pdx-samples-ru/lekarstva.DB"));
  t.Open();
  try {
    t.FieldByName("preparati")->AsInteger();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Table: 'Абана' is not a valid integer value");
  }
}

TEST_F(DataSetTest, PasswordProtectedTableIsRefused) {
  TTable t;
  t.SetTableName(Fixture("paradoxdriver/encrypt/encrypted.db"));
  try {
    t.Open();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), static_cast<uint16_t>(paradox::ErrorCode::kEncrypted));
  }
  EXPECT_FALSE(t.Active());
}

}  // namespace
}  // namespace dataset
