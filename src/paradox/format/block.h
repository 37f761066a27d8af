// A block of a table file: a 6-byte header (next block, previous block,
// offset of the last record; see FORMAT.md) followed by its records, and
// the place of a record in a file's chain of blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paradox {

// Bytes of the header that opens every block; the records follow it.
constexpr size_t kBlockHeaderSize = 6;

// A record's place: block number (from 1) and slot within the block.
struct RowPos {
  uint16_t block = 0;
  uint32_t slot = 0;
  bool operator<(const RowPos& o) const { return block != o.block ? block < o.block : slot < o.slot; }
  bool operator==(const RowPos& o) const { return block == o.block && slot == o.slot; }
};

}  // namespace paradox
