// Changing a table: deleting records while the data file, its primary index,
// its secondary indexes and its undo journal stay consistent.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "paradox/file.h"
#include "paradox/format/header.h"
#include "paradox/store/pending_groups.h"
#include "paradox/store/record_chain.h"
#include "paradox/store/table_files.h"
#include "paradox/table.h"
#include "paradox/status.h"

namespace paradox {

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

class TableEditor : public PendingGroup {
 public:
  // Takes the table at `db_path` for changing. Undoes a change that was cut
  // short, fails with kTableBusy when another program has the table or
  // holds its lock files, with kReadOnly for a file that may not be
  // written, and with kNotSupported when the engine could not keep every
  // file of the table exact (referential integrity, a header flagged for
  // rebuilding, a secondary index of a kind it does not know, one that does
  // not match the table or that lacks its other half, or any secondary
  // index on a table without a key). A missing or stale primary index, and
  // a stale .Ynn/.YGn, is rebuilt from its data file first. Until the editor
  // is destroyed, the table's files stay held against every other user.
  // Nothing is written on failure.
  static Status Open(FileSystem* fs, const std::string& db_path, std::unique_ptr<TableEditor>* out);

  TableEditor(const TableEditor&) = delete;
  TableEditor& operator=(const TableEditor&) = delete;
  ~TableEditor() override;

  const TableHeader& header() const { return db_.header(); }
  // The data file as it stands, the gathered group included (a read-only
  // view), and the blob file (or null), for reading through the editor's
  // handles.
  File* data_file() const { return view_.get(); }
  uint64_t data_size() const { return db_size_; }
  File* blob_file() const { return mb_.get(); }
  const std::string& path() const { return db_path_; }

  // Deletes the records at `victims`: after it returns OK the records are
  // gone from the table as this editor shows it (header, blocks, indexes),
  // gathered with the deletions before it into one group that Flush writes
  // to the files. After an error this deletion has not happened; the group
  // gathered before it may still be written with Flush, but the editor
  // takes no further deletion and must be reopened. `after`, when given,
  // tells where a walk standing on `victims[0]` goes on.
  Status Delete(std::vector<RowPos> victims, AfterDelete* after);
  // Writes the gathered group as one journaled change, forced to stable
  // storage (see ApplyChange): afterwards the files hold every deletion
  // made so far. Writes nothing when nothing is gathered. After an error
  // the files are as they were before the group (or, when even putting
  // them back failed, the journal undoes the group at the next open) and
  // the editor is of no further use.
  Status Flush();
  // Block `b` as it stands (see Block), for a walk's cursor, which then
  // reads the file once, with the editor; null when it cannot be read
  // (the cursor's own reading then tells why). The memory stays until the
  // next call, a change or the group being written.
  const uint8_t* WalkBlock(uint16_t b) const {
    const uint8_t* p = nullptr;
    return db_.Block(b, &p).ok() ? p : nullptr;
  }
  // PendingGroup: Flush, its error kept for failure().
  void WriteGroup() override { (void)Flush(); }
  // Called after each group is written (by Flush or by FlushPendingGroups).
  void OnFlushed(std::function<void()> call) { on_flushed_ = std::move(call); }
  // Rows deleted in the gathered group, and the bytes of blocks it writes.
  uint32_t group_rows() const { return group_rows_; }
  size_t group_bytes() const;
  // True once the editor takes no further deletions (an error happened).
  bool broken() const { return state_ != State::kReady; }
  // The error that made the editor unusable, or OK.
  Status failure() const;

  // The records of the chain in order, for statements: calls `visit` with
  // each record's position and bytes until it returns false.
  template <typename Visit>
  Status ForEachRecord(Visit visit);

  // Reads block `b` whole into `out`.
  Status ReadBlock(uint16_t b, std::vector<uint8_t>* out) const { return db_.ReadBlock(b, out); }
  // Block `b` as the file holds it, from the editor's memory where it can
  // (see RecordChain::Block); `*out` lasts until the next call or change.
  Status Block(uint16_t b, const uint8_t** out) const { return db_.Block(b, out); }
  // Chain links and record counts as they stand.
  uint16_t next_block(uint16_t b) const { return db_.next(b); }
  // The data blocks the last deletion changed, and what they hold now (null
  // for a block the editor no longer keeps).
  const std::vector<uint16_t>& changed_blocks() const { return changed_; }
  const uint8_t* BlockImage(uint16_t b) const { return db_.Kept(b); }
  uint16_t block_records(uint16_t b) const { return db_.count(b); }
  // The secondary indexes kept with the table (.Xnn/.XGn file names).
  std::vector<std::string> secondary_indexes() const;

 private:
  // A secondary index: its data file (.Xnn/.XGn) and that file's index
  // (.Ynn/.YGn).
  struct Secondary {
    std::string x_name, y_name;
    std::unique_ptr<File> x_file, y_file;
    RecordChain x;
    ChainIndex y;
    bool y_exact = false;
    uint64_t x_size = kUnknownSize, y_size = kUnknownSize;
    uint16_t key_at = 0;  // where the table's key starts in an .Xnn record
  };

  enum class State { kReady, kStale, kBroken };
  class GroupView;

  // Secondary index files by number ("02", "g0"): (.Xnn, .Ynn).
  using Pairs = std::map<std::string, std::pair<std::string, std::string>>;

  TableEditor();
  static Status Refuse(const std::string& path, const std::string& why);
  // The steps of Open, in their order.
  Status TakeTable(std::vector<TableFileName>* files);
  Status ReadTableHeader(TableHeader* h, std::vector<uint8_t>* head);
  Status OpenOtherFiles(const std::vector<TableFileName>& files, Pairs* pairs);
  Status LoadChains(const TableHeader& h, const std::vector<uint8_t>& head, const Pairs& pairs);
  Status MakeIndexesExact(const TableHeader& h);
  Status OpenJournal();
  Status OpenSecondary(const std::string& dir, const std::string& x_name, const std::string& y_name);
  Status MapSecondaryRows();
  // A deletion as Delete plans it, before it joins the group.
  struct Planned {
    RecordChain::Change dbc;
    std::vector<RecordChain::Change> xc;  // per secondary index
    std::string victim_keys;              // the table's key of every victim
    std::vector<std::string_view> keys;   // into victim_keys
  };
  Status PlanDeletion(const std::vector<RowPos>& victims, Planned* plan);
  void WhereAfter(RowPos first, const RecordChain::Change& dbc, AfterDelete* after) const;
  Status StageDeletion(Planned* plan);
  Status DeleteSecondary(size_t i, const std::vector<std::string_view>& keys, const RecordChain::Change& db_change,
                         RecordChain::Change* change);

  FileSystem* fs_ = nullptr;
  std::string db_path_;
  std::string dir_, db_name_, px_name_;
  bool px_exact_ = false;  // the .PX found matches the table
  std::unique_ptr<File> db_file_, px_file_, mb_, journal_;
  std::vector<std::unique_ptr<File>> held_;  // other files of the table, held only
  // Lengths of the files a change writes, as the editor left them.
  uint64_t db_size_ = kUnknownSize, px_size_ = kUnknownSize;
  RecordChain db_;
  ChainIndex px_;
  std::vector<std::unique_ptr<Secondary>> secondary_;
  // Which block of each .Xnn holds the entry of each row: rows are numbered
  // by the table's key bytes (kept in key_bytes_), and row r's entry in
  // secondary index i lies in block entry_block_[r * secondary_.size() + i].
  std::vector<uint8_t> key_bytes_;
  std::unordered_map<std::string_view, uint32_t> row_of_key_;
  std::vector<uint16_t> entry_block_;
  std::vector<uint16_t> changed_;
  std::unique_ptr<File> view_;
  State state_ = State::kReady;
  Status failure_;
  uint32_t group_rows_ = 0;
  std::vector<uint8_t> journal_buffer_;  // kept from one group to the next
  std::function<void()> on_flushed_;
};

// After the editor took the files of `table` (see Table::ReleaseFiles) and
// after each deletion it made: reads `table` through the editor's view
// and, when given, refreshes `cursor`'s copies of the blocks the last
// deletion changed.
Status FollowEditor(const TableEditor& editor, Table* table, Cursor* cursor);

template <typename Visit>
Status TableEditor::ForEachRecord(Visit visit) {
  for (uint16_t b = db_.header().first_block; b != 0; b = db_.next(b)) {
    if (db_.count(b) == 0) continue;
    const uint8_t* block = nullptr;
    PX_RETURN_IF_ERROR(db_.Block(b, &block));
    for (uint32_t s = 0; s < db_.count(b); ++s)
      if (!visit(RowPos{b, s}, block + kBlockHeaderSize + size_t(s) * db_.header().record_size)) return Status::OK();
  }
  return Status::OK();
}

}  // namespace paradox
