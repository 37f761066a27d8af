// A safety copy of a table: every file that belongs to it, copied into a
// new folder of its own while the table is held against other writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/table.h"
#include "paradox/status.h"

namespace paradox {

// Folders, which the file seam leaves out: a copy makes one, syncs it once
// its files are written, and takes it away again when the copy fails.
class Folders {
 public:
  Folders() = default;
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;
  virtual ~Folders() = default;

  // Makes the folder `path` inside an existing folder. When anything by
  // that name is there already, sets `*taken` and changes nothing; fails
  // with kNotFound when the folder it goes in is missing and with
  // kAccessDenied when it may not be written.
  virtual Status Make(const std::string& path, bool* taken) = 0;
  // Forces the folder's list of entries to stable storage.
  virtual Status Sync(const std::string& path) = 0;
  // Removes the empty folder `path`.
  virtual Status Remove(const std::string& path) = 0;

  // The host system's folders. Never null; lives for the program.
  static Folders* Default();
};

struct TableCopy {
  std::string folder;              // the new folder, `into` joined with its name
  std::vector<std::string> files;  // the names copied into it
  uint64_t bytes = 0;              // their length in all
};

// Copies the table at `db_path` with every file that belongs to it into a
// new folder inside the existing folder `into`, named `name`, or `name`_2,
// `name`_3, ... when that is taken: nothing there is ever overwritten.
// Every file of the table is held against all other users (kExclusive)
// from before the first byte is read until the copy is written and synced,
// so the copy is of one moment; the table itself is not written. Fails
// with kTableBusy when another program has a file of the table open, with
// kReadOnly when one may not be written (the change the copy is for would
// fail too), and with the error of whatever could not be written; then
// what was written is removed again (the error says so when that failed
// too).
Status CopyTable(FileSystem* fs, Folders* folders, const std::string& db_path, const std::string& into,
                 const std::string& name, TableCopy* out);

}  // namespace paradox
