#include "paradox/format/index_builder.h"

#include <algorithm>
#include <cstring>

#include "paradox/format/bytes.h"
#include "paradox/format/header.h"

namespace paradox {

namespace {

constexpr size_t kMaxBlocks = 65535;  // block numbers are 16-bit
constexpr size_t kMaxLevels = 255;    // levels are one byte

Status Refuse(const std::string& why) { return Status::Error(ErrorCode::kNotSupported, why); }

// An entry of any level while the tree is built.
struct Node {
  const uint8_t* key;
  uint32_t child;
  uint32_t count;
};

// A run of consecutive nodes of one level that go into one index block.
struct Group {
  size_t level;
  size_t begin, end;
};

}  // namespace

uint8_t IndexStamp(uint8_t table_change_count, uint8_t sort_order) {
  // Real pairs fit stamp = change count + c (mod 255) with c = 0 for sort
  // order 0 and c = order + 2 otherwise, the order byte read as signed (the
  // one table seen with an order above 127 only fits that way).
  int c = sort_order == 0 ? 0 : static_cast<int8_t>(sort_order) + 2;
  int v = (static_cast<int>(table_change_count) + c) % 255;
  if (v < 0) v += 255;
  return static_cast<uint8_t>(v);
}

Status MakePrimaryIndexHeader(const IndexHeaderParams& p, std::vector<uint8_t>* header) {
  if (p.version < 3 || p.version > 12) return Refuse("index version " + std::to_string(p.version));
  if (p.block_size < 1024 || p.block_size > 32768 || p.block_size % 1024 != 0)
    return Refuse("index block size " + std::to_string(p.block_size));
  if (p.key_fields.empty()) return Refuse("an index needs at least one key field");
  if (p.key_fields.size() > 255) return Refuse("too many key fields");
  uint32_t key_size = 0;
  for (const Field& f : p.key_fields) {
    uint16_t size = StoredFieldSize(f.type, f.declared);
    if (!IsKnownFieldType(static_cast<uint8_t>(f.type)) || IsBlobType(f.type) || size == 0)
      return Refuse("field type cannot be a key");
    key_size += size;
  }
  if (key_size + 6 > p.block_size - kBlockHeaderSize) return Refuse("key too large for the index block size");

  const size_t n = p.key_fields.size();
  const size_t name_len = p.version >= 12 ? 261 : 79;
  const size_t name_at = hdr::kFixedEnd + 2 * n + 4;
  const size_t used = name_at + name_len;
  // Version 3.x files end their header right after the variable part; later
  // ones pad it to whole 2 KB units.
  size_t header_size = p.version <= 4 ? used : (used + 2047) / 2048 * 2048;

  std::vector<uint8_t> h(header_size, 0);
  StoreLE16(&h[hdr::kRecordSize], static_cast<uint16_t>(key_size + 6));
  StoreLE16(&h[hdr::kHeaderSize], static_cast<uint16_t>(header_size));
  h[hdr::kFileType] = static_cast<uint8_t>(FileType::kPrimaryIndex);
  h[hdr::kBlockSizeCode] = static_cast<uint8_t>(p.block_size / 1024);
  StoreLE16(&h[hdr::kUnknown12], p.unknown12);
  StoreLE16(&h[hdr::kIndexRoot], 1);  // what an empty index holds
  StoreLE16(&h[hdr::kNumFields], static_cast<uint16_t>(n));
  h[hdr::kSortOrder] = p.sort_order;
  h[hdr::kIndexStamp] = IndexStamp(p.table_change_count, p.sort_order);
  h[hdr::kFileVersion] = p.version;
  StoreLE32(&h[hdr::kAutoInc], p.modification);
  if (p.version >= 5) StoreLE16(&h[hdr::kRealHeaderSize], static_cast<uint16_t>(used));
  for (size_t i = 0; i < n; ++i) {
    h[hdr::kFixedEnd + 2 * i] = static_cast<uint8_t>(p.key_fields[i].type);
    h[hdr::kFixedEnd + 2 * i + 1] = p.key_fields[i].declared;
  }
  std::memcpy(&h[name_at], p.name.data(), std::min(p.name.size(), name_len - 1));
  *header = std::move(h);
  return Status::OK();
}

namespace {

Status Bad(const std::string& why) { return Status::Error(ErrorCode::kCorruptIndex, why); }

// What an index header template says of the file's blocks and entries.
struct IndexShape {
  uint16_t header_size = 0;
  uint16_t entry_size = 0;
  size_t block_size = 0;
  size_t key_size = 0;
  size_t capacity = 0;  // entries per block
};

Status ReadTemplate(const std::vector<uint8_t>& tpl, IndexShape* out) {
  if (tpl.size() < hdr::kFixedEnd) return Bad("index header template too short");
  const uint16_t header_size = LoadLE16(&tpl[hdr::kHeaderSize]);
  const uint16_t entry_size = LoadLE16(&tpl[hdr::kRecordSize]);
  const uint8_t code = tpl[hdr::kBlockSizeCode];
  if (tpl[hdr::kFileType] != static_cast<uint8_t>(FileType::kPrimaryIndex))
    return Bad("template is not a primary index header");
  if (header_size < hdr::kFixedEnd || header_size > tpl.size()) return Bad("template header size");
  if (code < 1 || code > 32) return Bad("template block size code");
  const size_t block_size = code * 1024u;
  if (entry_size <= 6 || entry_size > block_size - kBlockHeaderSize) return Bad("template entry size");
  out->header_size = header_size;
  out->entry_size = entry_size;
  out->block_size = block_size;
  out->key_size = entry_size - 6u;
  out->capacity = (block_size - kBlockHeaderSize) / entry_size;
  return Status::OK();
}

Status CheckEntries(const std::vector<IndexEntry>& level1, size_t key_size) {
  for (size_t i = 0; i < level1.size(); ++i) {
    const IndexEntry& e = level1[i];
    std::string at = "index entry " + std::to_string(i + 1) + ": ";
    if (e.key.size() != key_size) return Refuse(at + "key size differs from the index's");
    if (e.block == 0) return Refuse(at + "block 0");
    if (e.count == 0) return Refuse(at + "empty data block");
    if (e.count > kMaxIndexCount) return Refuse(at + "record count above 32767");
  }
  return Status::OK();
}

// The tree over the level-1 entries: levels[0] holds them; each later level
// one entry per block of the level below. Block numbers are handed out level
// by level, so the lowest blocks come first and the root last.
Status BuildLevels(const std::vector<IndexEntry>& level1, size_t capacity, std::vector<std::vector<Node>>* levels,
                   std::vector<Group>* blocks) {
  levels->assign(1, {});
  (*levels)[0].reserve(level1.size());
  for (const IndexEntry& e : level1) (*levels)[0].push_back({e.key.data(), e.block, e.count});
  while (!levels->back().empty()) {
    const size_t lv = levels->size() - 1;
    const std::vector<Node>& nodes = (*levels)[lv];
    size_t first_group = blocks->size();
    size_t begin = 0;
    uint32_t sum = 0;
    // The root's own total has no entry to go into, so a level that fits in
    // one block always becomes the root.
    const bool root = nodes.size() <= capacity;
    for (size_t i = 0; i < nodes.size() && !root; ++i) {
      if (i > begin && (i - begin == capacity || sum + nodes[i].count > kMaxIndexCount)) {
        blocks->push_back({lv, begin, i});
        begin = i;
        sum = 0;
      }
      sum += nodes[i].count;
    }
    blocks->push_back({lv, begin, nodes.size()});
    if (blocks->size() > kMaxBlocks) return Refuse("index needs more than 65535 blocks");
    size_t groups = blocks->size() - first_group;
    if (groups == 1) break;  // the root
    if (groups == nodes.size() || levels->size() == kMaxLevels)
      return Refuse("too many records for an index whose counts stay within 32767");
    std::vector<Node> up;
    up.reserve(groups);
    for (size_t g = first_group; g < blocks->size(); ++g) {
      uint32_t total = 0;
      for (size_t i = (*blocks)[g].begin; i < (*blocks)[g].end; ++i) total += nodes[i].count;
      up.push_back({nodes[(*blocks)[g].begin].key, static_cast<uint32_t>(g + 1), total});
    }
    levels->push_back(std::move(up));
  }
  return Status::OK();
}

// Writes block `b` (numbered from 0) of `nblocks`: its header and, where
// the tree has one, the group's entries. Returns the entries written.
uint32_t WriteBlock(const IndexShape& s, size_t b, size_t nblocks, const std::vector<std::vector<Node>>& levels,
                    const std::vector<Group>* blocks, uint8_t* blk) {
  StoreLE16(blk, static_cast<uint16_t>(b + 1 < nblocks ? b + 2 : 0));
  StoreLE16(blk + 2, static_cast<uint16_t>(b));
  if (blocks == nullptr) {
    StoreLE16(blk + 4, static_cast<uint16_t>(-static_cast<int>(s.entry_size)));
    return 0;
  }
  const Group& g = (*blocks)[b];
  const std::vector<Node>& nodes = levels[g.level];
  size_t n = g.end - g.begin;
  StoreLE16(blk + 4, static_cast<uint16_t>((n - 1) * s.entry_size));
  uint8_t* e = blk + kBlockHeaderSize;
  for (size_t i = g.begin; i < g.end; ++i, e += s.entry_size) {
    std::memcpy(e, nodes[i].key, s.key_size);
    // Block numbers above 32767 are written as unsigned 16-bit values.
    EncodeFlippedInt(e + s.key_size, static_cast<int32_t>(nodes[i].child), 2);
    EncodeFlippedInt(e + s.key_size + 2, static_cast<int32_t>(nodes[i].count), 2);
    EncodeFlippedInt(e + s.key_size + 4, 0, 2);
  }
  return static_cast<uint32_t>(n);
}

// The header's counts and block numbers for a file of `nblocks` blocks.
void WriteCounts(uint8_t* h, uint32_t total_entries, size_t nblocks, size_t root, size_t levels) {
  StoreLE32(h + hdr::kNumRecords, total_entries);
  StoreLE16(h + hdr::kUsedBlocks, static_cast<uint16_t>(nblocks));
  StoreLE16(h + hdr::kFileBlocks, static_cast<uint16_t>(nblocks));
  StoreLE16(h + hdr::kMaxBlocks, static_cast<uint16_t>(nblocks));
  StoreLE16(h + hdr::kFirstBlock, static_cast<uint16_t>(nblocks ? 1 : 0));
  StoreLE16(h + hdr::kLastBlock, static_cast<uint16_t>(nblocks));
  StoreLE16(h + hdr::kIndexRoot, static_cast<uint16_t>(root));
  h[hdr::kIndexLevels] = static_cast<uint8_t>(levels);
  StoreLE16(h + hdr::kFirstFreeBlock, 0);
}

}  // namespace

Status BuildPrimaryIndex(const std::vector<uint8_t>& tpl, const std::vector<IndexEntry>& level1,
                         std::vector<uint8_t>* px_file, EmptyIndex empty) {
  IndexShape s;
  PX_RETURN_IF_ERROR(ReadTemplate(tpl, &s));
  PX_RETURN_IF_ERROR(CheckEntries(level1, s.key_size));
  std::vector<std::vector<Node>> levels;
  std::vector<Group> blocks;
  PX_RETURN_IF_ERROR(BuildLevels(level1, s.capacity, &levels, &blocks));

  const bool has_entries = !level1.empty();
  const size_t nblocks = has_entries ? blocks.size() : (empty == EmptyIndex::kOneEmptyBlock ? 1 : 0);
  std::vector<uint8_t> out(s.header_size + nblocks * s.block_size, 0);
  std::memcpy(out.data(), tpl.data(), s.header_size);
  uint32_t total_entries = 0;
  for (size_t b = 0; b < nblocks; ++b)
    total_entries += WriteBlock(s, b, nblocks, levels, has_entries ? &blocks : nullptr,
                                out.data() + s.header_size + b * s.block_size);
  WriteCounts(out.data(), total_entries, nblocks, has_entries ? blocks.size() : 1, has_entries ? levels.size() : 0);
  *px_file = std::move(out);
  return Status::OK();
}

}  // namespace paradox
