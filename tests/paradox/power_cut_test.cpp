// Power cuts, in the manner of the crash tests of embedded databases: the
// fault file system remembers every write since each file's last sync and,
// at a chosen sync, "cuts the power": each write not yet synced is kept,
// dropped or has its 512-byte sectors garbled, by a seeded choice, and files
// whose creation or removal no folder sync made durable may come back or
// vanish.
// Cut at every sync of a whole purge and of a whole deletion walk in turn,
// the table must reopen as it stood before or after the change or group
// that was being written, exact, with no row lost but deleted ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/table_walk.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using Files = FaultFileSystem::Files;

// What a reopened table holds: its ids (the journal undone first), and
// every problem the check finds. A garbled sector holds neither the bytes
// of before the change nor those it wrote, which is all the open can tell
// of a later change by another program: it may then keep the journal aside
// and refuse (only when `garbled`), and the journal is applied as the
// operator would; `*kept` counts those.
std::vector<int> Reopen(const Files& files, std::vector<std::string>* problems, bool garbled = false,
                        int* kept = nullptr) {
  MemFileSystem fs;
  for (const auto& [name, bytes] : files) fs.SetContents(name, bytes);
  std::unique_ptr<Table> t;
  Status st = Table::Open(&fs, "t.db", OpenOptions(), &t);
  t.reset();
  if (st.code() == ErrorCode::kJournalKept) {
    if (!garbled) problems->push_back("refused though no sector was garbled: " + st.ToString());
    if (kept != nullptr) ++*kept;
    st = SettleKeptJournal(&fs, "t.db", KeptJournalAction::kApply);
    if (!st.ok()) problems->push_back("applying the kept journal: " + st.ToString());
  }
  std::vector<int> ids = Ids(&fs);
  st = CheckTable(&fs, "t.db", problems);
  if (!st.ok()) problems->push_back(st.ToString());
  return ids;
}

// Runs `work` with the power cut at every sync in turn (and six seeds
// for each): the table must then read as it did after the sync before the
// cut or after the one at the cut, all writes kept (which is the state
// before or after the change being written), and check clean.
template <typename Work>
void CutAtEverySync(const Files& files, Work work, int* cuts, int* kept) {
  // A run without a cut tells what the table holds after each sync.
  std::vector<std::vector<int>> states;
  std::vector<std::string> unused;
  states.push_back(Reopen(files, &unused));
  int total = 0;
  {
    FaultFileSystem fs(files);
    fs.Arm({Fault::kNone, 0, kSyncs});
    fs.after_counted = [&] { states.push_back(Reopen(fs.All(), &unused)); };
    work(&fs);
    total = fs.count();
  }
  ASSERT_EQ(static_cast<int>(states.size()), total + 1);
  ASSERT_GT(total, 2);
  for (int k = 1; k <= total; ++k) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      FaultFileSystem fs(files);
      fs.Arm({Fault::kPowerCut, k - 1, kSyncs, "", seed * 7919u + uint32_t(k)});
      work(&fs);
      ASSERT_TRUE(fs.fired());
      std::vector<std::string> problems;
      const std::vector<int> ids = Reopen(fs.after(), &problems, fs.garbled(), kept);
      const std::string where = "cut at sync " + std::to_string(k) + " of " + std::to_string(total) + ", seed " +
                                std::to_string(seed);
      for (const std::string& p : problems) ADD_FAILURE() << where << ": " << p;
      EXPECT_TRUE(ids == states[size_t(k) - 1] || ids == states[size_t(k)])
          << where << ": " << ids.size() << " rows, neither the " << states[size_t(k) - 1].size() << " before nor the "
          << states[size_t(k)].size() << " after";
      ++*cuts;
      if (::testing::Test::HasFailure()) return;
    }
  }
}

class PowerCutTest : public ::testing::TestWithParam<bool> {};  // keyed or not

// A purge of two thirds of 300 rows, written in groups of 16 KB of blocks.
TEST_P(PowerCutTest, PurgeReadsAsBeforeOrAfterEachChange) {
  const Files files = PaddedTable(GetParam(), 300);
  int cuts = 0, kept = 0;
  CutAtEverySync(files, [](FileSystem* fs) {
    Statement st;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 200", &st));
    uint32_t deleted = 0;
    (void)ExecuteDelete(fs, st, DateFormat(), &deleted, 16 << 10);
  }, &cuts, &kept);
  std::printf("%d power cuts, %d of them settled by applying the kept journal\n", cuts, kept);
}

// A walk deleting every third row, its groups written at every block the
// walk leaves.
TEST_P(PowerCutTest, DeletionWalkReadsAsBeforeOrAfterEachGroup) {
  const Files files = PaddedTable(GetParam(), 120);
  int cuts = 0, kept = 0;
  CutAtEverySync(files, [](FileSystem* fs) {
    std::unique_ptr<TableWalk> w;
    ASSERT_OK(TableWalk::Open(fs, "t.db", GroupBounds{1, 1e9}, &w));
    Status st;
    for (int seen = 0; w->Valid() && st.ok(); ++seen) st = seen % 3 == 0 ? w->Delete() : w->Next();
    if (st.ok()) (void)w->Close();
  }, &cuts, &kept);
  std::printf("%d power cuts, %d of them settled by applying the kept journal\n", cuts, kept);
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, PowerCutTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace
}  // namespace paradox
