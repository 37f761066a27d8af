// Helpers of the tests that run real processes against real files (POSIX):
// a scratch folder, a folder's bytes, a table's rows, the check's findings,
// and a child process that holds a file open until told to let go.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox::testing {

using Row = std::string;  // a record's bytes

// A folder of our own below the build's scratch folder, gone afterwards.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& what);
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// Every file of a folder with its bytes, to prove nothing was written.
std::map<std::string, std::string> FolderBytes(const std::filesystem::path& dir);

// Reads every record of a table in chain order, as Table::Open finds it
// (undoing a change cut short first).
Status ReadRows(const std::string& path, std::vector<Row>* rows);

// What CheckTable finds, its failure included.
std::vector<std::string> Problems(const std::string& path);

// A child process that takes hold of a file and keeps it until Stop.
class Holder {
 public:
  // Runs `hold` in the child, which keeps whatever it opened until Stop;
  // false when `hold` says it failed.
  bool Start(const std::function<bool()>& hold);
  // Opens `path` in the child with `mode`.
  bool Start(const std::string& path, OpenMode mode);
  void Stop();
  ~Holder() { Stop(); }

 private:
  pid_t pid_ = -1;
  int quit_ = -1;
};

}  // namespace paradox::testing

#endif  // !_WIN32
