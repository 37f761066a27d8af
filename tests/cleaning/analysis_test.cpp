// The analysis pass on tables written with the engine.
#include <gtest/gtest.h>

#include <filesystem>

#include "cleaning/cleaner.h"
#include "cleaning/texts.h"
#include "pass_fixture.h"
#include "paradox/file.h"
#include "table/errors.h"
#include "tools/sample_data.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

namespace cleaning {
namespace {

using testing::k2011;
using testing::Row;
using testing::TableOptions;

constexpr int32_t kHour = 3600000;

class AnalysisTest : public testing::PassTest {
 protected:
  bool Analyse(const std::string& path) {
    state.FTablePath = path;
    return cleaner.CreateList();
  }
  std::vector<TBlockRec> List() const {
    std::vector<TBlockRec> out;
    for (int i = 0; i < state.FDupList.Count(); ++i) out.push_back(*state.FDupList[i]);
    return out;
  }
};

TEST_F(AnalysisTest, RunsOfRepeatsAndRowsBetweenThem) {
  const std::string path = testing::WriteTable(
      "runs", {
                  {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 1},
                  {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 2},
                  {"A", k2011 + 1, 8 * kHour, 1, 10, 2011, 3},  // three in a row: two records
                  {"B", k2011 + 2, 8 * kHour, 1, 10, 2011, 4},
                  {"B", k2011 + 2, 8 * kHour, 2, 10, 2011, 5},  // same date, time, name; other number
                  {"B", k2011 + 2, 8 * kHour, 1, 10, 2011, 6},
                  {"C", k2011 + 3, 8 * kHour, 1, 5, 2011, 7},
                  {"C", k2011 + 3, 8 * kHour, 1, 6, 2011, 8},  // other order
                  {"C", k2011 + 3, 8 * kHour, 1, 5, 2011, 9},
                  {"D", k2011 + 4, 8 * kHour, 1, 5, 2011, 10},
                  {"D", k2011 + 4, 8 * kHour, 1, 5, 2012, 11},  // other order year
                  {"D", k2011 + 4, 8 * kHour, 1, 5, 2011, 12},
                  {"a", k2011 + 5, 8 * kHour, 1, 5, 2011, 13},
                  {"A", k2011 + 5, 8 * kHour, 1, 5, 2011, 14},  // names differ in case
              });
  EXPECT_TRUE(Analyse(path));
  const std::vector<TBlockRec> list = List();
  ASSERT_EQ(list.size(), 2u);
  for (const TBlockRec& r : list) {
    EXPECT_EQ(r.Name.View(), "A");
    EXPECT_EQ(r.Date, k2011 + 1);
    EXPECT_EQ(r.Time, 8 / 24.0);
  }
  EXPECT_EQ(state.FCurRec, state.FDupList[1]);  // the newest record
  EXPECT_EQ(state.FLastRec.Date, k2011 + 5);    // the last row read
  EXPECT_EQ(state.FLastRec.Name.View(), "a");   // "A" < "a" by code: "a" comes last
  EXPECT_TRUE(Query.SQL.Count() == 0 && !Query.Active());

  // A second analysis starts from an empty list.
  EXPECT_TRUE(Analyse(path));
  EXPECT_EQ(state.FDupList.Count(), 2);
}

#ifndef _WIN32
TEST_F(AnalysisTest, AFolderWithADoubleQuoteInItsName) {
  const std::string path = testing::WriteTable("say \"cheese\"", {{"old", 5, 0}, {"A", k2011, 0}, {"A", k2011, 0}});
  EXPECT_TRUE(Analyse(path));
  EXPECT_EQ(Query.RowsAffected(), 1);
}
#endif

TEST_F(AnalysisTest, AnEmptyFirstRowRepeatsNothing) {
  const std::string one = testing::WriteTable("empty_first", {{"", -1, -1}, {"A", k2011, 0}});
  EXPECT_FALSE(Analyse(one));
  EXPECT_EQ(state.FDupList.Count(), 0);
  EXPECT_EQ(state.FLastRec.Name.View(), "A");

  const std::string two = testing::WriteTable("empty_two", {{"", -1, -1}, {"", -1, -1}, {"A", k2011, 0}});
  EXPECT_TRUE(Analyse(two));
  ASSERT_EQ(state.FDupList.Count(), 1);
  const TBlockRec& r = *state.FDupList[0];
  EXPECT_EQ(r.Name.Length, 0);
  EXPECT_EQ(r.Date, 0);
  EXPECT_EQ(r.Time, 0);
}

TEST_F(AnalysisTest, NamesBeyond64AndNumbersAbove16BitsDoNotCount) {
  std::string n1(80, 'n'), n2(80, 'n');
  n2[70] = 'x';
  TableOptions long_number;
  long_number.long_number = true;
  const std::string path = testing::WriteTable("cut", {
                                                          {n1.c_str(), k2011, kHour, 7, 1, 2011},
                                                          {n2.c_str(), k2011, kHour, 7, 1, 2011},
                                                          {"N", k2011 + 1, kHour, 70000, 1, 2011},
                                                          {"N", k2011 + 1, kHour, 4464, 1, 2011},
                                                      },
                                               long_number);
  EXPECT_TRUE(Analyse(path));
  const std::vector<TBlockRec> list = List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name.View(), n1.substr(0, 64));
  EXPECT_EQ(list[1].Number, 4464);
}

TEST_F(AnalysisTest, ATableWhollyBefore2011EndsEmpty) {
  const std::string path = testing::WriteTable("all_old", {{"A", k2011 - 1, 0}, {"A", k2011 - 1, 0}, {"B", 3000, 0}});
  EXPECT_FALSE(Analyse(path));
  EXPECT_EQ(state.FDupList.Count(), 0);
  EXPECT_TRUE(testing::Tags(path).empty());
  EXPECT_EQ(Query.RowsAffected(), 3);
  EXPECT_TRUE(progress.Closed());
}

TEST_F(AnalysisTest, PurgesOldRowsAndReportsProgressOverTheRest) {
  const std::string path = testing::WriteTable("progress", {
                                                               {"old", k2011 - 1, 0, 0, 0, 0, 1},
                                                               {"A", k2011, 0, 0, 0, 0, 2},
                                                               {"B", k2011 + 9, 0, 0, 0, 0, 3},
                                                               {"undated", -1, 0, 0, 0, 0, 4},
                                                               {"old", 100, 0, 0, 0, 0, 5},
                                                               {"C", k2011 + 3, 0, 0, 0, 0, 6},
                                                           });
  EXPECT_FALSE(Analyse(path));
  EXPECT_EQ(testing::Tags(path), (std::vector<int32_t>{2, 3, 4, 6}));  // an empty date is not before 2011

  // Start, the restarting call, one update per row over the rows left, close.
  ASSERT_EQ(progress.shown.size(), 6u);
  EXPECT_EQ(progress.shown[0], std::make_pair(texts::ReadingTable(), 0.0));
  EXPECT_EQ(progress.Updates(), (std::vector<double>{25, 50, 75, 100}));
  EXPECT_TRUE(progress.Closed());
  EXPECT_EQ(progress.due_calls, 5);

  // Updates come only when the throttle says so.
  progress = testing::RecordedProgress();
  progress.due = false;
  Analyse(path);
  EXPECT_EQ(progress.shown.size(), 2u);
  EXPECT_EQ(progress.due_calls, 5);
}

TEST_F(AnalysisTest, AMissingFieldStopsThePassAfterThePurge) {
  TableOptions no_number;
  no_number.without_number = true;
  const std::string path =
      testing::WriteTable("no_number", {{"old", k2011 - 5, 0}, {"A", k2011, 0}, {"A", k2011, 0}}, no_number);
  try {
    Analyse(path);
    FAIL() << "no error";
  } catch (const dataset::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query: Field 'FNumber' not found");
  }
  EXPECT_EQ(testing::Tags(path).size(), 2u);  // the purge happened and stays
  EXPECT_FALSE(progress.Closed());                 // the display stays with its text
  EXPECT_FALSE(cleaner.Running());
}

TEST_F(AnalysisTest, AnErrorInTheReadKeepsWhatWasCollected) {
  TableOptions alpha;
  alpha.alpha_number = true;
  Row bad{"Z", k2011 + 5, 0};
  bad.number_text = "x";
  const std::string path = testing::WriteTable("bad_row", {{"A", k2011, 0, 5}, {"A", k2011, 0, 5}, bad}, alpha);
  EXPECT_THROW(Analyse(path), dataset::EDatabaseError);
  ASSERT_EQ(state.FDupList.Count(), 1);
  EXPECT_EQ(state.FDupList[0]->Name.View(), "A");
  EXPECT_FALSE(progress.Closed());

  // The next analysis closes the query the error left open and runs.
  const std::string good = testing::WriteTable("after_bad", {{"B", k2011, 0}, {"B", k2011, 0}});
  EXPECT_TRUE(Analyse(good));
  ASSERT_EQ(state.FDupList.Count(), 1);
  EXPECT_EQ(state.FDupList[0]->Name.View(), "B");
}

TEST_F(AnalysisTest, APassCannotStartInsideAnother) {
  const std::string path = testing::WriteTable("nested", {{"A", k2011, 0}, {"A", k2011, 0}});
  struct NestingProgress : testing::RecordedProgress {
    TCleaner* cleaner = nullptr;
    int refused = 0;
    bool ProgressDue() override {
      // What a button pressed during the pass's message processing would do.
      try {
        cleaner->CreateList();
      } catch (const std::logic_error&) {
        ++refused;
      }
      return false;
    }
  } nesting;
  TCleaner outer(state, Query, Table, nesting, paradox::SystemDateFormat());
  nesting.cleaner = &outer;
  state.FTablePath = path;
  EXPECT_TRUE(outer.CreateList());
  EXPECT_EQ(nesting.refused, 3);
  EXPECT_EQ(state.FDupList.Count(), 1);
}

TEST_F(AnalysisTest, PreviewChangesNothingAndFindsWhatTheAnalysisFinds) {
  namespace fs = std::filesystem;
  const fs::path dir = testsupport::FreshFolder("cleaning_preview");
  fs::create_directories(dir / "copy");
  tools::SampleOptions o;
  o.rows = 4000;
  o.old_percent = 10;
  o.repeat_percent = 5;
  const std::string original = (dir / "AdvBlock.db").string(), copy = (dir / "copy" / "AdvBlock.db").string();
  ASSERT_OK(tools::WriteSampleTable(paradox::FileSystem::Default(), original, o, nullptr));
  fs::copy_file(original, copy);
  const std::vector<uint8_t> before = testing::FileBytes(original);

  int would_purge = -1;
  state.FTablePath = original;
  EXPECT_TRUE(cleaner.PreviewList(&would_purge));
  EXPECT_TRUE(progress.Closed());
  cleaner.SortList();
  const std::vector<TBlockRec> previewed = List();
  EXPECT_EQ(testing::FileBytes(original), before);

  EXPECT_TRUE(Analyse(copy));
  cleaner.SortList();
  EXPECT_EQ(would_purge, Query.RowsAffected());
  EXPECT_GT(would_purge, 300);
  const std::vector<TBlockRec> analysed = List();
  ASSERT_EQ(previewed.size(), analysed.size());
  EXPECT_GT(analysed.size(), 100u);
  for (size_t i = 0; i < analysed.size(); ++i) ASSERT_TRUE(SameBlock(previewed[i], analysed[i])) << i;
}

}  // namespace
}  // namespace cleaning
