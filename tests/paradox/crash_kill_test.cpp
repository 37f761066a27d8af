// Real processes against real files: a child killed at random moments while
// it purges a large table and walks it deleting rows, and a second program
// holding the table while we try to change it.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/engine.h"
#include "paradox/file.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/table.h"
#include "paradox/store/table_editor.h"
#include "paradox/value.h"
#include "process_helpers.h"
#include "table/errors.h"
#include "table/ttable.h"
#include "tools/sample_data.h"
#include "../support/status_assert.h"

namespace paradox {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::CopyFolder;
using testing::FolderBytes;
using testing::Holder;
using testing::Problems;
using testing::ReadRows;
using testing::Row;
using testing::ScratchDir;

// ---------------------------------------------------------------------------
// Killing a process part way through its changes.

// What the child does to the table: the purge of the rows before 2011, then
// a walk that deletes the rows whose time falls on a whole ten seconds.
struct Work {
  std::string path;
  Field date, time;
  int32_t cutoff = static_cast<int32_t>(DayFromCivil(2011, 1, 1));

  bool Old(const uint8_t* rec) const { return !IsNull(date, rec) && GetInt(date, rec) < cutoff; }
  bool Walked(const uint8_t* rec) const { return !IsNull(time, rec) && GetInt(time, rec) / 1000 % 10 == 0; }
  bool Old(const Row& r) const { return Old(reinterpret_cast<const uint8_t*>(r.data())); }
  bool Walked(const Row& r) const { return Walked(reinterpret_cast<const uint8_t*>(r.data())); }

  // Runs both steps; false (with the reason on stderr) when one fails.
  bool Run() const {
    Statement st;
    Status s = ParseStatement("DELETE FROM \"" + path + "\"\r\nWHERE FDate<\"01.01.2011\"\r\n", &st);
    uint32_t deleted = 0;
    if (s.ok()) s = ExecuteDelete(FileSystem::Default(), st, DateFormat(), &deleted);
    if (!s.ok()) {
      std::fprintf(stderr, "purge: %s\n", s.ToString().c_str());
      return false;
    }
    try {
      dataset::TTable t;
      t.SetTableName(path);
      t.Open();
      while (!t.Eof()) {
        if (Walked(t.CurrentRecord())) t.Delete();
        else t.Next();
      }
      t.Close();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "walk: %s\n", e.what());
      return false;
    }
    return true;
  }
};

// Compares what a killed run left with the original rows. The rows left
// must be the original ones, unchanged and in their order, less some that
// the work deletes; and the deletions must be those of a prefix of the work:
// walk deletions only once the purge is complete, and only from the start
// of the walk. Returns the number of rows deleted.
size_t ExpectPartOfTheWork(const Work& w, const std::vector<Row>& original, const std::vector<Row>& left,
                           const std::string& run) {
  // Match the rows left from the end, each to the latest original row equal
  // to it, so that among equal rows the deleted ones are the earliest: a
  // walk deletes front to back.
  std::vector<bool> kept(original.size(), false);
  size_t o = original.size();
  for (size_t l = left.size(); l-- > 0;) {
    while (o > 0 && original[o - 1] != left[l]) --o;
    if (o == 0) {
      ADD_FAILURE() << run << ": row " << l << " of " << left.size()
                    << " left is no original row in the original order (torn or moved)";
      return 0;
    }
    kept[--o] = true;
  }
  size_t deleted = 0, walk_deleted = 0, last_walk_deleted = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    if (kept[i]) continue;
    ++deleted;
    const Row& r = original[i];
    if (!w.Old(r) && !w.Walked(r)) {
      ADD_FAILURE() << run << ": original row " << i << " is gone, though the work does not delete it";
      return deleted;
    }
    if (!w.Old(r)) {
      ++walk_deleted;
      last_walk_deleted = i;
    }
  }
  if (walk_deleted > 0) {
    for (size_t i = 0; i < original.size(); ++i) {
      if (kept[i] && w.Old(original[i])) {
        ADD_FAILURE() << run << ": the walk deleted rows while row " << i << " of the purge is still there";
        break;
      }
      if (kept[i] && w.Walked(original[i]) && i < last_walk_deleted) {
        ADD_FAILURE() << run << ": the walk skipped row " << i << " but deleted row " << last_walk_deleted;
        break;
      }
    }
  }
  return deleted;
}

class KilledWorkTest : public ::testing::TestWithParam<bool> {};  // keyed or not

TEST_P(KilledWorkTest, TableReadsAsBeforeOrAfterEachChange) {
  const bool keyed = GetParam();
  ScratchDir scratch(keyed ? "crash-kill-keyed" : "crash-kill");
  const fs::path source = scratch.path() / "source", work_dir = scratch.path() / "work";
  fs::create_directories(source);
  tools::SampleOptions so;
  so.rows = 30000;  // thousands of changes in the walk
  so.keyed = keyed;
  so.old_percent = 30;
  so.seed = 11;
  ASSERT_OK(tools::WriteSampleTable(FileSystem::Default(), (source / "AdvBlock.db").string(), so, nullptr));

  Work w;
  w.path = (work_dir / "AdvBlock.db").string();
  std::vector<Row> original;
  {
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Open(FileSystem::Default(), (source / "AdvBlock.db").string(), OpenOptions(), &t));
    int d = t->FindField("FDate"), tm = t->FindField("FTime");
    ASSERT_GE(d, 0);
    ASSERT_GE(tm, 0);
    w.date = t->fields()[size_t(d)];
    w.time = t->fields()[size_t(tm)];
  }
  ASSERT_OK(ReadRows((source / "AdvBlock.db").string(), &original));
  std::vector<Row> done;  // the table once the whole work is through
  for (const Row& r : original)
    if (!w.Old(r) && !w.Walked(r)) done.push_back(r);
  ASSERT_GT(original.size() - done.size(), original.size() / 4);

  // The child must not share the parent's open files (and their locks):
  // every handle of the parent is closed before each fork.
  auto start_child = [&]() -> pid_t {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(w.Run() ? 0 : 2);
    return pid;
  };

  // One run left alone tells how long the work takes here.
  CopyFolder(source, work_dir);
  auto t0 = Clock::now();
  pid_t pid = start_child();
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  const double whole = std::chrono::duration<double>(Clock::now() - t0).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the work failed on its own";
  std::vector<Row> left;
  ASSERT_OK(ReadRows(w.path, &left));
  EXPECT_TRUE(left == done) << left.size() << " rows left, want " << done.size();
  for (const std::string& p : Problems(w.path)) ADD_FAILURE() << "uninterrupted: " << p;

  // Kill runs at moments spread over that time, the same ones on every run
  // of the test; fewer should a slow machine make runs long. A loaded machine
  // can make the timing run slower than the rest: a run that finishes before
  // its kill shortens the time the later kills spread over, and the loop goes
  // on (up to kMaxRuns) until some run was really cut short.
  constexpr int kRuns = 8, kMaxRuns = 16;
  double spread = whole;
  uint32_t x = keyed ? 0x9E3779B9u : 0x7F4A7C15u;
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  int runs = 0, cut_short = 0, mid_change = 0;
  for (int k = 0; k < kMaxRuns; ++k) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    const double delay = spread * (0.02 + 0.93 * (x % 10000) / 10000.0);
    const std::string run = "run " + std::to_string(k) + " (kill after " + std::to_string(int(delay * 1000)) + " ms)";
    CopyFolder(source, work_dir);
    pid = start_child();
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ++runs;
    if (WIFEXITED(status)) {
      // It finished first: then it must have succeeded.
      EXPECT_EQ(WEXITSTATUS(status), 0) << run;
      spread = std::min(spread, delay) * 0.7;
    } else {
      ++cut_short;
    }
    if (JournalIsHot(FileSystem::Default(), w.path)) ++mid_change;

    Status st = ReadRows(w.path, &left);
    ASSERT_OK(st) << run << ": " << st.ToString();
    EXPECT_FALSE(JournalIsHot(FileSystem::Default(), w.path)) << run << ": opening left the change cut short";
    for (const std::string& p : Problems(w.path)) ADD_FAILURE() << run << ": " << p;
    ExpectPartOfTheWork(w, original, left, run);
    if (HasFailure()) break;

    const bool enough = cut_short > 0 && (k + 1 >= kRuns || Clock::now() > deadline);
    const bool last = enough || k + 1 == kMaxRuns;
    if (!last) {
      // The table takes changes again.
      std::unique_ptr<TableEditor> ed;
      st = TableEditor::Open(FileSystem::Default(), w.path, &ed);
      EXPECT_OK(st) << run << ": " << st.ToString();
      continue;
    }
    // Finishing the work gives what an uninterrupted run gives.
    ASSERT_TRUE(w.Run()) << run;
    ASSERT_OK(ReadRows(w.path, &left));
    EXPECT_TRUE(left == done) << run << ": finishing the work left " << left.size() << " rows, want " << done.size();
    for (const std::string& p : Problems(w.path)) ADD_FAILURE() << run << " finished: " << p;
    break;
  }
  std::printf("work takes %.0f ms; %d runs, %d killed before the end, %d of them in the middle of a change\n",
              whole * 1000, runs, cut_short, mid_change);
  EXPECT_GT(cut_short, 0) << "no run was killed before the work was through; nothing was tested";
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, KilledWorkTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

// ---------------------------------------------------------------------------
// Another program holding the table.

class HeldTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tools::SampleOptions so;
    so.rows = 3000;
    so.keyed = true;
    ASSERT_OK(tools::WriteSampleTable(FileSystem::Default(), db_, so, nullptr));
    ASSERT_OK(ReadRows(db_, &rows_));
  }

  // Every way of changing the table fails with `code` and writes nothing,
  // while reading goes on, and so does whatever changes nothing: a
  // statement that finds no row to delete, a walk that deletes none.
  void ExpectRefused(ErrorCode code, const std::string& why) {
    const auto before = FolderBytes(scratch_.path());
    Statement none;
    ASSERT_OK(ParseStatement("DELETE FROM \"" + db_ + "\" WHERE FDate<\"01.01.1900\"", &none));
    uint32_t deleted = 1;
    Status st = ExecuteDelete(FileSystem::Default(), none, DateFormat(), &deleted);
    EXPECT_OK(st) << why << ": nothing to delete: " << st.ToString();
    EXPECT_EQ(deleted, 0u);
    {
      dataset::TTable t;
      t.SetTableName(db_);
      t.Open();
      size_t rows = 0;
      for (; !t.Eof(); t.Next()) ++rows;
      t.Close();
      EXPECT_EQ(rows, rows_.size()) << why;
    }
    EXPECT_TRUE(FolderBytes(scratch_.path()) == before) << why << ": a file of the folder was written or added";

    std::unique_ptr<TableEditor> ed;
    st = TableEditor::Open(FileSystem::Default(), db_, &ed);
    EXPECT_EQ(st.code(), code) << why << ": " << st.ToString();
    EXPECT_EQ(ed, nullptr);

    Statement stmt;
    ASSERT_OK(ParseStatement("DELETE FROM \"" + db_ + "\" WHERE FDate<\"01.01.2011\"", &stmt));
    deleted = 1;
    EXPECT_EQ(ExecuteDelete(FileSystem::Default(), stmt, DateFormat(), &deleted).code(), code) << why;
    EXPECT_EQ(deleted, 0u);

    dataset::TTable t;
    t.SetTableName(db_);
    t.Open();
    EXPECT_THROW(t.Delete(), dataset::EDBEngineError) << why;
    EXPECT_FALSE(t.Eof()) << why << ": the walk goes on after a refused deletion";
    t.Close();

    std::vector<Row> rows;
    Status rs = ReadRows(db_, &rows);
    EXPECT_OK(rs) << why << ": reading: " << rs.ToString();
    EXPECT_TRUE(rows == rows_) << why;
    EXPECT_TRUE(FolderBytes(scratch_.path()) == before) << why << ": a file of the folder was written or added";
  }

  // Once the other side is gone, the table can be changed again (so the
  // refusal was due to it).
  void ExpectChangeable(const std::string& why) {
    std::unique_ptr<TableEditor> ed;
    Status st = TableEditor::Open(FileSystem::Default(), db_, &ed);
    EXPECT_OK(st) << why << ": " << st.ToString();
  }

  ScratchDir scratch_{"crash-held"};
  std::string db_ = (scratch_.path() / "AdvBlock.db").string();
  std::vector<Row> rows_;
};

TEST_F(HeldTableTest, AnotherProgramReadingAnyFileOfTheTableMakesItBusy) {
  const std::string lock = (scratch_.path() / "PDOXUSRS.LCK").string();
  {
    FILE* f = std::fopen(lock.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(std::string(110, '\0').c_str(), f);
    std::fclose(f);
  }
  for (const char* file : {"AdvBlock.db", "AdvBlock.PX", "PDOXUSRS.LCK"}) {
    SCOPED_TRACE(file);
    Holder other;
    ASSERT_TRUE(other.Start((scratch_.path() / file).string(), OpenMode::kRead));
    ExpectRefused(ErrorCode::kTableBusy, std::string("another program reads ") + file);
    other.Stop();
    ExpectChangeable(std::string("after the other program closed ") + file);
  }
}

// Programs lock files in one of two ways that do not see each other; a
// flock lock, shared or not, keeps the table from changing as an fcntl one.
TEST_F(HeldTableTest, AnotherProgramsFlockLockMakesItBusy) {
  for (int op : {LOCK_SH, LOCK_EX}) {
    SCOPED_TRACE(op == LOCK_SH ? "shared" : "exclusive");
    Holder other;
    ASSERT_TRUE(other.Start([&] {
      const int fd = ::open(db_.c_str(), O_RDONLY);
      return fd >= 0 && ::flock(fd, op | LOCK_NB) == 0;  // kept until the child ends
    }));
    ExpectRefused(ErrorCode::kTableBusy, "another program holds a flock lock");
    other.Stop();
    ExpectChangeable("after the other program let its flock lock go");
  }
}

TEST_F(HeldTableTest, AnotherProgramChangingTheTableMakesItBusyAndReadable) {
  Holder other;
  ASSERT_TRUE(other.Start(db_, OpenMode::kExclusive));
  // Two changers never hold one table.
  std::unique_ptr<File> f;
  EXPECT_EQ(FileSystem::Default()->Open(db_, OpenMode::kExclusive, &f).code(), ErrorCode::kTableBusy);
  ExpectRefused(ErrorCode::kTableBusy, "another program changes the table");
  other.Stop();
  ExpectChangeable("after the other program ended");
}

TEST_F(HeldTableTest, ReadOnlyFilesAreReadButNotChanged) {
  for (const char* file : {"AdvBlock.db", "AdvBlock.PX"}) {
    SCOPED_TRACE(file);
    const fs::path p = scratch_.path() / file;
    ::chmod(p.c_str(), 0444);
    ExpectRefused(ErrorCode::kReadOnly, std::string(file) + " is read-only");
    ::chmod(p.c_str(), 0644);
    ExpectChangeable(std::string(file) + " writable again");
  }
}

}  // namespace
}  // namespace paradox

#else  // _WIN32

TEST(CrashKillTest, NeedsPosixProcesses) {
  GTEST_SKIP() << "killing and holding tables from child processes is tested on POSIX systems only";
}

#endif
