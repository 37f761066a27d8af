// Helpers the table tests share: writing a table row by row, reading back
// the first field of every row of "t.db", and a file layer that stops
// writing part way, as a process killed at that moment would.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/table_writer.h"

namespace paradox {

// Writes a table of `rows` records, each filled by `fill` (with its index
// from 0) after the builder is cleared.
void WriteTable(FileSystem* fs, const std::string& path, std::vector<FieldDef> fields, const CreateOptions& o, int rows,
                const std::function<void(RecordBuilder*, int)>& fill);

// The first field (an integer) of every row of "t.db", in the table's order.
std::vector<int> Ids(FileSystem* fs);

// Lets `*budget` writes and truncations through; every later one fails.
class StoppingFile : public File {
 public:
  StoppingFile(std::unique_ptr<File> f, int* budget) : f_(std::move(f)), budget_(budget) {}
  Status Read(uint64_t o, size_t n, uint8_t* out, size_t* got) override { return f_->Read(o, n, out, got); }
  Status Size(uint64_t* s) override { return f_->Size(s); }
  Status Write(uint64_t o, const uint8_t* d, size_t n) override { return Spend() ? f_->Write(o, d, n) : Stopped(); }
  Status Truncate(uint64_t s) override { return Spend() ? f_->Truncate(s) : Stopped(); }
  Status Sync() override { return f_->Sync(); }

 private:
  bool Spend() { return (*budget_)-- > 0; }
  static Status Stopped() { return Status::Error(ErrorCode::kIoError, "stopped"); }
  std::unique_ptr<File> f_;
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
