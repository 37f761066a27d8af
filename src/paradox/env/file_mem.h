// The file system held in memory behind file.h, for tests, benchmarks and
// the fuzzer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"

namespace paradox {

// A file system held in memory, for tests and the fuzzer. Paths are plain
// keys; the folder of a path is everything up to its last separator.
class MemFileSystem : public FileSystem {
 public:
  MemFileSystem();
  ~MemFileSystem() override;

  Status Open(const std::string& path, OpenMode mode,
              std::unique_ptr<File>* out) override;
  Status ListDir(const std::string& dir,
                 std::vector<std::string>* names) override;
  bool FileExists(const std::string& path) override;
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status SyncDir(const std::string&) override { return Status::OK(); }

  // Puts a whole file in place, replacing any earlier one.
  void SetContents(const std::string& path, std::vector<uint8_t> bytes);
  // Marks a file read-only: writable opens fail with kReadOnly.
  void SetReadOnly(const std::string& path, bool read_only);
  // Open handles of a file, of this file system's users.
  int OpenHandles(const std::string& path) const;
  // The current bytes of a file; empty when there is none.
  std::vector<uint8_t> Contents(const std::string& path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace paradox
