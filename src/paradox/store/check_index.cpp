// The index files of a table (.PX, .Ynn/.YGn) against their data files:
// the header's stamp and keys, and the tree walked from its root.
#include <cstring>
#include <vector>

#include "paradox/format/bytes.h"
#include "paradox/format/index_builder.h"
#include "paradox/store/checker.h"

namespace paradox::check {

namespace {

// The tree of an index file walked from its root: what each block holds,
// and what its entries say of the blocks below them.
struct IndexTree {
  using Leaf = IndexLeaf;
  struct Sub {
    bool ok = false;
    std::vector<uint8_t> first_key;
    uint64_t total = 0;
  };

  IndexTree(TableFile& ix, Report& report)
      : ix(ix), report(report), h(ix.h), ks(ix.key_size), es(h.record_size), reached(ix.blocks + 1u, 0) {}
  // Block `b` at `level` (1: the lowest) and everything below it.
  Sub Visit(uint32_t b, uint32_t level);

  TableFile& ix;
  Report& report;
  const TableHeader& h;
  const uint32_t ks;
  const int32_t es;
  std::vector<Leaf> leaves;
  std::vector<uint8_t> reached;
  uint64_t entries = 0;
};

IndexTree::Sub IndexTree::Visit(uint32_t b, uint32_t level) {
  Sub sub;
  if (b == 0 || b > ix.blocks) {
    report.AddRepeated(
        ix.name, "entries that point outside the file",
        "an entry at level " + N(level + 1) + " points at block " + N(b) + ", which the file does not hold");
    return sub;
  }
  if (reached[b]) {
    report.AddRepeated(ix.name, "blocks reached twice", "index block " + N(b) + " is reached twice from the root");
    return sub;
  }
  reached[b] = 1;
  if (!ix.in_chain[b])
    report.AddRepeated(ix.name, "blocks outside the chain",
                        "index block " + N(b) + ", reached from the root, is not in the file's chain");
  const uint8_t* p = nullptr;
  Status st = ix.io.Block(b, &p);
  if (!st.ok()) {
    report.Add(ix.name, "index block " + N(b) + ": " + Detail(st));
    return sub;
  }
  std::vector<uint8_t> blk(p, p + h.block_size);  // children are read below
  const int32_t add = static_cast<int16_t>(LoadLE16(&blk[4]));
  if (add < 0 || add % es != 0 || static_cast<uint32_t>(add / es + 1) > h.block_capacity()) {
    report.AddRepeated(ix.name, "blocks without valid entries",
                        "index block " + N(b) + " at level " + N(level) + " holds no valid entries");
    return sub;
  }
  const uint32_t n = static_cast<uint32_t>(add / es + 1);
  entries += n;
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* e = &blk[kBlockHeaderSize + static_cast<size_t>(i) * es];
    const uint16_t child = static_cast<uint16_t>(DecodeFlippedInt(e + ks, 2));
    const uint16_t count = static_cast<uint16_t>(DecodeFlippedInt(e + ks + 2, 2));
    if (e[ks + 4] != 0x80 || e[ks + 5] != 0x00)
      report.AddRepeated(ix.name, "entries whose third word is not 80 00",
                          "index block " + N(b) + ", entry " + N(i + 1) + ": third word is not 80 00");
    if (level == 1) {
      leaves.push_back({std::vector<uint8_t>(e, e + ks), child, count});
    } else {
      Sub c = Visit(child, level - 1);
      if (c.ok && std::memcmp(c.first_key.data(), e, ks) != 0)
        report.AddRepeated(ix.name, "upper entries whose key is not their child's first key",
                            "index block " + N(b) + ", entry " + N(i + 1) +
                                ": the key differs from the first key of block " + N(child));
      if (c.ok && c.total != count)
        report.AddRepeated(ix.name, "upper entries whose count is not their child's total",
                            "index block " + N(b) + ", entry " + N(i + 1) + ": counts " + N(count) + ", block " +
                                N(child) + " below it holds " + N(c.total));
    }
    sub.total += count;
  }
  sub.first_key.assign(blk.begin() + kBlockHeaderSize, blk.begin() + kBlockHeaderSize + ks);
  sub.ok = true;
  return sub;

}

}  // namespace


// An index file (.PX, .Ynn) against its data file (.DB, .Xnn).
void TableChecker::CheckIndex(TableFile& ix, TableFile& data) {
  if (!CheckHeader(ix)) return;
  const uint8_t expected = IndexStamp(data.byte(hdr::kChangeCount1), data.byte(hdr::kSortOrder));
  const uint8_t stamp = ix.byte(hdr::kIndexStamp);
  if (stamp != expected)
    Add(ix, "index out of date: its stamp (0x2C) is " + N(stamp) + ", " + data.name + " (counter " +
                N(data.byte(hdr::kChangeCount1)) + ", sort order " + N(data.byte(hdr::kSortOrder)) + ") needs " +
                N(expected));
  if (ix.h.sort_order != data.h.sort_order)
    Add(ix, "sort order " + N(ix.h.sort_order) + " differs from " + data.name + "'s " + N(data.h.sort_order));

  ix.keys_match = ix.h.num_fields == data.h.primary_key_fields;
  for (uint16_t i = 0; ix.keys_match && i < ix.h.num_fields; ++i)
    ix.keys_match =
        ix.h.fields[i].type == data.h.fields[i].type && ix.h.fields[i].declared == data.h.fields[i].declared;
  if (!ix.keys_match) {
    Add(ix, "its key fields are not the first " + N(data.h.primary_key_fields) + " fields of " + data.name);
    return;
  }
  WalkBlocks(ix, nullptr);
  CheckIndexTree(ix, data);
}

// The tree from the root: every index block reached once, upper entries
// carrying their child's first key and count total, the lowest level
// listing the data chain's blocks in order with their first keys and
// record counts, and the header's entry count.
void TableChecker::CheckIndexTree(TableFile& ix, TableFile& data) {
  const TableHeader& h = ix.h;
  const uint32_t ks = ix.key_size = data.key_size;
  const int32_t es = h.record_size;
  const uint16_t root = h.index_root;
  const uint8_t levels = h.index_levels;

  uint64_t data_records = 0;
  std::vector<const ChainBlock*> data_blocks;  // the data chain's blocks with records
  for (const ChainBlock& cb : data.chain) {
    data_records += cb.count;
    if (cb.count > 0) data_blocks.push_back(&cb);
  }
  if (data_records == 0 && data.chain_complete) {
    if (levels != 0 || root != 1)
      Add(ix, "the data file holds no records, so the index should have no levels and root 1 (it has " + N(levels) +
                  " levels, root " + N(root) + ")");
    if (ix.chain_count != 0 || h.num_records != 0)
      Add(ix, "the data file holds no records, the index holds " + N(ix.chain_count) +
                  " entries (header: " + N(h.num_records) + ")");
    return;
  }
  if (levels == 0) {
    Add(ix, "the index has no levels, " + data.name + " holds " + N(data_records) + " records");
    return;
  }
  if (root == 0 || root > ix.blocks) {
    Add(ix, "the root block " + N(root) + " is not a block of the file");
    return;
  }

  IndexTree tree(ix, report_);
  const IndexTree::Sub top = tree.Visit(root, levels);

  if (top.ok && data.chain_complete && top.total != data_records)
    Add(ix, "the root counts " + N(top.total) + " records, " + data.name + " holds " + N(data_records));
  if (tree.entries != h.num_records)
    Add(ix, "the header counts " + N(h.num_records) + " entries, the tree holds " + N(tree.entries));
  for (uint32_t b = 1; b <= ix.blocks; ++b)
    if (ix.in_chain[b] && !tree.reached[b])
      report_.AddRepeated(ix.name, "chain blocks the root does not reach",
                          "index block " + N(b) + " is in the chain but not reached from the root");

  CompareLeaves(ix, data, tree.leaves, data_blocks);
}

// The lowest level of an index against its data file's chain: the blocks in
// order, with their record counts and first keys.
void TableChecker::CompareLeaves(TableFile& ix, TableFile& data, const std::vector<IndexLeaf>& leaves,
                                 const std::vector<const ChainBlock*>& data_blocks) {
  const uint32_t ks = ix.key_size;
  if (!data.chain_complete) return;  // the data file's own damage is reported already
  if (leaves.size() != data_blocks.size())
    Add(ix, "the lowest level lists " + N(leaves.size()) + " data blocks, " + data.name + "'s chain has " +
                N(data_blocks.size()) + " with records");
  for (size_t i = 0; i < leaves.size() && i < data_blocks.size(); ++i) {
    const IndexLeaf& l = leaves[i];
    const ChainBlock& cb = *data_blocks[i];
    const std::string at = "lowest-level entry " + N(i + 1);
    if (l.block != cb.block) {
      report_.AddRepeated(ix.name, "lowest-level entries that differ from the data chain",
                          at + " names block " + N(l.block) + ", the data chain has block " + N(cb.block) + " there");
      continue;
    }
    if (l.count != cb.count)
      report_.AddRepeated(
          ix.name, "lowest-level entries that differ from the data chain",
          at + " (block " + N(cb.block) + ") counts " + N(l.count) + " records, the block holds " + N(cb.count));
    const uint8_t* p = nullptr;
    if (data.io.Block(cb.block, &p).ok() && std::memcmp(p + kBlockHeaderSize, l.key.data(), ks) != 0)
      report_.AddRepeated(ix.name, "lowest-level entries that differ from the data chain",
                          at + " (block " + N(cb.block) + ") has a key other than the block's first record");
  }
}

}  // namespace paradox::check
