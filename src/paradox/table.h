// A table opened for reading: its header, fields and companion files, and
// cursors that walk its records.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/file.h"
#include "paradox/format/header.h"
#include "paradox/status.h"

namespace paradox {

class Cursor;
class BlobFile;

struct OpenOptions {
  // Code page to read text with instead of the header's; 0 keeps the
  // header's (866 for version 3.x tables, which carry none).
  int code_page = 0;
};

// The files that belong to a table, found beside it without regard to the
// case of their names.
struct CompanionFiles {
  std::string primary_index;               // .PX, or empty
  std::string blobs;                       // .MB, or empty
  std::string validity;                    // .VAL, or empty
  std::vector<std::string> secondary;      // .Xnn/.Ynn/.XGn/.YGn
};

// The names of the files that belong to the table at `db_path`, as the
// folder spells them, data file first: the primary index (.PX), blobs
// (.MB), validity checks (.VAL), secondary indexes (.Xnn/.Ynn/.XGn/.YGn),
// the view and family files (.TV/.FAM) and the undo journal of a change
// cut short, or one kept aside, when there is one. Names are matched
// without regard to ASCII letter case; lock files are not the table's and
// are left out.
Status TableFileNames(FileSystem* fs, const std::string& db_path, std::vector<std::string>* names);

class Table {
 public:
  // Opens the data file at `path` for reading only; others may go on reading
  // and writing it. Fails with kNotFound, kEncrypted (no password is asked
  // for), or the header's errors; writes nothing.
  static Status Open(FileSystem* fs, const std::string& path, const OpenOptions& options,
                     std::unique_ptr<Table>* out);

  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  const std::string& path() const { return path_; }
  const TableHeader& header() const { return header_; }
  const std::vector<Field>& fields() const { return header_.fields; }
  const CompanionFiles& companions() const { return companions_; }
  // Records as the header counts them.
  uint32_t record_count() const { return header_.num_records; }
  // Index of the field named `name` (ASCII letters compared without regard
  // to case), or -1.
  int FindField(std::string_view name) const;

  // The code page text is read with, and whether the engine knows it.
  int text_code_page() const { return text_code_page_; }
  Status CheckTextCodePage() const;
  // Text of the table as Windows-1251: text of a Windows code page passes
  // byte for byte; text of a DOS code page is converted, characters with no
  // Windows-1251 form becoming '?'. Needs a known code page.
  void To1251(std::string_view text, std::string* out) const;
  // The byte map behind To1251; null when text passes unchanged.
  const uint8_t* to1251_map() const { return to1251_map_; }

  // Reads a blob field's value (from the record's leader or the .MB).
  Status ReadBlob(int field, const uint8_t* record, std::string* out) const;

  // A cursor over the records in the order of the block chain, which for a
  // keyed table is primary-key order. The table must outlive it.
  std::unique_ptr<Cursor> NewCursor() const;

  // Reads `size` bytes at `offset` of the data file (used by cursors).
  Status ReadData(uint64_t offset, size_t size, uint8_t* out, size_t* got) const;
  uint64_t file_size() const { return file_size_; }

  // For changing the table through a TableEditor: closes this table's own
  // handles, so the editor can hold the files alone; ReadThrough then reads
  // through the editor's handles with its header and the data file's
  // length, where known (call it again after each change); ReopenFiles
  // takes own handles again and reads the header afresh (another program,
  // or the undoing of a change cut short, may have changed it), refusing a
  // table whose records changed size.
  void ReleaseFiles();
  Status ReadThrough(File* data, File* blobs, const TableHeader& header, uint64_t data_size);
  Status ReopenFiles();

 private:
  Table() = default;
  // Opens the data file for reading and reads its header.
  Status OpenData();

  std::string path_;
  std::unique_ptr<File> file_;
  File* reader_ = nullptr;  // file_, or an editor's handle
  uint64_t file_size_ = 0;
  TableHeader header_;
  CompanionFiles companions_;
  int text_code_page_ = 0;
  const uint8_t* to1251_map_ = nullptr;
  std::unique_ptr<BlobFile> blobs_;
  FileSystem* fs_ = nullptr;
};

// Walks the records of a table along its block chain. Checks the chain as it
// goes: a block out of range, a loop, a bad record count or a chain that does
// not account for every record stops the walk with status() set.
class Cursor {
 public:
  explicit Cursor(const Table* table);
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  void SeekToFirst();
  bool Valid() const { return record_ != nullptr; }
  void Next();
  // The current record's bytes (record_size of them). Requires Valid().
  const uint8_t* record() const { return record_; }
  // Where the current record is: block number and slot within the block.
  uint16_t block() const { return block_; }
  uint32_t slot() const { return slot_; }
  // True on the last record of its block: Next enters another block.
  bool LastInBlock() const { return record_ != nullptr && slot_ + 1 >= count_; }
  // The block that follows the current record's block in the chain (0: none).
  uint16_t next_block() const { return next_; }
  // The error that ended the walk, or OK.
  const Status& status() const { return status_; }
  // Stands on record `slot` of block `b`, typically after the table changed
  // under the cursor (call Refresh first). From here the walk no longer
  // checks that the chain accounts for every record. Ends the walk when
  // there is no such record.
  void SeekTo(uint16_t b, uint32_t slot);
  // Takes the given blocks again where the cursor keeps copies of them,
  // from `image(b)` or, where that gives null, from the file; Forget drops
  // every copy.
  void Refresh(const std::vector<uint16_t>& changed, const std::function<const uint8_t*(uint16_t)>& image);
  void Forget() { buffer_blocks_ = 0; }
  // Blocks that `source(b)` gives (non-null) are read from there, in
  // place, before the cursor's own copies; the memory must stay as it is
  // until the cursor moves or is told again. Null: none.
  void SetSource(std::function<const uint8_t*(uint16_t)> source) { source_ = std::move(source); }
  // Ends the walk: the cursor stands past the last record, without error.
  void SeekToEnd();

 private:
  void EnterBlock(uint16_t b);
  void Fail(ErrorCode code, const std::string& why);
  Status Load(uint16_t b, const uint8_t** data);

  const Table* table_;
  Status status_;
  const uint8_t* record_ = nullptr;
  const uint8_t* block_data_ = nullptr;
  uint16_t block_ = 0;
  uint32_t slot_ = 0;
  uint32_t count_ = 0;      // records in the current block
  uint16_t next_ = 0;       // next block in the chain
  uint32_t steps_ = 0;      // blocks visited
  uint64_t seen_ = 0;       // records seen
  bool relaxed_ = false;    // positioned by SeekTo: no count checks at the end
  std::vector<bool> visited_;
  std::function<const uint8_t*(uint16_t)> source_;
  // Read-ahead buffer of whole blocks starting at buffer_first_.
  std::vector<uint8_t> buffer_;
  uint16_t buffer_first_ = 0;
  uint32_t buffer_blocks_ = 0;
};

}  // namespace paradox
