// The passes when a stop is asked for (a signal, a console event, the end of
// the session) while they run: they end at a group boundary, with every
// deletion made written and the table let go, and the next analysis lists
// what is left.
#include <gtest/gtest.h>

#include "cleaning/cleaner.h"
#include "paradox/journal.h"
#include "paradox/stop.h"
#include "pass_fixture.h"
#include "table/errors.h"

namespace cleaning {
namespace {

using testing::k2011;
using testing::Row;

// Asks for the stop at the `at`-th ProgressDue call (from 1).
struct StoppingProgress : testing::RecordedProgress {
  int at = 0;
  bool ProgressDue() override {
    if (++due_calls == at) paradox::RequestStop();
    return false;
  }
};

class StopTest : public ::testing::Test {
 protected:
  void TearDown() override { paradox::ClearStopRequest(); }
  // 30 pairs of copies, then 4 rows dated before 2011.
  static std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (int i = 0; i < 30; ++i)
      for (int copy = 0; copy < 2; ++copy)
        rows.push_back(Row{"clip", k2011 + i, 3600000, i, 1, 2011, 2 * i + copy});
    for (int i = 0; i < 4; ++i) rows.push_back(Row{"old", k2011 - 1 - i, 0, 0, 0, 2010, 100 + i});
    return rows;
  }

  TPassState state;
  dataset::TQuery Query;
  dataset::TTable Table;
  StoppingProgress progress;
  TCleaner cleaner{state, Query, Table, progress, paradox::SystemDateFormat()};
};

TEST_F(StopTest, DeletionEndsWithItsDeletionsWrittenAndTheTableLetGo) {
  const std::string path = testing::WriteTable("stop_deletion", Rows());
  state.FTablePath = path;
  ASSERT_TRUE(cleaner.CreateList());
  cleaner.SortList();
  ASSERT_EQ(state.FDupList.Count(), 30);

  // The pass asks once after opening, then after each row: the stop comes
  // after row 20, in the middle of a group of deletions not yet due.
  progress = StoppingProgress();
  progress.at = 21;
  EXPECT_THROW(cleaner.DeleteDoubles(), dataset::EStopped);
  paradox::ClearStopRequest();  // for the reads below
  EXPECT_FALSE(Table.Active());
  EXPECT_FALSE(paradox::JournalExists(paradox::FileSystem::Default(), path));
  EXPECT_TRUE(progress.Closed());
  EXPECT_FALSE(cleaner.Running());
  // Rows 0..19 were walked: the first copy of each of the first ten pairs
  // went, and their records are off the list; the rest stay.
  std::vector<int32_t> tags;
  for (int i = 0; i < 30; ++i) {
    if (i >= 10) tags.push_back(2 * i);
    tags.push_back(2 * i + 1);
  }
  std::vector<int32_t> left = testing::Tags(path);
  std::sort(left.begin(), left.end());
  std::sort(tags.begin(), tags.end());
  EXPECT_EQ(left, tags);
  ASSERT_EQ(state.FDupList.Count(), 20);
  EXPECT_EQ(state.FDupList[0]->Date, k2011 + 10);

  // The next analysis lists what is left.
  progress = StoppingProgress();
  ASSERT_TRUE(cleaner.CreateList());
  EXPECT_EQ(state.FDupList.Count(), 20);
}

TEST_F(StopTest, AnalysisEndsInThePurgeOrTheRead) {
  // The first ProgressDue call comes before the purge: it does not start.
  // The second comes in the read, after the purge wrote its deletions.
  for (int at : {1, 2}) {
    SCOPED_TRACE(at == 1 ? "before the purge" : "in the read");
    const std::string path = testing::WriteTable(at == 1 ? "stop_purge" : "stop_read", Rows());
    state.FTablePath = path;
    progress = StoppingProgress();
    progress.at = at;
    EXPECT_THROW(cleaner.CreateList(), dataset::EStopped);
    paradox::ClearStopRequest();
    EXPECT_EQ(Query.RowsAffected(), at == 1 ? 0 : 4);
    EXPECT_EQ(testing::Tags(path).size(), at == 1 ? 64u : 60u);
    EXPECT_FALSE(Query.Active());
    EXPECT_TRUE(state.FDupList.Empty()) << "a list of part of the table was kept";
    EXPECT_TRUE(progress.Closed());
    EXPECT_FALSE(paradox::JournalExists(paradox::FileSystem::Default(), path));
  }
}

}  // namespace
}  // namespace cleaning
