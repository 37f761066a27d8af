#include "paradox/sql.h"

#include <gtest/gtest.h>

#include "../support/status_assert.h"

namespace paradox {
namespace {

TEST(SqlTest, OrderedReadOfTheUtility) {
  Statement st;
  ASSERT_OK(ParseStatement("SELECT * FROM \"C:\\Program Files\\Morvane\\AdvBlock.db\"\r\n"
                             "ORDER BY FDate,FTime,FName\r\n",
                             &st));
  EXPECT_EQ(st.kind, Statement::Kind::kSelect);
  EXPECT_EQ(st.table, "C:\\Program Files\\Morvane\\AdvBlock.db");
  EXPECT_TRUE(st.columns.empty());
  ASSERT_EQ(st.order_by.size(), 3u);
  EXPECT_EQ(st.order_by[0].field, "FDate");
  EXPECT_EQ(st.order_by[1].field, "FTime");
  EXPECT_EQ(st.order_by[2].field, "FName");
  EXPECT_FALSE(st.order_by[2].descending);
}

TEST(SqlTest, PurgeOfTheUtility) {
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"D:\\my data\\AdvBlock.db\"\r\nWHERE FDate<\"01.01.2011\"\r\n", &st));
  EXPECT_EQ(st.kind, Statement::Kind::kDelete);
  EXPECT_EQ(st.table, "D:\\my data\\AdvBlock.db");
  ASSERT_TRUE(st.has_where);
  EXPECT_EQ(st.where.field, "FDate");
  EXPECT_EQ(st.where.op, CompareOp::kLess);
  EXPECT_EQ(st.where.literal, "01.01.2011");
}

TEST(SqlTest, EveryComparisonAndKeywordCase) {
  const std::pair<const char*, CompareOp> ops[] = {
      {"<", CompareOp::kLess},           {"<=", CompareOp::kLessEqual}, {"=", CompareOp::kEqual},
      {"<>", CompareOp::kNotEqual},      {">=", CompareOp::kGreaterEqual}, {">", CompareOp::kGreater}};
  for (const auto& [text, op] : ops) {
    Statement st;
    std::string sql = std::string("delete from 'T.db' where FNumber ") + text + " 5;";
    ASSERT_OK(ParseStatement(sql, &st)) << sql;
    EXPECT_EQ(st.where.op, op) << sql;
    EXPECT_EQ(st.where.literal, "5");
  }
}

TEST(SqlTest, FieldListsQuotedNamesAndDescending) {
  Statement st;
  ASSERT_OK(ParseStatement("Select FName, \"Zip Code\" From \"a.db\" Order By \"Zip Code\" DESC, FName ASC", &st));
  ASSERT_EQ(st.columns.size(), 2u);
  EXPECT_EQ(st.columns[1], "Zip Code");
  ASSERT_EQ(st.order_by.size(), 2u);
  EXPECT_TRUE(st.order_by[0].descending);
  EXPECT_FALSE(st.order_by[1].descending);
}

TEST(SqlTest, DoubledQuoteStandsForOne) {
  Statement st;
  ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE FName = 'O''Brien'", &st));
  EXPECT_EQ(st.where.literal, "O'Brien");
}

TEST(SqlTest, RejectsBrokenStatements) {
  const char* bad[] = {
      "",
      "UPDATE \"t.db\" SET a=1",
      "SELECT FROM \"t.db\"",
      "SELECT * \"t.db\"",
      "SELECT * FROM",
      "SELECT * FROM \"t.db",
      "SELECT * FROM \"t.db\" ORDER FDate",
      "SELECT * FROM \"t.db\" ORDER BY",
      "SELECT * FROM \"t.db\" ORDER BY FDate,",
      "DELETE FROM \"t.db\" WHERE FDate",
      "DELETE FROM \"t.db\" WHERE FDate ! \"1\"",
      "DELETE FROM \"t.db\" WHERE FDate < FTime",
      "DELETE FROM \"t.db\" WHERE FDate < \"1\" AND",
      "SELECT * FROM \"\"",
  };
  for (const char* sql : bad) {
    Statement st;
    Status s = ParseStatement(sql, &st);
    EXPECT_EQ(s.code(), ErrorCode::kSyntaxError) << sql;
    EXPECT_GE(s.texts().size(), 2u) << sql;
  }
}

}  // namespace
}  // namespace paradox
