// The undo journal's bytes (the layout is given in journal.h), shared by the
// code that writes a journal and the code that undoes one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "paradox/format/bytes.h"
#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox::journal_format {

constexpr char kMagic[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '3'};
// Earlier layouts, still undone: without the lengths a change may leave,
// range kinds and checks; the first checksummed with FNV-1a 64.
constexpr char kMagic2[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '2'};
constexpr char kMagic1[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '1'};

// Range kinds.
constexpr uint8_t kOverwritten = 0;  // old bytes the change writes over
constexpr uint8_t kCutOff = 1;       // old bytes a shortening drops
constexpr uint8_t kAppended = 2;     // bytes the change writes past the file's old end

// New bytes are checked in pieces that end at multiples of kPiece of the
// file offset, where a write cut short by a crash ends.
constexpr uint64_t kPiece = 512;

inline uint64_t LoadLE64(const uint8_t* p) {
  return LoadLE32(p) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32);
}

// Pieces of the range at `offset` of `size` bytes.
inline uint32_t PieceCount(uint64_t offset, uint64_t size) {
  return size == 0 ? 0 : static_cast<uint32_t>((offset + size - 1) / kPiece - offset / kPiece + 1);
}

// Piece `k` of that range: its start within the range and its length.
inline void PieceAt(uint64_t offset, uint64_t size, uint32_t k, size_t* from, size_t* n) {
  const uint64_t lo = k == 0 ? offset : (offset / kPiece + k) * kPiece;
  const uint64_t hi = std::min(offset + size, (offset / kPiece + k + 1) * kPiece);
  *from = static_cast<size_t>(lo - offset);
  *n = static_cast<size_t>(hi - lo);
}

// A journal read back.
struct Parsed {
  struct Range {
    uint16_t file;
    uint64_t offset;
    uint32_t size;
    uint8_t kind;
    const uint8_t* old;     // null for kAppended
    const uint8_t* checks;  // u32 per piece; null for kCutOff and earlier layouts
  };
  int layout = 0;  // 1, 2 or 3
  std::vector<std::string> names;
  std::vector<uint64_t> sizes;         // before the change
  std::vector<uint64_t> least, most;   // the lengths the change may leave (layout 3)
  std::vector<Range> saved;
};

// Intact: a known magic, a length within the file and a matching checksum.
// Gives the length of the content (without the checksum).
bool Intact(const std::vector<uint8_t>& j, size_t* content);
// Reads an intact journal's content; false when it does not hold together.
bool Parse(const std::vector<uint8_t>& j, size_t content, Parsed* out);

// Reads all of `f`.
Status ReadAll(File* f, std::vector<uint8_t>* out);
// Clears the journal's magic so it is no longer taken for a change cut
// short, and forces that to stable storage.
Status ClearJournal(File* jf);

}  // namespace paradox::journal_format
