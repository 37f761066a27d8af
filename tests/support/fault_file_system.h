// A file system in memory that goes wrong on purpose, for the crash and
// I/O-error tests: at the n-th write, creation or sync it can make every
// later one fail (a process killed there), fail that one alone (a passing
// disk error), tear it (a write the system stopped part way), cut the power
// (writes not synced kept, dropped or garbled sector by sector, creations
// and removals no folder sync made durable undone or not) or ask the engine
// to stop. ForEachFaultPoint runs a piece of work with the fault at every
// point in turn.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "paradox/env/file_mem.h"
#include "paradox/file.h"

namespace testsupport {

using paradox::File;
using paradox::FileSystem;
using paradox::OpenMode;
using paradox::Status;

// A file that passes every call to another; watchers override what they see.
class ForwardingFile : public File {
 public:
  explicit ForwardingFile(std::unique_ptr<File> f) : f_(std::move(f)) {}
  Status Read(uint64_t o, size_t n, uint8_t* out, size_t* got) override { return f_->Read(o, n, out, got); }
  Status Size(uint64_t* s) override { return f_->Size(s); }
  Status Write(uint64_t o, const uint8_t* d, size_t n) override { return f_->Write(o, d, n); }
  Status Truncate(uint64_t s) override { return f_->Truncate(s); }
  Status Sync() override { return f_->Sync(); }

 protected:
  std::unique_ptr<File> f_;
};

// A file system that passes every call to `base`, the files it opens
// wrapped by Wrap.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem* base) : base_(base) {}
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override;
  Status ListDir(const std::string& dir, std::vector<std::string>* names) override {
    return base_->ListDir(dir, names);
  }
  bool FileExists(const std::string& path) override { return base_->FileExists(path); }
  Status Remove(const std::string& path) override { return base_->Remove(path); }
  Status Rename(const std::string& from, const std::string& to) override { return base_->Rename(from, to); }
  Status SyncDir(const std::string& dir) override { return base_->SyncDir(dir); }

 protected:
  virtual std::unique_ptr<File> Wrap(const std::string&, std::unique_ptr<File> f) { return f; }
  FileSystem* base_;
};

enum class Fault {
  kNone,
  kStop,          // that operation and every later counted one fail
  kFailOnce,      // that one fails; later ones go through
  kTearAtSector,  // as kStop; a write lands up to the last 512-byte sector before its middle
  kTearInHalf,    // as kStop; a write lands its first half
  kPowerCut,      // everything fails from then on; after() is what the disk kept
  kRequestStop,   // asks the engine to stop, and the operation goes through
};

// Which operations count towards the n-th.
enum Counted : unsigned {
  kWrites = 1,    // writes and truncations
  kSyncs = 2,     // syncs of files and of folders
  kCreations = 4, // opens that create a file
};

struct FaultPlan {
  FaultPlan(Fault f = Fault::kNone, int n = 0, unsigned what = kWrites, std::string only = std::string(),
            uint32_t s = 1)
      : fault(f), at(n), counts(what), path(std::move(only)), seed(s) {}
  Fault fault;
  int at;           // from 0, counting from when the plan was armed
  unsigned counts;  // Counted values, or-ed
  std::string path; // count only this file's operations, when given
  uint32_t seed;    // the power cut's choices
};

class FaultFileSystem : public paradox::MemFileSystem {
 public:
  using Files = std::map<std::string, std::vector<uint8_t>>;
  // The text of every error the faults make.
  static constexpr const char* kFaultText = "injected fault";

  FaultFileSystem();
  explicit FaultFileSystem(const Files& files);
  ~FaultFileSystem() override;

  // Counts anew and brings `plan`'s fault at its operation. A power cut
  // takes the files as they are now for what the disk holds.
  void Arm(const FaultPlan& plan);
  // Everything goes through again (except after a power cut); counting goes on.
  void Disarm() { plan_.fault = Fault::kNone; }
  // Counted operations since Arm.
  int count() const { return count_; }
  // Whether the fault came.
  bool fired() const { return fired_; }
  // Makes every removal fail (or not).
  void FailRemovals(bool fail) { fail_removals_ = fail; }
  // Called after each counted operation that went through.
  std::function<void()> after_counted;

  // After a power cut: the files as the disk kept them, and whether a
  // sector came back as garbage.
  const Files& after() const { return after_; }
  bool garbled() const { return garbled_; }
  // Every file with its bytes now, all writes kept.
  Files All();
  void SetAll(const Files& files);

  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override;
  Status ListDir(const std::string& dir, std::vector<std::string>* names) override;
  bool FileExists(const std::string& path) override;
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status SyncDir(const std::string& dir) override;

 private:
  class FaultFile;
  struct Disk;
  enum class Verdict { kPass, kFail, kTear };

  // What a counted operation of kind `what` on `path` meets.
  Verdict Count(unsigned what, const std::string& path);
  // After a counted operation that went through.
  void Passed(unsigned what);
  bool Dead() const { return plan_.fault == Fault::kPowerCut && fired_; }
  void CutPower();
  Status Faulted(const char* what) const;

  FaultPlan plan_;
  int count_ = 0;
  bool fired_ = false;
  bool fail_removals_ = false;
  bool garbled_ = false;
  std::unique_ptr<Disk> disk_;  // kept while a power cut is armed
  Files after_;
  std::vector<std::string> names_;  // every file ever seen, for All()
};

// What one run of ForEachFaultPoint saw.
struct FaultPoint {
  int at = 0;
  Status status;          // what the work returned
  bool completed = false; // the fault never came: the work ran whole
  std::string where;      // "stopped at write 3" and the like, for messages
};

// Runs the work with the fault at operation 0, 1, 2, ... of a fresh file
// system each time: `setup` fills it, `act` does the work, and `verify`
// looks at what is left with the fault disarmed. Ends after the run in which
// the fault never came, or at the first run that failed a test, or with a
// failure after `limit` runs. A run in which the fault never came must
// succeed. Returns the number of runs the fault came in.
int ForEachFaultPoint(FaultPlan plan, const std::function<void(FaultFileSystem*)>& setup,
                      const std::function<Status(FaultFileSystem*)>& act,
                      const std::function<void(FaultFileSystem*, const FaultPoint&)>& verify, int limit = 5000);

}  // namespace testsupport
