#include "fault_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "paradox/stop.h"

namespace testsupport {

using paradox::ErrorCode;

Status ForwardingFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) {
  std::unique_ptr<File> f;
  PX_RETURN_IF_ERROR(base_->Open(path, mode, &f));
  *out = Wrap(path, std::move(f));
  return Status::OK();
}

// The disk under a power cut: each file's bytes as of its last sync, the
// writes since, and whether the folder lists it.
struct FaultFileSystem::Disk {
  struct Op {
    bool truncate;
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  struct State {
    std::vector<uint8_t> synced;
    std::vector<Op> pending;
    bool exists = false;
  };
  std::map<std::string, State> files;
  uint32_t rng;

  uint32_t Next(uint32_t below) {
    rng ^= rng << 13, rng ^= rng >> 17, rng ^= rng << 5;
    return rng % below;
  }
};

class FaultFileSystem::FaultFile : public ForwardingFile {
 public:
  FaultFile(FaultFileSystem* fs, std::string path, std::unique_ptr<File> f)
      : ForwardingFile(std::move(f)), fs_(fs), path_(std::move(path)) {}
  Status Read(uint64_t o, size_t n, uint8_t* out, size_t* got) override {
    if (fs_->Dead()) return fs_->Faulted("read");
    return f_->Read(o, n, out, got);
  }
  Status Size(uint64_t* s) override {
    if (fs_->Dead()) return fs_->Faulted("size");
    return f_->Size(s);
  }
  Status Write(uint64_t o, const uint8_t* d, size_t n) override {
    const Verdict v = fs_->Count(kWrites, path_);
    if (v == Verdict::kTear) {
      const uint64_t part =
          fs_->plan_.fault == Fault::kTearInHalf ? n / 2 : std::max<uint64_t>((o + n / 2) / 512 * 512, o) - o;
      if (part > 0) (void)f_->Write(o, d, static_cast<size_t>(part));
    }
    if (v != Verdict::kPass) return fs_->Faulted("write");
    PX_RETURN_IF_ERROR(f_->Write(o, d, n));
    if (fs_->disk_) fs_->disk_->files[path_].pending.push_back({false, o, std::vector<uint8_t>(d, d + n)});
    fs_->Passed(kWrites);
    return Status::OK();
  }
  Status Truncate(uint64_t s) override {
    if (fs_->Count(kWrites, path_) != Verdict::kPass) return fs_->Faulted("truncation");
    PX_RETURN_IF_ERROR(f_->Truncate(s));
    if (fs_->disk_) fs_->disk_->files[path_].pending.push_back({true, s, {}});
    fs_->Passed(kWrites);
    return Status::OK();
  }
  Status Sync() override {
    if (fs_->Count(kSyncs, path_) != Verdict::kPass) return fs_->Faulted("sync");
    PX_RETURN_IF_ERROR(f_->Sync());
    if (fs_->disk_) {
      Disk::State& st = fs_->disk_->files[path_];
      st.synced = fs_->Contents(path_);
      st.pending.clear();
    }
    fs_->Passed(kSyncs);
    return Status::OK();
  }

 private:
  FaultFileSystem* fs_;
  std::string path_;
};

FaultFileSystem::FaultFileSystem() = default;
FaultFileSystem::FaultFileSystem(const Files& files) { SetAll(files); }
FaultFileSystem::~FaultFileSystem() = default;

void FaultFileSystem::Arm(const FaultPlan& plan) {
  plan_ = plan;
  count_ = 0;
  fired_ = false;
  garbled_ = false;
  after_.clear();
  disk_.reset();
  if (plan.fault != Fault::kPowerCut) return;
  disk_ = std::make_unique<Disk>();
  disk_->rng = plan.seed | 1;
  for (const auto& [name, bytes] : All()) disk_->files[name] = Disk::State{bytes, {}, true};
}

FaultFileSystem::Files FaultFileSystem::All() {
  std::set<std::string> names(names_.begin(), names_.end());
  std::vector<std::string> listed;
  if (MemFileSystem::ListDir(".", &listed).ok())
    names.insert(listed.begin(), listed.end());
  Files out;
  for (const std::string& name : names)
    if (MemFileSystem::FileExists(name)) out[name] = Contents(name);
  return out;
}

void FaultFileSystem::SetAll(const Files& files) {
  for (const auto& [name, bytes] : files) {
    SetContents(name, bytes);
    names_.push_back(name);
  }
}

FaultFileSystem::Verdict FaultFileSystem::Count(unsigned what, const std::string& path) {
  if (Dead()) return Verdict::kFail;
  if ((plan_.counts & what) == 0 || (!plan_.path.empty() && path != plan_.path)) return Verdict::kPass;
  const int n = count_++;
  if (plan_.fault == Fault::kNone || n < plan_.at) return Verdict::kPass;
  if (n > plan_.at) {
    const bool lasting = plan_.fault == Fault::kStop || plan_.fault == Fault::kTearAtSector ||
                         plan_.fault == Fault::kTearInHalf;
    return lasting ? Verdict::kFail : Verdict::kPass;
  }
  fired_ = true;
  switch (plan_.fault) {
    case Fault::kFailOnce:
    case Fault::kStop: return Verdict::kFail;
    case Fault::kTearAtSector:
    case Fault::kTearInHalf: return what == kWrites ? Verdict::kTear : Verdict::kFail;
    case Fault::kPowerCut: CutPower(); return Verdict::kFail;
    case Fault::kRequestStop: paradox::RequestStop(); return Verdict::kPass;
    case Fault::kNone: break;
  }
  return Verdict::kPass;
}

void FaultFileSystem::Passed(unsigned what) {
  if ((plan_.counts & what) != 0 && after_counted) after_counted();
}

Status FaultFileSystem::Faulted(const char* what) const {
  return Status::Error(ErrorCode::kIoError, std::string(kFaultText) + " (" + what + ")");
}

// Each write not synced is kept, dropped, or sector by sector kept, lost or
// garbled; a creation or removal no folder sync made durable may or may not
// have reached the disk.
void FaultFileSystem::CutPower() {
  for (auto& [name, st] : disk_->files) {
    const bool listed = MemFileSystem::FileExists(name);
    const bool present = st.exists == listed ? listed : disk_->Next(2) == 0;
    if (!present) continue;
    std::vector<uint8_t> bytes = st.exists ? st.synced : std::vector<uint8_t>();
    for (const Disk::Op& op : st.pending) {
      const uint32_t how = disk_->Next(3);
      if (how == 1) continue;
      if (op.truncate) {
        bytes.resize(op.offset);
        continue;
      }
      const uint64_t end = op.offset + op.bytes.size();
      if (bytes.size() < end) bytes.resize(end);
      for (uint64_t sector = op.offset / 512 * 512; sector < end; sector += 512) {
        const uint64_t lo = std::max(sector, op.offset), hi = std::min(sector + 512, end);
        const uint32_t fate = how == 0 ? 0 : disk_->Next(3);
        for (uint64_t i = lo; i < hi; ++i) {
          if (fate == 0) bytes[i] = op.bytes[i - op.offset];
          else if (fate == 2) bytes[i] = static_cast<uint8_t>(disk_->Next(256));
        }
        garbled_ = garbled_ || fate == 2;
      }
    }
    after_[name] = std::move(bytes);
  }
}

Status FaultFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) {
  if (Dead()) return Faulted("open");
  if (mode == OpenMode::kCreate && Count(kCreations, path) != Verdict::kPass) return Faulted("creation");
  std::unique_ptr<File> f;
  PX_RETURN_IF_ERROR(MemFileSystem::Open(path, mode, &f));
  names_.push_back(path);
  // A new file is on the disk once a folder sync says so.
  if (disk_ && mode == OpenMode::kCreate) disk_->files[path].pending.clear();
  if (mode == OpenMode::kCreate) Passed(kCreations);
  *out = std::make_unique<FaultFile>(this, path, std::move(f));
  return Status::OK();
}

Status FaultFileSystem::ListDir(const std::string& dir, std::vector<std::string>* names) {
  if (Dead()) return Faulted("listing");
  return MemFileSystem::ListDir(dir, names);
}

bool FaultFileSystem::FileExists(const std::string& path) { return !Dead() && MemFileSystem::FileExists(path); }

Status FaultFileSystem::Remove(const std::string& path) {
  if (Dead()) return Faulted("removal");
  if (fail_removals_) return Status::Error(ErrorCode::kAccessDenied, path);
  return MemFileSystem::Remove(path);
}

Status FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Dead()) return Faulted("renaming");
  PX_RETURN_IF_ERROR(MemFileSystem::Rename(from, to));
  names_.push_back(to);
  if (disk_) {
    // The bytes go with the name; the folder holds the new name once synced.
    Disk::State moved = disk_->files[from];
    moved.exists = false;
    disk_->files[to] = moved;
  }
  return Status::OK();
}

Status FaultFileSystem::SyncDir(const std::string& dir) {
  if (Count(kSyncs, dir) != Verdict::kPass) return Faulted("folder sync");
  PX_RETURN_IF_ERROR(MemFileSystem::SyncDir(dir));
  // What the folder lists is on disk now: created files exist (with what
  // was synced of them), removed ones are gone.
  if (disk_)
    for (auto& [name, st] : disk_->files) st.exists = MemFileSystem::FileExists(name);
  Passed(kSyncs);
  return Status::OK();
}

int ForEachFaultPoint(FaultPlan plan, const std::function<void(FaultFileSystem*)>& setup,
                      const std::function<Status(FaultFileSystem*)>& act,
                      const std::function<void(FaultFileSystem*, const FaultPoint&)>& verify, int limit) {
  const char* kind = plan.counts == kSyncs ? "sync" : plan.counts == kWrites ? "write" : "step";
  const char* how = plan.fault == Fault::kTearAtSector || plan.fault == Fault::kTearInHalf ? "torn"
                    : plan.fault == Fault::kFailOnce                                       ? "failed"
                    : plan.fault == Fault::kPowerCut                                       ? "power cut"
                                                                                           : "stopped";
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  int fired = 0;
  for (int at = 0; at < limit; ++at) {
    FaultPoint point;
    point.at = at;
    point.where = std::string(how) + " at " + kind + " " + std::to_string(at);
    SCOPED_TRACE(point.where);
    const int parts = result->total_part_count();
    FaultFileSystem fs;
    setup(&fs);
    if (::testing::Test::HasFatalFailure()) return fired;
    plan.at = at;
    fs.Arm(plan);
    point.status = act(&fs);
    point.completed = !fs.fired();
    fired += fs.fired() ? 1 : 0;
    fs.Disarm();
    if (point.completed) {
      EXPECT_TRUE(point.status.ok()) << "failed with no fault: " << point.status.ToString();
    }
    verify(&fs, point);
    if (point.completed || ::testing::Test::HasFatalFailure() || result->total_part_count() != parts) return fired;
  }
  ADD_FAILURE() << "the work never ran whole in " << limit << " runs";
  return fired;
}

}  // namespace testsupport
