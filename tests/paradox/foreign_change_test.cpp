// A change cut short, and then another program's change before the engine
// opens the table again: the journal must never write its old bytes over
// that later change. The open refuses and keeps the journal aside, and the
// operator settles it by applying or discarding it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/table.h"
#include "paradox/store/table_editor.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

using Files = std::map<std::string, std::vector<uint8_t>>;

// 120 rows (ID 1..120, Pad "row N"), four to a 1 KB block.
void MakeTable(MemFileSystem* fs, bool keyed) {
  CreateOptions o;
  o.block_size = 1024;
  o.key_fields = keyed ? 1 : 0;
  WriteTable(fs, "t.db", {{"ID", FieldType::kLong, 4}, {"Pad", FieldType::kAlpha, 200}}, o, 120,
             [](RecordBuilder* rb, int i) {
               rb->SetInt(0, i + 1);
               rb->SetAlpha(1, "row " + std::to_string(i + 1));
             });
}

Files All(MemFileSystem* fs) {
  Files out;
  for (const char* name : {"t.db", "t.PX", "t.db-journal", "t.db-journal-kept"})
    if (fs->FileExists(name)) out[name] = fs->Contents(name);
  return out;
}

// Another program rewrites row `id`'s Pad in place, wherever it lies.
void RewriteRow(MemFileSystem* fs, int id, const std::string& now) {
  std::vector<uint8_t> db = fs->Contents("t.db");
  const std::string was = "row " + std::to_string(id) + std::string(1, '\0');
  auto at = std::search(db.begin(), db.end(), was.begin(), was.end());
  ASSERT_NE(at, db.end()) << "row " << id << " is not in the file";
  std::copy(now.begin(), now.end(), at);
  fs->SetContents("t.db", db);
}

// Row `id`'s Pad as the table reads.
std::string Pad(FileSystem* fs, int id) {
  std::unique_ptr<Table> t;
  if (!Table::Open(fs, "t.db", OpenOptions(), &t).ok()) return "(unreadable)";
  for (auto c = t->NewCursor(); c->Valid(); c->Next())
    if (GetInt(t->fields()[0], c->record()) == id) return std::string(GetAlpha(t->fields()[1], c->record()));
  return "(no row)";
}

std::vector<std::string> Problems(FileSystem* fs) {
  std::vector<std::string> problems;
  Status st = CheckTable(fs, "t.db", &problems);
  if (!st.ok()) problems.push_back(st.ToString());
  return problems;
}

class ForeignChangeTest : public ::testing::TestWithParam<bool> {  // keyed or not
 protected:
  // The purge of rows 1..50, cut short half way through its writes, or
  // just before the journal is cleared (all written).
  void CutShortPurge(FaultFileSystem* fs, bool halfway) {
    Statement st;
    ASSERT_OK(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 50", &st));
    uint32_t deleted = 0;
    {
      FaultFileSystem whole;
      MakeTable(&whole, GetParam());
      whole.Arm({});
      ASSERT_OK(ExecuteDelete(&whole, st, DateFormat(), &deleted));
      writes_ = whole.count();
    }
    MakeTable(fs, GetParam());
    fs->Arm({Fault::kStop, halfway ? writes_ / 2 : writes_ - 1});
    EXPECT_FALSE(ExecuteDelete(fs, st, DateFormat(), &deleted).ok());
    fs->Disarm();
    ASSERT_TRUE(JournalIsHot(fs, "t.db"));
  }

  // Every open refuses, says why and what to do, and writes nothing; the
  // journal is kept aside byte for byte.
  void ExpectRefusedAndKept(MemFileSystem* fs, const std::string& why) {
    const Files before = All(fs);
    std::unique_ptr<Table> t;
    Status st = Table::Open(fs, "t.db", OpenOptions(), &t);
    ASSERT_EQ(st.code(), ErrorCode::kJournalKept) << st.ToString();
    EXPECT_NE(st.ToString().find(why), std::string::npos) << st.ToString();
    EXPECT_NE(st.ToString().find("kept in t.db-journal-kept"), std::string::npos) << st.ToString();
    EXPECT_NE(st.ToString().find("pxtool journal \"t.db\" --apply"), std::string::npos) << st.ToString();
    Files after = All(fs);
    EXPECT_FALSE(fs->FileExists("t.db-journal"));
    EXPECT_TRUE(after["t.db-journal-kept"] == before.at("t.db-journal"));
    after.erase("t.db-journal-kept");
    Files unchanged = before;
    unchanged.erase("t.db-journal");
    EXPECT_TRUE(after == unchanged) << "a file of the table was written";

    // Later opens, of every kind, refuse alike while it lies there.
    st = Table::Open(fs, "t.db", OpenOptions(), &t);
    EXPECT_EQ(st.code(), ErrorCode::kJournalKept);
    EXPECT_NE(st.ToString().find("pxtool journal \"t.db\" --discard"), std::string::npos) << st.ToString();
    std::unique_ptr<TableEditor> ed;
    EXPECT_EQ(TableEditor::Open(fs, "t.db", &ed).code(), ErrorCode::kJournalKept);
    std::vector<std::string> done;
    EXPECT_EQ(RepairIndexes(fs, "t.db", &done).code(), ErrorCode::kJournalKept);
    const std::vector<std::string> problems = Problems(fs);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems[0].rfind("t.db-journal-kept: a change cut short was not undone", 0), 0u) << problems[0];
    Files now = All(fs);
    EXPECT_TRUE(now == after || (now.erase("t.db-journal-kept"), now == unchanged)) << "a refused open wrote";
  }

  int writes_ = 0;  // of the whole purge
};

// Cut short after all its writes, the purge's journal meets a row that
// another program rewrote in a block the purge wrote too.
TEST_P(ForeignChangeTest, ALaterChangeIsNeverUndoneAndTheOperatorSettlesIt) {
  FaultFileSystem fs;
  CutShortPurge(&fs, false);
  RewriteRow(&fs, 51, "ROW 51");
  ExpectRefusedAndKept(&fs, "hold neither what they held before the change nor what it wrote");
  const Files refused = All(&fs);

  for (KeptJournalAction action : {KeptJournalAction::kApply, KeptJournalAction::kDiscard}) {
    const bool apply = action == KeptJournalAction::kApply;
    SCOPED_TRACE(apply ? "applied" : "discarded");
    MemFileSystem settled;
    for (const auto& [name, bytes] : refused) settled.SetContents(name, bytes);
    ASSERT_OK(SettleKeptJournal(&settled, "t.db", action));
    EXPECT_FALSE(settled.FileExists("t.db-journal-kept"));
    EXPECT_EQ(Ids(&settled), apply ? Range(1, 120) : Range(51, 120));
    // Applied, the purge is undone and the later change to its bytes lost;
    // discarded, both stay.
    EXPECT_EQ(Pad(&settled, 51), apply ? "row 51" : "ROW 51");
    for (const std::string& p : Problems(&settled)) ADD_FAILURE() << p;
    EXPECT_EQ(SettleKeptJournal(&settled, "t.db", action).code(), ErrorCode::kNotFound);
  }
}

// Cut short part way, then another program grows the data file or writes
// its header: the lengths and the bytes the journal knows no longer match.
TEST_P(ForeignChangeTest, ALaterLengthOrHeaderIsNeverUndone) {
  for (bool grown : {true, false}) {
    SCOPED_TRACE(grown ? "the data file grew" : "the header was written");
    FaultFileSystem fs;
    CutShortPurge(&fs, true);
    std::vector<uint8_t> db = fs.Contents("t.db");
    if (grown) db.resize(db.size() + 1024 * 4, 0x11);
    else db[hdr::kNumRecords] ^= 0x40;
    fs.SetContents("t.db", db);
    ExpectRefusedAndKept(&fs, grown ? "a length the change could not leave" : "hold neither");
    ASSERT_OK(SettleKeptJournal(&fs, "t.db", KeptJournalAction::kApply));
    EXPECT_EQ(Ids(&fs), Range(1, 120));
    for (const std::string& p : Problems(&fs)) ADD_FAILURE() << p;
  }
}

// A change of another program outside the bytes the journal saved is no
// reason to refuse: the cut-short change is undone and the other one stays.
TEST_P(ForeignChangeTest, ALaterChangeElsewhereStaysAndTheCutIsUndone) {
  FaultFileSystem fs;
  CutShortPurge(&fs, false);
  RewriteRow(&fs, 100, "ROW 100");
  EXPECT_EQ(Ids(&fs), Range(1, 120));
  EXPECT_EQ(Pad(&fs, 100), "ROW 100");
  EXPECT_FALSE(fs.FileExists("t.db-journal"));
  EXPECT_FALSE(fs.FileExists("t.db-journal-kept"));
  for (const std::string& p : Problems(&fs)) ADD_FAILURE() << p;
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, ForeignChangeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace
}  // namespace paradox
