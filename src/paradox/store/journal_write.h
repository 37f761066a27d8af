// Writing a change to a table's files through its undo journal (the
// journal's layout and its recovery: paradox/journal.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/file.h"

namespace paradox {

// One planned write of a file taking part in a change: `bytes`, or where
// `data` is given the `size` bytes there (which the caller keeps until the
// change returns).
struct FileWrite {
  int file;  // index into the change's files
  uint64_t offset;
  std::vector<uint8_t> bytes;
  // What the file holds now at offset .. offset + size(), where the caller
  // knows it (bytes past the file's end are not looked at); null: read from
  // the file.
  const uint8_t* old = nullptr;
  const uint8_t* data = nullptr;
  size_t data_size = 0;

  const uint8_t* begin() const { return data != nullptr ? data : bytes.data(); }
  size_t size() const { return data != nullptr ? data_size : bytes.size(); }
};

// The files of a table that a change may touch, held open for writing.
struct ChangeFile {
  std::string name;  // file name only, as on disk
  File* file;
  // The file's length where the caller keeps it (kUnknownSize: not known
  // yet), brought up to date by a change that succeeds; null: asked of the
  // file each time.
  uint64_t* size = nullptr;
};

// Applies `writes` and the new lengths (`truncate[i]` < 0: keep) to `files`
// through the open journal file `journal`: saves what they overwrite, forces
// the journal to stable storage, writes in the order given, forces the files
// to stable storage, then clears the journal and forces that too. So the
// change survives a power cut as it survives a killed process: at the next
// open it is either complete or undone. Only the bytes that differ from what
// the files hold are saved and written. When a write fails, what was written
// is put back (and the journal cleared once that is on disk) before the
// error returns.
// `buffer`, when given, holds the journal's bytes (kept by the caller so
// that a run of changes allocates it once).
Status ApplyChange(File* journal, const std::vector<ChangeFile>& files, const std::vector<FileWrite>& writes,
                   const std::vector<int64_t>& truncate, std::vector<uint8_t>* buffer = nullptr);

}  // namespace paradox
