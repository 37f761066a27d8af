// Power cuts, in the manner of the crash tests of embedded databases: a
// file layer remembers every write since each file's last sync and, at a
// chosen sync, "cuts the power": each write not yet synced is kept, dropped
// or has its 512-byte sectors garbled, by a seeded choice, and files whose
// creation or removal no folder sync made durable may come back or vanish.
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
#include "table_helpers.h"

namespace paradox {
namespace {

using Files = std::map<std::string, std::vector<uint8_t>>;

class PowerCutFileSystem : public FileSystem {
 public:
  // Cuts the power at the `cut_at`-th sync (of a file or a folder); 0: never.
  PowerCutFileSystem(const Files& files, int cut_at, uint32_t seed) : cut_at_(cut_at), rng_(seed | 1) {
    for (const auto& [name, bytes] : files) {
      live_.SetContents(name, bytes);
      disk_[name] = State{bytes, {}, true};
    }
  }

  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
    if (cut_) return Dead();
    std::unique_ptr<File> f;
    PX_RETURN_IF_ERROR(live_.Open(path, mode, &f));
    State& st = disk_[path];
    if (mode == OpenMode::kCreate) st.pending.clear();  // a new file: on disk once a folder sync says so
    *out = std::make_unique<CutFile>(this, path, std::move(f));
    return Status::OK();
  }
  Status ListDir(const std::string& dir, std::vector<std::string>* names) override {
    if (cut_) return Dead();
    return live_.ListDir(dir, names);
  }
  bool FileExists(const std::string& path) override { return !cut_ && live_.FileExists(path); }
  Status Remove(const std::string& path) override {
    if (cut_) return Dead();
    return live_.Remove(path);
  }
  Status Rename(const std::string& from, const std::string& to) override {
    if (cut_) return Dead();
    PX_RETURN_IF_ERROR(live_.Rename(from, to));
    // The bytes go with the name; the folder holds the new name once synced.
    State moved = disk_[from];
    moved.exists = false;
    disk_[to] = moved;
    return Status::OK();
  }
  Status SyncDir(const std::string&) override {
    PX_RETURN_IF_ERROR(CountSync());
    // What the folder lists is on disk now: created files exist (with what
    // was synced of them), removed ones are gone.
    for (auto& [name, st] : disk_) st.exists = live_.FileExists(name);
    return Status::OK();
  }

  int syncs() const { return syncs_; }
  // The files after the power came back (valid once it was cut).
  const Files& after() const { return after_; }
  // The files as they are now, all writes kept.
  Files Live() {
    Files out;
    for (const auto& [name, st] : disk_)
      if (live_.FileExists(name)) out[name] = live_.Contents(name);
    return out;
  }
  bool cut() const { return cut_; }
  // A sector of a write not synced came back as garbage.
  bool garbled() const { return garbled_; }

 private:
  struct Op {
    bool truncate;
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  // A file as the disk holds it: its bytes as of its last sync, the writes
  // since, and whether the folder lists it.
  struct State {
    std::vector<uint8_t> synced;
    std::vector<Op> pending;
    bool exists = false;
  };

  class CutFile : public File {
   public:
    CutFile(PowerCutFileSystem* fs, std::string path, std::unique_ptr<File> f)
        : fs_(fs), path_(std::move(path)), f_(std::move(f)) {}
    Status Read(uint64_t o, size_t n, uint8_t* out, size_t* got) override {
      if (fs_->cut_) return Dead();
      return f_->Read(o, n, out, got);
    }
    Status Size(uint64_t* s) override {
      if (fs_->cut_) return Dead();
      return f_->Size(s);
    }
    Status Write(uint64_t o, const uint8_t* d, size_t n) override {
      if (fs_->cut_) return Dead();
      PX_RETURN_IF_ERROR(f_->Write(o, d, n));
      fs_->disk_[path_].pending.push_back(Op{false, o, std::vector<uint8_t>(d, d + n)});
      return Status::OK();
    }
    Status Truncate(uint64_t s) override {
      if (fs_->cut_) return Dead();
      PX_RETURN_IF_ERROR(f_->Truncate(s));
      fs_->disk_[path_].pending.push_back(Op{true, s, {}});
      return Status::OK();
    }
    Status Sync() override {
      PX_RETURN_IF_ERROR(fs_->CountSync());
      State& st = fs_->disk_[path_];
      st.synced = fs_->live_.Contents(path_);
      st.pending.clear();
      return Status::OK();
    }

   private:
    PowerCutFileSystem* fs_;
    std::string path_;
    std::unique_ptr<File> f_;
  };

  static Status Dead() { return Status::Error(ErrorCode::kIoError, "the power is off"); }

  uint32_t Next(uint32_t below) {
    rng_ ^= rng_ << 13, rng_ ^= rng_ >> 17, rng_ ^= rng_ << 5;
    return rng_ % below;
  }

  Status CountSync() {
    if (cut_) return Dead();
    if (++syncs_ != cut_at_) return Status::OK();
    cut_ = true;
    for (auto& [name, st] : disk_) {
      const bool listed = live_.FileExists(name);
      // A creation or removal no folder sync made durable may or may not
      // have reached the disk.
      const bool present = st.exists == listed ? listed : Next(2) == 0;
      if (!present) continue;
      std::vector<uint8_t> bytes = st.exists ? st.synced : std::vector<uint8_t>();
      for (const Op& op : st.pending) Replay(op, &bytes);
      after_[name] = std::move(bytes);
    }
    return Dead();
  }

  // One write not synced: kept, dropped, or sector by sector kept, lost or
  // garbled.
  void Replay(const Op& op, std::vector<uint8_t>* bytes) {
    const uint32_t how = Next(3);
    if (how == 1) return;
    if (op.truncate) {
      bytes->resize(op.offset);
      return;
    }
    const uint64_t end = op.offset + op.bytes.size();
    if (bytes->size() < end) bytes->resize(end);
    for (uint64_t sector = op.offset / 512 * 512; sector < end; sector += 512) {
      const uint64_t lo = std::max(sector, op.offset), hi = std::min(sector + 512, end);
      const uint32_t fate = how == 0 ? 0 : Next(3);
      for (uint64_t i = lo; i < hi; ++i) {
        if (fate == 0) (*bytes)[i] = op.bytes[i - op.offset];
        else if (fate == 2) (*bytes)[i] = static_cast<uint8_t>(Next(256));
      }
      garbled_ = garbled_ || fate == 2;
    }
  }

  MemFileSystem live_;
  std::map<std::string, State> disk_;
  const int cut_at_;
  int syncs_ = 0;
  bool cut_ = false;
  bool garbled_ = false;
  uint32_t rng_;
  Files after_;
};

// A table of `rows` records (ID 1..rows, keyed or not), four to a 1 KB block.
Files MakeTable(bool keyed, int rows) {
  MemFileSystem fs;
  CreateOptions o;
  o.block_size = 1024;
  o.index_block_size = 1024;
  o.key_fields = keyed ? 1 : 0;
  WriteTable(&fs, "t.db", {{"ID", FieldType::kLong, 4}, {"Pad", FieldType::kAlpha, 200}}, o, rows,
             [](RecordBuilder* rb, int i) {
               rb->SetInt(0, i + 1);
               rb->SetAlpha(1, "row " + std::to_string(i + 1));
             });
  Files files = {{"t.db", fs.Contents("t.db")}};
  if (keyed) files["t.PX"] = fs.Contents("t.PX");
  return files;
}

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
    PowerCutFileSystem fs(files, 0, 1);
    work(&fs, [&] { states.push_back(Reopen(fs.Live(), &unused)); });
    total = fs.syncs();
  }
  ASSERT_EQ(static_cast<int>(states.size()), total + 1);
  ASSERT_GT(total, 2);
  for (int k = 1; k <= total; ++k) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      PowerCutFileSystem fs(files, k, seed * 7919u + uint32_t(k));
      work(&fs, [] {});
      ASSERT_TRUE(fs.cut());
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

// Calls `after_sync` after each sync, of a file or a folder.
class SyncWatch : public ForwardingFileSystem {
 public:
  SyncWatch(FileSystem* base, std::function<void()> after_sync)
      : ForwardingFileSystem(base), after_(std::move(after_sync)) {}
  Status SyncDir(const std::string& dir) override {
    PX_RETURN_IF_ERROR(base_->SyncDir(dir));
    after_();
    return Status::OK();
  }

 private:
  struct Watched : ForwardingFile {
    Watched(std::unique_ptr<File> f, SyncWatch* w) : ForwardingFile(std::move(f)), w_(w) {}
    Status Sync() override {
      PX_RETURN_IF_ERROR(f_->Sync());
      w_->after_();
      return Status::OK();
    }
    SyncWatch* w_;
  };
  std::unique_ptr<File> Wrap(const std::string&, std::unique_ptr<File> f) override {
    return std::make_unique<Watched>(std::move(f), this);
  }
  std::function<void()> after_;
};

class PowerCutTest : public ::testing::TestWithParam<bool> {};  // keyed or not

// A purge of two thirds of 300 rows, written in groups of 16 KB of blocks.
TEST_P(PowerCutTest, PurgeReadsAsBeforeOrAfterEachChange) {
  const Files files = MakeTable(GetParam(), 300);
  int cuts = 0, kept = 0;
  CutAtEverySync(files, [](FileSystem* fs, std::function<void()> after_sync) {
    SyncWatch watch(fs, std::move(after_sync));
    Statement st;
    ASSERT_TRUE(ParseStatement("DELETE FROM \"t.db\" WHERE ID <= 200", &st).ok());
    uint32_t deleted = 0;
    (void)ExecuteDelete(&watch, st, DateFormat(), &deleted, 16 << 10);
  }, &cuts, &kept);
  std::printf("%d power cuts, %d of them settled by applying the kept journal\n", cuts, kept);
}

// A walk deleting every third row, its groups written at every block the
// walk leaves.
TEST_P(PowerCutTest, DeletionWalkReadsAsBeforeOrAfterEachGroup) {
  const Files files = MakeTable(GetParam(), 120);
  int cuts = 0, kept = 0;
  CutAtEverySync(files, [](FileSystem* fs, std::function<void()> after_sync) {
    SyncWatch watch(fs, std::move(after_sync));
    std::unique_ptr<TableWalk> w;
    ASSERT_TRUE(TableWalk::Open(&watch, "t.db", GroupBounds{1, 1e9}, &w).ok());
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
