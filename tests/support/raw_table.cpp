#include "raw_table.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>

namespace testsupport {

namespace {

std::string Slurp(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned U8(const std::string& f, size_t at) { return at < f.size() ? static_cast<uint8_t>(f[at]) : 0; }
unsigned U16(const std::string& f, size_t at) { return U8(f, at) | U8(f, at + 1) << 8; }
uint32_t U32(const std::string& f, size_t at) { return U16(f, at) | uint32_t(U16(f, at + 2)) << 16; }
// The index's words: big-endian with the sign bit flipped.
int Word(const std::string& f, size_t at) { return int16_t(uint16_t((U8(f, at) ^ 0x80) << 8 | U8(f, at + 1))); }

struct Header {
  unsigned record_size, header_size, block_size, used_blocks, first, last;
  uint32_t records;
};

Header ReadHeader(const std::string& f) {
  return Header{U16(f, 0), U16(f, 2), U8(f, 5) * 1024u, U16(f, 0x0A), U16(f, 0x0E), U16(f, 0x10), U32(f, 6)};
}

// One block's records after its 6-byte header; false when its count is
// not one the block can hold.
bool BlockRecords(const std::string& f, const Header& h, unsigned b, unsigned* count, size_t* at) {
  *at = h.header_size + size_t(b - 1) * h.block_size;
  if (b == 0 || h.record_size == 0 || *at + 6 > f.size()) return false;
  const int add = int16_t(uint16_t(U16(f, *at + 4)));
  if (add % int(h.record_size) != 0 || add < -int(h.record_size)) return false;
  *count = unsigned(add / int(h.record_size) + 1);
  return *count <= (h.block_size - 6) / h.record_size && *at + 6 + size_t(*count) * h.record_size <= f.size();
}

struct Block {
  unsigned number, count;
  std::string first_key;
};

class PxWalk {
 public:
  PxWalk(const std::string& f, unsigned key_size, std::vector<std::string>* problems)
      : f_(f), h_(ReadHeader(f)), key_size_(key_size), problems_(problems) {}

  // Reads the tree under block `b` at `level`; the level-1 entries go to
  // `leaves`. Returns the records counted below it.
  long Walk(unsigned b, int level, std::vector<Block>* leaves, std::string* first_key) {
    unsigned n = 0;
    size_t at = 0;
    if (h_.record_size != key_size_ + 6 || !BlockRecords(f_, h_, b, &n, &at) || !seen_.insert(b).second) {
      problems_->push_back(".PX block " + std::to_string(b) + " cannot be read or is reached twice");
      return -1;
    }
    entries_ += n;
    long total = 0;
    for (unsigned i = 0; i < n; ++i) {
      const size_t e = at + 6 + size_t(i) * h_.record_size;
      const std::string key = f_.substr(e, key_size_);
      const int child = Word(f_, e + key_size_), count = Word(f_, e + key_size_ + 2);
      if (i == 0) *first_key = key;
      if (level == 1) {
        leaves->push_back(Block{unsigned(child), unsigned(count), key});
      } else {
        std::string child_key;
        const long below = Walk(unsigned(child), level - 1, leaves, &child_key);
        if (below != count || child_key != key)
          problems_->push_back(".PX entry of block " + std::to_string(child) + " at level " +
                               std::to_string(level) + " does not match its child");
      }
      total += count;
    }
    return total;
  }
  uint32_t entries() const { return entries_; }

 private:
  const std::string& f_;
  Header h_;
  unsigned key_size_;
  std::vector<std::string>* problems_;
  std::set<unsigned> seen_;
  uint32_t entries_ = 0;
};

std::string IndexPath(const std::string& db_path) {
  const std::string stem = db_path.substr(0, db_path.size() - 3);
  for (const char* ext : {".PX", ".px", ".Px"}) {
    std::ifstream probe(stem + ext);
    if (probe) return stem + ext;
  }
  return stem + ".PX";
}

}  // namespace

RawTable ReadRawTable(const std::string& db_path) {
  RawTable out;
  bool found = false;
  const std::string f = Slurp(db_path, &found);
  const Header h = ReadHeader(f);
  if (!found || f.size() < 0x58 || h.block_size == 0 || h.record_size == 0) {
    out.problems.push_back("no readable data file at " + db_path);
    return out;
  }
  // The chain, from the first block to the last.
  std::vector<Block> chain;
  std::set<unsigned> seen;
  unsigned prev = 0, last = 0;
  uint32_t records = 0;
  for (unsigned b = h.first; b != 0;) {
    unsigned n = 0;
    size_t at = 0;
    if (!BlockRecords(f, h, b, &n, &at) || !seen.insert(b).second) {
      out.problems.push_back("data block " + std::to_string(b) + " cannot be read or is reached twice");
      return out;
    }
    if (U16(f, at + 2) != prev) out.problems.push_back("data block " + std::to_string(b) + " links back wrongly");
    for (unsigned i = 0; i < n; ++i) out.rows.push_back(f.substr(at + 6 + size_t(i) * h.record_size, h.record_size));
    chain.push_back(Block{b, n, f.substr(at + 6, n > 0 ? h.record_size : 0)});
    records += n;
    prev = last = b;
    b = U16(f, at);
  }
  if (records != h.records)
    out.problems.push_back("header counts " + std::to_string(h.records) + " records, the blocks hold " +
                           std::to_string(records));
  if (chain.size() != h.used_blocks || last != h.last)
    out.problems.push_back("header counts " + std::to_string(h.used_blocks) + " blocks ending at " +
                           std::to_string(h.last) + ", the chain has " + std::to_string(chain.size()) +
                           " ending at " + std::to_string(last));

  if (U16(f, 0x23) == 0) return out;  // no key, no primary index
  const std::string px = Slurp(IndexPath(db_path), &found);
  const Header ph = ReadHeader(px);
  if (!found || px.size() < 0x58 || ph.block_size == 0 || ph.record_size <= 6) {
    out.problems.push_back("no readable primary index beside " + db_path);
    return out;
  }
  const unsigned key_size = ph.record_size - 6;
  const int levels = int(U8(px, 0x20));
  std::vector<Block> leaves;
  PxWalk walk(px, key_size, &out.problems);
  if (levels > 0) {
    std::string first_key;
    const long total = walk.Walk(U16(px, 0x1E), levels, &leaves, &first_key);
    if (total != long(records)) out.problems.push_back(".PX counts " + std::to_string(total) + " records");
  }
  if (walk.entries() != ph.records)
    out.problems.push_back(".PX header counts " + std::to_string(ph.records) + " entries, its blocks hold " +
                           std::to_string(walk.entries()));
  if (leaves.size() != chain.size()) {
    out.problems.push_back(".PX lists " + std::to_string(leaves.size()) + " data blocks, the chain has " +
                           std::to_string(chain.size()));
    return out;
  }
  for (size_t i = 0; i < chain.size(); ++i)
    if (leaves[i].number != chain[i].number || leaves[i].count != chain[i].count ||
        leaves[i].first_key != chain[i].first_key.substr(0, key_size))
      out.problems.push_back(".PX entry " + std::to_string(i) + " (block " + std::to_string(leaves[i].number) +
                             ", " + std::to_string(leaves[i].count) + " records) does not match data block " +
                             std::to_string(chain[i].number) + " (" + std::to_string(chain[i].count) + " records)");
  return out;
}

}  // namespace testsupport
