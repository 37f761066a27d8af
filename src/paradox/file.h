// The one seam through which the engine touches files. A real implementation
// for the host system, an in-memory one for tests and fuzzing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/status.h"

namespace paradox {

// An open file. Not thread-safe; one owner at a time.
// A file length not known yet.
constexpr uint64_t kUnknownSize = ~uint64_t{0};

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File() = default;

  // Reads up to `n` bytes at `offset` into `out`; `*got` is the number read,
  // which is less than `n` only at the end of the file.
  virtual Status Read(uint64_t offset, size_t n, uint8_t* out, size_t* got) = 0;
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Write(uint64_t offset, const uint8_t* data, size_t n) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  // Forces written data (and the length) to stable storage.
  virtual Status Sync() = 0;
};

enum class OpenMode {
  kRead,       // existing file, reading only; others may read and write
  kReadWrite,  // existing file, reading and writing
  kCreate,     // new file for reading and writing; fails if it exists
  // Existing file, reading and writing, held against every other user: fails
  // with kTableBusy when another program or handle has it open (on POSIX
  // systems: holds an fcntl or flock lock on it), and with kReadOnly when
  // the file may not be written. While the handle lives, no one else can
  // open the file for writing.
  kExclusive,
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Paths are UTF-8; both '/' and '\\' separate folders on Windows.
  virtual Status Open(const std::string& path, OpenMode mode,
                      std::unique_ptr<File>* out) = 0;
  // Names (not paths) of the entries of `dir`.
  virtual Status ListDir(const std::string& dir,
                         std::vector<std::string>* names) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual Status Remove(const std::string& path) = 0;
  // Gives the file `from` the name `to` in the same folder, in one step;
  // fails with kAccessDenied when `to` exists (nothing is replaced).
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Forces the entries of folder `dir` (files created or removed in it) to
  // stable storage.
  virtual Status SyncDir(const std::string& dir) = 0;

  // The host system's file system. Never null; lives for the program.
  static FileSystem* Default();
};

// Splits a path into its folder (without trailing separator; "." when none)
// and its file name.
void SplitPath(const std::string& path, std::string* dir, std::string* name);
// Joins a folder and a name with the platform's separator.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace paradox
