// Helpers the table tests share: writing a table row by row, reading back
// the first field of every row of "t.db", and a file layer that stops
// writing part way, as a process killed at that moment would.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paradox/env/file_mem.h"
#include "paradox/file.h"
#include "paradox/table_writer.h"

namespace paradox {

// Writes a table of `rows` records, each filled by `fill` (with its index
// from 0) after the builder is cleared.
void WriteTable(FileSystem* fs, const std::string& path, std::vector<FieldDef> fields, const CreateOptions& o, int rows,
                const std::function<void(RecordBuilder*, int)>& fill);

// The first field (an integer) of every row of "t.db", in the table's order.
std::vector<int> Ids(FileSystem* fs);

// A file that passes every call to another; tests override what they change.
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
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
    std::unique_ptr<File> f;
    PX_RETURN_IF_ERROR(base_->Open(path, mode, &f));
    *out = Wrap(path, std::move(f));
    return Status::OK();
  }
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

// Lets `*budget` writes and truncations through; every later one fails.
class StoppingFile : public ForwardingFile {
 public:
  StoppingFile(std::unique_ptr<File> f, int* budget) : ForwardingFile(std::move(f)), budget_(budget) {}
  Status Write(uint64_t o, const uint8_t* d, size_t n) override { return Spend() ? f_->Write(o, d, n) : Stopped(); }
  Status Truncate(uint64_t s) override { return Spend() ? f_->Truncate(s) : Stopped(); }

 private:
  bool Spend() { return (*budget_)-- > 0; }
  static Status Stopped() { return Status::Error(ErrorCode::kIoError, "stopped"); }
  int* budget_;
};

class StoppingFileSystem : public MemFileSystem {
 public:
  int budget = 1 << 30;
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
    std::unique_ptr<File> f;
    PX_RETURN_IF_ERROR(MemFileSystem::Open(path, mode, &f));
    *out = std::make_unique<StoppingFile>(std::move(f), &budget);
    return Status::OK();
  }
};

}  // namespace paradox
