// Two processes on one table: a second run while the first is part way
// through its deletions, at a group boundary and in the middle of writing
// a group. The second run must not touch the first's journal; killed, the
// first is then undone exactly to its last group boundary.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "paradox/delete_statement.h"
#include "paradox/journal.h"
#include "paradox/sql.h"
#include "paradox/store/table_editor.h"
#include "paradox/table_walk.h"
#include "process_helpers.h"
#include "../support/table_helpers.h"
#include "tools/sample_data.h"

namespace paradox {
namespace {

namespace fs = std::filesystem;
using testing::Problems;
using testing::ReadRows;
using testing::Row;
using testing::ScratchDir;

// The first run's file layer: once armed, the first write to the data file
// goes through and then the process stops there, after saying so.
class PausingFileSystem : public ForwardingFileSystem {
 public:
  PausingFileSystem(std::string db, int tell, int wait)
      : ForwardingFileSystem(FileSystem::Default()), db_(std::move(db)), tell_(tell), wait_(wait) {}
  bool armed = false;

 private:
  struct Pausing : ForwardingFile {
    Pausing(std::unique_ptr<File> f, PausingFileSystem* fs) : ForwardingFile(std::move(f)), fs_(fs) {}
    Status Write(uint64_t o, const uint8_t* d, size_t n) override {
      PX_RETURN_IF_ERROR(f_->Write(o, d, n));
      if (fs_->armed) {
        char c = 'm';
        (void)!::write(fs_->tell_, &c, 1);
        (void)!::read(fs_->wait_, &c, 1);  // never answered: the process is killed here
      }
      return Status::OK();
    }
    PausingFileSystem* fs_;
  };
  std::unique_ptr<File> Wrap(const std::string& path, std::unique_ptr<File> f) override {
    if (path != db_) return f;
    return std::make_unique<Pausing>(std::move(f), this);
  }
  std::string db_;
  int tell_, wait_;
};

// The first run's walk deletes every third row; group 1 covers the rows up
// to kBoundary, and is written before the run waits for the word to go on.
constexpr int kBoundary = 600;

[[noreturn]] void FirstRun(const std::string& db, int tell, int wait) {
  PausingFileSystem fs(db, tell, wait);
  std::unique_ptr<TableWalk> w;
  if (!TableWalk::Open(&fs, db, GroupBounds{1u << 30, 1e9}, &w).ok()) ::_exit(2);
  int seen = 0;
  auto walk_to = [&](int end) {
    for (; w->Valid() && seen < end; ++seen)
      if (!(seen % 3 == 0 ? w->Delete() : w->Next()).ok()) ::_exit(2);
  };
  walk_to(kBoundary);
  if (!w->Flush().ok()) ::_exit(2);
  char c = 'b';
  (void)!::write(tell, &c, 1);
  if (::read(wait, &c, 1) != 1) ::_exit(2);
  walk_to(2 * kBoundary);
  fs.armed = true;
  (void)w->Flush();  // stops in the middle
  ::_exit(3);
}

struct JournalFile {
  bool exists = false;
  ino_t inode = 0;
  std::string bytes;
  bool operator==(const JournalFile& o) const {
    return exists == o.exists && inode == o.inode && bytes == o.bytes;
  }
};

JournalFile Journal(const std::string& db) {
  JournalFile j;
  struct stat st;
  j.exists = ::stat(JournalPath(db).c_str(), &st) == 0;
  if (!j.exists) return j;
  j.inode = st.st_ino;
  j.bytes = testing::FolderBytes(fs::path(db).parent_path())[fs::path(JournalPath(db)).filename().string()];
  return j;
}

class SecondRunTest : public ::testing::TestWithParam<bool> {  // keyed or not
 protected:
  // Everything a second run may try: reading goes on only where the files
  // are whole (`readable`), every change is refused as busy, and the
  // first run's journal stays exactly as it is.
  void SecondRun(bool readable, const std::vector<Row>& expect, const std::string& when) {
    SCOPED_TRACE(when);
    const JournalFile journal = Journal(db_);
    ASSERT_TRUE(journal.exists) << "the first run has no journal";
    std::vector<Row> rows;
    Status st = ReadRows(db_, &rows);
    if (readable) {
      EXPECT_OK(st);
      EXPECT_TRUE(rows == expect) << rows.size() << " rows read";
    } else {
      EXPECT_EQ(st.code(), ErrorCode::kTableBusy) << "the files mid-change were read: " << st.ToString();
    }
    std::unique_ptr<TableEditor> ed;
    EXPECT_EQ(TableEditor::Open(FileSystem::Default(), db_, &ed).code(), ErrorCode::kTableBusy);
    ed.reset();
    Statement purge;
    ASSERT_OK(ParseStatement("DELETE FROM \"" + db_ + "\" WHERE FDate<\"01.01.2011\"", &purge));
    uint32_t deleted = 0;
    st = ExecuteDelete(FileSystem::Default(), purge, DateFormat(), &deleted);
    EXPECT_EQ(st.code(), ErrorCode::kTableBusy) << st.ToString();
    std::vector<std::string> done;
    EXPECT_EQ(RepairIndexes(FileSystem::Default(), db_, &done).code(), ErrorCode::kTableBusy);
    const std::vector<std::string> problems = Problems(db_);
    if (readable) {
      for (const std::string& p : problems) ADD_FAILURE() << p;
    } else {
      ASSERT_FALSE(problems.empty());
      EXPECT_NE(problems[0].find("a change is under way or was cut short"), std::string::npos) << problems[0];
    }
    EXPECT_TRUE(Journal(db_) == journal) << "the first run's journal was removed, replaced or written";
  }

  ScratchDir scratch_{"second-run"};
  std::string db_ = (scratch_.path() / "AdvBlock.db").string();
};

TEST_P(SecondRunTest, LeavesTheFirstRunsJournalAlone) {
  tools::SampleOptions so;
  so.rows = 3000;
  so.keyed = GetParam();
  ASSERT_OK(tools::WriteSampleTable(FileSystem::Default(), db_, so, nullptr));
  std::vector<Row> original, boundary;
  ASSERT_OK(ReadRows(db_, &original));
  for (size_t i = 0; i < original.size(); ++i)
    if (i >= kBoundary || i % 3 != 0) boundary.push_back(original[i]);

  int to_parent[2], to_child[2];
  ASSERT_EQ(::pipe(to_parent), 0);
  ASSERT_EQ(::pipe(to_child), 0);
  const pid_t first = ::fork();
  ASSERT_GE(first, 0);
  if (first == 0) FirstRun(db_, to_parent[1], to_child[0]);
  char c = 0;
  ASSERT_EQ(::read(to_parent[0], &c, 1), 1);
  ASSERT_EQ(c, 'b');
  SecondRun(true, boundary, "the first run at a group boundary");

  c = 'c';
  ASSERT_EQ(::write(to_child[1], &c, 1), 1);
  ASSERT_EQ(::read(to_parent[0], &c, 1), 1);
  ASSERT_EQ(c, 'm');
  EXPECT_TRUE(JournalIsHot(FileSystem::Default(), db_));
  SecondRun(false, boundary, "the first run in the middle of writing a group");

  ::kill(first, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(first, &status, 0), first);
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) ::close(fd);
  std::vector<Row> rows;
  Status st = ReadRows(db_, &rows);
  ASSERT_OK(st);
  EXPECT_TRUE(rows == boundary) << rows.size() << " rows after the kill, want the " << boundary.size()
                                << " of the last group boundary";
  EXPECT_FALSE(fs::exists(JournalPath(db_)));
  for (const std::string& p : Problems(db_)) ADD_FAILURE() << "after the kill: " << p;
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, SecondRunTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace
}  // namespace paradox

#else  // _WIN32

TEST(SecondRunTest, NeedsPosixProcesses) {
  GTEST_SKIP() << "two processes on one table are tested on POSIX systems only";
}

#endif
