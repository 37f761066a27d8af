// The two halves of every keyed file pair an editor changes: a chain of
// record blocks (a table's .DB, or the .Xnn/.XGn of a secondary index, which
// has the same layout) and the primary index over that chain (the .PX, or
// the .Ynn/.YGn). Deleting rows from a table and deleting the matching
// entries from each secondary index is the same work on different files, so
// both go through these two classes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/format/block.h"
#include "paradox/format/header.h"
#include "paradox/journal.h"
#include "paradox/store/journal_write.h"
#include "paradox/status.h"

namespace paradox {

// The records of a data file along its block chain: the links and record
// count of every block, each block's first key and the header that counts
// them. Block contents are read from the file when needed.
//
// Changes are planned (Remove), then staged: a staged change is what the
// chain holds from then on, for every reader of this object, while the file
// still holds what it held before the group of staged changes began. The
// group goes to the file as one journaled change (AddWrites, then Flushed).
class RecordChain {
 public:
  // A change to the chain, planned in memory before anything is written.
  struct Change {
    std::map<uint16_t, std::vector<uint8_t>> blocks;  // new images of the blocks to write
    std::map<uint16_t, std::vector<uint8_t>> disk;    // those the group had not changed, as the file holds them
    std::vector<uint16_t> disk_in_window;              // such blocks whose file bytes the window holds instead
    bool took_staged = false;  // images were taken from the group: it is incomplete until Stage
    std::vector<uint8_t> header;                       // new bytes 0 .. hdr::kFixedEnd
    std::vector<uint16_t> touched;                     // blocks that lost records, ascending
    std::vector<uint16_t> old_count;                   // their record counts before
    uint16_t moved_from = 0;  // block whose records moved into the emptied head block, or 0
    bool structure = false;   // blocks left the chain (or the head block was emptied)
    uint32_t records = 0;
    uint16_t used = 0, last_block = 0, free_head = 0;
  };

  // Reads every block header of `file` (whose header is `header`, parsed
  // from `header_bytes`) and checks the chain they make: no loops, back
  // links, record counts, and the header's counts and ends. `path` names
  // the file in errors.
  Status Load(File* file, const std::string& path, const TableHeader& header,
              const std::vector<uint8_t>& header_bytes);

  File* file() const { return file_; }
  const std::string& path() const { return path_; }
  const TableHeader& header() const { return header_; }
  const std::vector<uint8_t>& header_bytes() const { return header_bytes_; }
  // Bytes of the key at the start of each record (the leading
  // primary_key_fields fields); 0 for a file without a key.
  uint16_t key_size() const { return key_size_; }

  uint16_t next(uint16_t b) const { return next_[b]; }
  uint16_t prev(uint16_t b) const { return prev_[b]; }
  uint16_t count(uint16_t b) const { return count_[b]; }
  bool in_chain(uint16_t b) const { return b != 0 && b < in_chain_.size() && in_chain_[b] != 0; }
  const uint8_t* first_key(uint16_t b) const { return &first_keys_[size_t(b) * key_size_]; }
  uint64_t BlockOffset(uint16_t b) const { return header_.header_size + uint64_t(b - 1) * header_.block_size; }

  // Reads block `b` whole into `out`; a short last block reads as zeros at
  // its end.
  Status ReadBlock(uint16_t b, std::vector<uint8_t>* out) const;
  // Block `b` as it stands: the staged image where the group changed it,
  // else as the file holds it, from a window of neighbouring blocks read
  // together and kept in memory, so that walks and purges read each block
  // once. Only this chain writes the file while an editor holds it, and
  // Flushed puts what the group wrote into the window, so what is kept
  // stays true. `*out` (block_size bytes) lasts until the next call.
  Status Block(uint16_t b, const uint8_t** out) const;
  // Brings the window to block `b` unless it holds it already: called
  // before a change takes its first image, for the blocks it is about (a
  // walk deleting row after row comes back to them).
  Status Approach(uint16_t b) const;
  // Block `b` as it stands where it is kept in memory, else null.
  const uint8_t* Kept(uint16_t b) const {
    auto it = staged_.find(b);
    if (it == staged_.end()) return InWindow(b);
    return it->second.now.empty() ? nullptr : it->second.now.data();
  }
  // Block `b` as the group staged it, or null.
  const uint8_t* StagedImage(uint16_t b) const {
    auto it = staged_.find(b);
    return it == staged_.end() || it->second.now.empty() ? nullptr : it->second.now.data();
  }
  // Lays the staged blocks and header over `out`, which holds the file's
  // bytes at `offset` .. `offset + n`: what a reader of the chain sees.
  void Overlay(uint64_t offset, size_t n, uint8_t* out) const;
  // The image of block `b` in `change`, read the first time (from the
  // window where it holds the block). A block the group changed already
  // is taken from the group, not copied: until the change is staged the
  // group lacks it (see Change::took_staged).
  Status Image(uint16_t b, Change* change, std::vector<uint8_t>** out) const;

  // Plans the removal of the records at `victims` (ascending, distinct,
  // each a record of the chain) into `change`: the remaining records of a
  // block close up in their order; emptied blocks leave the chain for the
  // free list, the head block last, which stays the head and takes over
  // its successor's records instead. The links, counts and first keys held
  // here change at once; the header's values are taken by Stage. After an
  // error the links no longer match the staged blocks: what is staged may
  // still be written, but nothing more may be removed.
  Status Remove(const std::vector<RowPos>& victims, Change* change);
  // Takes a planned change into the group: its block images and header are
  // what the chain holds from now on.
  void Stage(Change&& change);
  // Blocks the group changed.
  size_t staged_blocks() const { return staged_.size(); }
  bool staged() const { return !staged_.empty(); }

  // Appends the group's writes, as file number `file` of a change: the
  // blocks to `blocks` and the header to `header`, each with the bytes the
  // file holds; they point into the group, which must not change until
  // the change is written.
  void AddWrites(int file, std::vector<FileWrite>* blocks, std::vector<FileWrite>* header) const;
  // The group has been written: the file holds what is staged.
  void Flushed();

 private:
  File* file_ = nullptr;
  std::string path_;
  TableHeader header_;
  std::vector<uint8_t> header_bytes_;  // as staged
  std::vector<uint8_t> disk_header_;   // bytes 0 .. hdr::kFixedEnd as the file holds them
  uint16_t key_size_ = 0;
  // Per block (index = block number).
  std::vector<uint16_t> next_, prev_, count_;
  std::vector<uint8_t> in_chain_;
  std::vector<uint8_t> first_keys_;  // key_size_ bytes per block
  uint8_t* InWindow(uint16_t b) const {
    return b >= window_first_ && b - window_first_ < window_blocks_
               ? window_.data() + size_t(b - window_first_) * header_.block_size
               : nullptr;
  }

  // Blocks window_first_ .. + window_blocks_ - 1, as the file holds them.
  mutable std::vector<uint8_t> window_;
  mutable uint32_t window_first_ = 0, window_blocks_ = 0;
  // Blocks the group changed: as they stand and as the file holds them.
  // While the window holds a block, its file bytes are not copied: they
  // are taken out of the window before it moves.
  struct Staged {
    std::vector<uint8_t> now, was;
    bool was_in_window = false;
  };
  void KeepWindowedBytes() const;
  // Blocks the window holds at most.
  uint32_t WindowBlocks() const;
  mutable std::map<uint16_t, Staged> staged_;
  // Block buffers of groups already written, for the next group's images:
  // fresh memory for every image costs its allocation and page faults.
  mutable std::vector<std::vector<uint8_t>> spare_;
  std::vector<uint8_t> TakeBuffer() const;

  // The steps of Remove.
  Status CloseUp(const std::vector<RowPos>& victims, Change* change, std::vector<uint16_t>* emptied);
  Status Unlink(uint16_t b, Change* change);
  Status FreeBlock(uint16_t b, Change* change);
  Status RefillHead(Change* change);
  void SetCount(std::vector<uint8_t>* blk, uint32_t n) const;
  void SetHeader(size_t removed, Change* change) const;
};

// The primary index of a record chain. Its entries are a function of the
// chain alone (one lowest-level entry per block: first key, block number,
// record count), so it is either updated in place where only counts and
// first keys changed, or built anew from the chain.
class ChainIndex {
 public:
  // `file` holds the index (open for changing); `bytes` is its content as
  // found, empty for a new file. `type` is the file type such an index has
  // (1 for a .PX, 4 for a .Ynn, 7 for a .YGn); `name` is the file name a
  // header made afresh stores.
  void Init(File* file, const std::string& path, const std::string& name, FileType type,
            std::vector<uint8_t> bytes);

  const std::string& path() const { return path_; }
  File* file() const { return file_; }

  // Checks the index against `data` from its root down (stamp, key fields,
  // every entry's key, block and count, the totals) and notes where each
  // data block's entry lies. False, with the reason, when it is not exact.
  bool Map(const RecordChain& data, std::string* why);

  // Builds the index anew from `data` and writes it at once: for an index
  // found missing or not exact, before any change is made. The old header
  // is kept where it describes the same keys, and tied to `data` again.
  // Cut short, it leaves an index whose stamp marks it out of date.
  Status Rebuild(const RecordChain& data);

  // Plans the index's part of `change` to `data` (already removed from
  // `data` with RecordChain::Remove): counts and first keys along each
  // touched block's path to the root, or the whole index anew when blocks
  // left the chain. Changes nothing on failure.
  Status Update(const RecordChain& data, const RecordChain::Change& change);
  // Takes the planned state into the group, as RecordChain::Stage does.
  Status Stage(const RecordChain& data);
  bool staged() const { return whole_ || !dirty_.empty(); }
  // Appends the group's writes as file number `file`; `*truncate` gets the
  // new length when the file is written whole.
  void AddWrites(int file, std::vector<FileWrite>* writes, int64_t* truncate) const;
  // The group has been written.
  void Flushed();

 private:
  Status Build(const RecordChain& data, std::vector<uint8_t>* out) const;
  uint8_t* Entry(uint16_t index_block, uint16_t i);

  File* file_ = nullptr;
  std::string path_, name_;
  FileType type_ = FileType::kPrimaryIndex;
  std::vector<uint8_t> bytes_;
  TableHeader header_;
  struct EntryRef {
    uint16_t block = 0;  // index block; 0: none (the root's parent)
    uint16_t index = 0;
  };
  std::vector<EntryRef> leaf_of_;    // by data block
  std::vector<EntryRef> parent_of_;  // by index block
  std::vector<uint8_t> pending_;     // a whole new image, until Stage
  bool rebuilt_ = false;             // the last Update planned pending_
  std::vector<uint8_t> disk_;        // the file's bytes, as of the last flush
  std::vector<uint16_t> dirty_;      // index blocks the group changed, ascending, distinct
  bool whole_ = false;               // the group writes the whole file anew
};

}  // namespace paradox
