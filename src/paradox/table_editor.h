// Changing a table: deleting records while the data file, its primary index
// and its undo journal stay consistent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/header.h"
#include "paradox/status.h"

namespace paradox {

struct RowPos {
  uint16_t block = 0;
  uint32_t slot = 0;
  bool operator<(const RowPos& o) const { return block != o.block ? block < o.block : slot < o.slot; }
  bool operator==(const RowPos& o) const { return block == o.block && slot == o.slot; }
};

// Where a walk stands after the record it stood on was deleted: on the
// record that followed it, or else on the record before it, or nowhere.
struct AfterDelete {
  bool has_next = false;
  RowPos next;
  bool has_prev = false;
  RowPos prev;
  // The block whose records moved into the chain's head block (which the
  // change emptied), or 0.
  uint16_t moved_into_head = 0;
};

class TableEditor {
 public:
  // Takes the table at `db_path` for changing. Undoes a change that was cut
  // short, fails with kTableBusy when another program has the table or
  // holds its lock files, with kReadOnly for a file that may not be
  // written, and with kNotSupported when the engine could not keep every
  // file of the table exact (secondary indexes, referential integrity, a
  // header flagged for rebuilding). A missing or stale primary index is
  // rebuilt from the data first. Until the editor is destroyed, the table's
  // files stay held against every other user. Nothing is written on failure.
  static Status Open(FileSystem* fs, const std::string& db_path, std::unique_ptr<TableEditor>* out);

  TableEditor(const TableEditor&) = delete;
  TableEditor& operator=(const TableEditor&) = delete;
  ~TableEditor();

  const TableHeader& header() const { return header_; }
  // The data file and the blob file (or null), open for reading through
  // the editor's handles.
  File* data_file() const { return db_.get(); }
  File* blob_file() const { return mb_.get(); }
  const std::string& path() const { return db_path_; }

  // Deletes the records at `victims` as one change: after it returns OK the
  // records are gone from the file; after an error nothing has changed (and
  // the editor must be reopened). With `sync` the change is forced to stable
  // storage. `after`, when given, tells where a walk standing on
  // `victims[0]` goes on.
  Status Delete(std::vector<RowPos> victims, bool sync, AfterDelete* after);

  // The records of the chain in order, for statements: calls `visit` with
  // each record's position and bytes until it returns false.
  template <typename Visit>
  Status ForEachRecord(Visit visit);

  // Reads block `b` whole into `out`.
  Status ReadBlock(uint16_t b, std::vector<uint8_t>* out) const;
  // Chain links and record counts as they stand.
  uint16_t next_block(uint16_t b) const { return next_[b]; }
  // The data blocks the last change wrote.
  const std::vector<uint16_t>& changed_blocks() const { return changed_; }
  uint16_t block_records(uint16_t b) const { return count_[b]; }

 private:
  TableEditor() = default;
  Status LoadChain();
  Status LoadOrRebuildIndex();
  Status BuildIndexImage(std::vector<uint8_t>* px);
  bool MapIndex(std::string* why);
  uint64_t BlockOffset(uint16_t b) const { return header_.header_size + uint64_t(b - 1) * header_.block_size; }

  FileSystem* fs_ = nullptr;
  std::string db_path_;
  std::string db_name_, px_name_;
  std::unique_ptr<File> db_, px_, mb_, journal_;
  std::vector<std::unique_ptr<File>> held_;  // other files of the table, held only
  TableHeader header_;
  std::vector<uint8_t> header_bytes_;
  // Per block (index = block number): chain links, records, first key.
  std::vector<uint16_t> next_, prev_;
  std::vector<uint16_t> count_;
  std::vector<uint8_t> in_chain_;
  std::vector<uint8_t> first_keys_;  // key_size_ bytes per block
  uint16_t key_size_ = 0;
  // The primary index as it stands in the file, and where each data
  // block's entry is.
  std::vector<uint8_t> px_bytes_;
  TableHeader px_header_;
  struct EntryRef {
    uint16_t px_block = 0;
    uint16_t index = 0;
  };
  std::vector<EntryRef> leaf_of_;    // by data block
  std::vector<EntryRef> parent_of_;  // by index block; px_block 0 for the root
  std::vector<uint16_t> changed_;
  bool broken_ = false;
};

template <typename Visit>
Status TableEditor::ForEachRecord(Visit visit) {
  std::vector<uint8_t> block;
  for (uint16_t b = header_.first_block; b != 0; b = next_[b]) {
    if (count_[b] == 0) continue;
    PX_RETURN_IF_ERROR(ReadBlock(b, &block));
    for (uint32_t s = 0; s < count_[b]; ++s)
      if (!visit(RowPos{b, s}, block.data() + 6 + size_t(s) * header_.record_size)) return Status::OK();
  }
  return Status::OK();
}

}  // namespace paradox
