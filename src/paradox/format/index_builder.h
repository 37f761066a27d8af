// Building a primary index (.PX) from the block chain of its data file.
//
// The whole .PX is a function of the data file's chain: one lowest-level
// entry per data block (the block's first key, its number and its record
// count), upper levels summing their children. So the index is always built
// whole, both for a new table and to replace the index of an existing one
// after records were deleted; in the second case the old header is passed in
// as the template and every byte that ties the index to its table is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/format/field.h"
#include "paradox/status.h"

namespace paradox {

// One entry of the lowest index level, that is one data block of the chain.
struct IndexEntry {
  std::vector<uint8_t> key;  // key bytes of the block's first record
  uint16_t block = 0;        // data block number
  uint32_t count = 0;        // records in the block
};

// Largest record count an index entry may carry. The 16-bit count word has
// never been seen above it in real files, and how larger sums are stored is
// not known, so none is ever written.
constexpr uint32_t kMaxIndexCount = 32767;

// What the index of a table without records holds: a never-filled table has
// no index blocks; a table emptied by deletions keeps one empty block.
enum class EmptyIndex { kNoBlocks, kOneEmptyBlock };

// The header of a new .PX.
struct IndexHeaderParams {
  uint8_t version = 12;            // the table's byte 0x39
  uint32_t block_size = 2048;      // the index's own block size
  uint8_t sort_order = 0;          // the table's byte 0x29
  uint8_t table_change_count = 2;  // the table's byte 0x2D, source of the stamp
  uint16_t unknown12 = 6;          // byte 0x12, meaning unknown
  uint32_t modification = 1;       // byte 0x49, a counter in index files
  std::string name;                // stored name, "NAME.PX"
  std::vector<Field> key_fields;   // the table's first primary_key_fields fields
};

// The index stamp (.PX byte 0x2C) that matches a table whose byte 0x2D is
// `table_change_count` and whose sort order byte is `sort_order`.
uint8_t IndexStamp(uint8_t table_change_count, uint8_t sort_order);

// Makes the header of a new, empty .PX: key descriptors, table name, used
// header size at 0x51 and the stamp. Version 3.x headers are cut right after
// the name, later ones are padded to 2048 bytes.
Status MakePrimaryIndexHeader(const IndexHeaderParams& params, std::vector<uint8_t>* header);

// Builds a complete .PX file into `*px_file` from `level1`, the lowest-level
// entries in chain order. The first headerSize bytes of `px_header_template`
// (a header from MakePrimaryIndexHeader, or the start of an existing .PX) are
// kept except for the counts, chain ends, root and levels.
//
// Blocks hold as many entries as fit, except that a block below the root is
// closed early when its count total would pass kMaxIndexCount, so that no
// upper-level entry ever carries a larger count (the root's total may, as it
// is stored nowhere). Lowest level first, root last; all blocks are chained
// in that physical order.
//
// Fails with kCorruptIndex when the template is not a .PX header and with
// kNotSupported when an entry is unusable (wrong key size, block 0, count 0
// or above kMaxIndexCount) or the tree would not fit in a .PX.
Status BuildPrimaryIndex(const std::vector<uint8_t>& px_header_template,
                         const std::vector<IndexEntry>& level1, std::vector<uint8_t>* px_file,
                         EmptyIndex empty = EmptyIndex::kNoBlocks);

}  // namespace paradox
