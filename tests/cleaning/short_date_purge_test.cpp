// The purge under the short date formats of many locales: the literal each
// one gives, and the rows the engine deletes when it reads it back.
#include <gtest/gtest.h>

#include "cleaning/cleaner.h"
#include "cleaning/date_text.h"
#include "pass_fixture.h"
#include "paradox/engine.h"
#include "../support/short_dates.h"
#include "table/errors.h"

namespace cleaning {
namespace {

class ShortDatePurgeTest : public testing::PassTest {
 protected:
  void TearDown() override { paradox::Engine::set_date_format(paradox::SystemDateFormat()); }

  // The analysis on a fresh table with `format` as the system's short date
  // format, for the engine and for the literal alike.
  void Analyse(const std::string& name, const paradox::DateFormat& format) {
    paradox::Engine::set_date_format(format);
    TCleaner with_format(state, Query, Table, progress, format);
    state.FTablePath = testing::WriteTable(name, testing::PurgeRows());
    with_format.CreateList();
  }

  void Check(const testsupport::ShortDate& c, const paradox::DateFormat& format, const std::string& name) {
    SCOPED_TRACE(std::string(c.where) + ": " + c.pattern);
    EXPECT_EQ(PurgeDateLiteral(format), c.literal);
    ASSERT_NO_THROW(Analyse(name, format));
    EXPECT_EQ(Query.RowsAffected(), 5);
    EXPECT_EQ(testing::Tags(state.FTablePath), testing::PurgeKept());
  }
};

TEST_F(ShortDatePurgeTest, EveryLocalesLiteralPurgesExactlyTheRowsBefore2011) {
  int n = 0;
  for (const auto& c : testsupport::kShortDates)
    Check(c, testsupport::ShortDateFormat(c.pattern), "short_date_" + std::to_string(n++));
  for (const auto& c : testsupport::kRussianShortDates)
    Check(c, testsupport::RussianShortDateFormat(c.pattern), "short_date_" + std::to_string(n++));
  EXPECT_GE(n, 25);
}

TEST_F(ShortDatePurgeTest, AnUnreadableFormatPurgesNothingAndNamesTheFormat) {
  for (const char* pattern : {"MM/yyyy", "dd.mm.yyyy", "yMd"}) {
    SCOPED_TRACE(pattern);
    const paradox::DateFormat format = testsupport::ShortDateFormat(pattern);
    paradox::Engine::set_date_format(format);
    TCleaner with_format(state, Query, Table, progress, format);
    state.FTablePath = testing::WriteTable("short_date_unreadable", testing::PurgeRows());
    const std::vector<uint8_t> before = testing::FileBytes(state.FTablePath);
    int would_purge = 0;
    EXPECT_THROW(with_format.PreviewList(&would_purge), dataset::EDBEngineError);  // a dry run promises no purge that fails
    try {
      with_format.CreateList();
      ADD_FAILURE() << "the analysis ran";
    } catch (const dataset::EDBEngineError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("Invalid literal"), std::string::npos) << message;
      EXPECT_NE(message.find(std::string("short date format \"") + pattern + "\""), std::string::npos) << message;
    }
    EXPECT_EQ(testing::FileBytes(state.FTablePath), before);
    Query.Close();
  }
}

}  // namespace
}  // namespace cleaning
