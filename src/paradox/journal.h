// Undo journal for changes to a table's files. Before a change writes a byte
// it saves the bytes it will overwrite (and each file's length) in a file
// beside the table; once the change is complete the journal is cleared. A
// journal found intact at the next open means a change was cut short: its
// saved bytes are written back, so the table reads as it was before.
//
// Journal layout (little-endian):
//   0   8  magic "PXUNDO02"
//   8   4  length of the journal, checksum included
//  12   4  number of files n, then per file: u16 name length, name, u64 length
//      4  number of ranges m, then per range: u16 file, u64 offset, u32 size, bytes
//      8  checksum of everything before it (JournalChecksum)
// Journals of the first layout ("PXUNDO01", the same fields with FNV-1a 64
// as the checksum) are still recovered.
#pragma once

#include <cstdint>
#include <memory>
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

// The journal's path for a table's data file.
std::string JournalPath(const std::string& db_path);

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

// Undoes a change cut short, if the journal beside `db_path` holds one: the
// files it names (in the table's folder) are opened exclusively, restored
// and forced to stable storage, the journal cleared and removed, and the
// folder synced. `*undone` tells whether there was one. A journal
// that is incomplete (the change never began writing) is removed.
Status RecoverJournal(FileSystem* fs, const std::string& db_path, bool* undone);

// The journal's checksum: a hash of 64-bit words in four lanes, quick
// enough to run over every change of a deletion walk. It catches a journal
// whose writing was cut short; it is no defence against deliberate change.
uint64_t JournalChecksum(const uint8_t* p, size_t n);

// True when a journal file lies beside the table (intact or not).
bool JournalExists(FileSystem* fs, const std::string& db_path);
// True when the journal beside the table holds a change cut short.
bool JournalIsHot(FileSystem* fs, const std::string& db_path);

}  // namespace paradox
