// The structural check works file by file. Every file of a table (.DB, .PX,
// .Xnn/.XGn, .Ynn/.YGn) has the same header and block format, so one pass
// checks any of them: the header, then the block chain and free list. Data
// files (.DB, .Xnn) then get their records checked along the chain; index
// files (.PX, .Ynn) get their tree walked from the root and compared with
// the chain of their data file.
//
// Nothing read from a file is trusted: block numbers are checked against
// the blocks the file really holds (at most 65535, as they are 16-bit), each
// walk marks the blocks it has seen and stops at the first one seen twice,
// and the index tree is at most 255 levels deep. So every loop ends and
// every allocation is bounded by the file sizes.
#include "paradox/check.h"

#include "paradox/store/table_editor.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "paradox/format/ascii.h"
#include "paradox/format/blob.h"
#include "paradox/journal.h"
#include "paradox/format/bytes.h"
#include "paradox/format/header.h"
#include "paradox/format/index_builder.h"
#include "paradox/format/key_order.h"
#include "paradox/value.h"

namespace paradox {

namespace {

constexpr size_t kReadWindow = 1024 * 1024;  // read-ahead for block walks
constexpr uint32_t kMaxBlockNumber = 65535;
constexpr int kLinesPerKind = 10;  // lines listed of a problem that repeats

template <class T>
std::string N(T v) {
  return std::to_string(v);
}

std::string BaseName(const std::string& path) {
  std::string dir, name;
  SplitPath(path, &dir, &name);
  return name;
}

// The detail text of an engine status (its code's own text when it has none).
std::string Detail(const Status& st) { return st.texts().size() > 1 ? st.texts()[1] : st.ToString(); }

// Collects problem lines. A problem that may occur once per block or record
// is listed a few times, then only counted.
class Report {
 public:
  explicit Report(std::vector<std::string>* out) : out_(out) {}

  void Add(const std::string& file, const std::string& text) {
    out_->push_back(file + ": " + text);
    ++per_file_[file];
  }
  // `kind` names the repeated problem in the closing count ("blocks with a
  // wrong previous pointer").
  void AddRepeated(const std::string& file, const std::string& kind, const std::string& text) {
    int& n = repeated_[{file, kind}];
    if (++n <= kLinesPerKind) Add(file, text);
  }
  // Adds the counts of what AddRepeated left out.
  void Finish() {
    for (const auto& [key, n] : repeated_)
      if (n > kLinesPerKind) Add(key.first, "and " + N(n - kLinesPerKind) + " more " + key.second);
    repeated_.clear();
  }
  int CountFor(const std::string& file) const {
    auto it = per_file_.find(file);
    return it == per_file_.end() ? 0 : it->second;
  }

 private:
  std::vector<std::string>* out_;
  std::map<std::pair<std::string, std::string>, int> repeated_;
  std::map<std::string, int> per_file_;
};

// Reads one file: its first bytes, and its blocks through a read-ahead
// window. Bytes of a block past the end of the file read as zeros (the last
// block may be stored short).
class BlockFile {
 public:
  // Opens `path` for reading, or uses `held` (not owned) when given.
  Status Open(FileSystem* fs, const std::string& path, File* held) {
    if (held != nullptr) {
      file_ = held;
    } else {
      PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kRead, &owned_));
      file_ = owned_.get();
    }
    PX_RETURN_IF_ERROR(file_->Size(&size_));
    head_.resize(static_cast<size_t>(std::min<uint64_t>(size_, 65536)));
    size_t got = 0;
    PX_RETURN_IF_ERROR(file_->Read(0, head_.size(), head_.data(), &got));
    head_.resize(got);
    return Status::OK();
  }
  void Close() {
    owned_.reset();
    file_ = nullptr;
  }

  uint64_t size() const { return size_; }
  const std::vector<uint8_t>& head() const { return head_; }

  // Sets the block layout; returns the number of blocks the file holds,
  // counting a short last one.
  uint64_t SetGeometry(uint32_t header_size, uint32_t block_size) {
    header_size_ = header_size;
    block_size_ = block_size;
    window_first_ = window_count_ = 0;
    return size_ <= header_size ? 0 : (size_ - header_size + block_size - 1) / block_size;
  }

  // Block `b` (from 1; the caller keeps it within the file) as block_size
  // bytes. Valid until the next call.
  Status Block(uint32_t b, const uint8_t** out) {
    if (b < window_first_ || b >= window_first_ + window_count_) {
      uint32_t count = static_cast<uint32_t>(std::max<size_t>(1, kReadWindow / block_size_));
      size_t want = static_cast<size_t>(count) * block_size_;
      if (window_.size() < want) window_.resize(want);
      uint64_t at = header_size_ + static_cast<uint64_t>(b - 1) * block_size_;
      size_t got = 0;
      window_count_ = 0;
      PX_RETURN_IF_ERROR(file_->Read(at, want, window_.data(), &got));
      if (got == 0) return Status::Error(ErrorCode::kCorruptBlock, "block " + N(b) + " lies past the end of the file");
      std::fill(window_.begin() + static_cast<std::ptrdiff_t>(got), window_.begin() + static_cast<std::ptrdiff_t>(want),
                0);
      window_first_ = b;
      window_count_ = static_cast<uint32_t>((got + block_size_ - 1) / block_size_);
    }
    *out = window_.data() + static_cast<size_t>(b - window_first_) * block_size_;
    return Status::OK();
  }

 private:
  std::unique_ptr<File> owned_;
  File* file_ = nullptr;
  uint64_t size_ = 0;
  std::vector<uint8_t> head_;
  uint32_t header_size_ = 0, block_size_ = 0;
  std::vector<uint8_t> window_;
  uint32_t window_first_ = 0, window_count_ = 0;
};

// What a file is to the table, which decides the file types it may have.
enum class Role { kTable, kSecondaryData, kPrimaryIndex, kSecondaryIndex };

bool IsDataRole(Role r) { return r == Role::kTable || r == Role::kSecondaryData; }

struct ChainBlock {
  uint16_t block;
  uint32_t count;  // records, or index entries
  bool valid;      // its record count field made sense
};

// One file of the table as the check found it.
struct TableFile {
  std::string path, name;
  Role role = Role::kTable;
  BlockFile io;
  bool opened = false;          // the file could be opened and read
  TableHeader h;                // fields from the header; counts as stored
  bool usable = false;          // the header describes blocks that can be walked
  bool sound = true;            // no damage of its own (header, chain, free list, keys)
  bool chain_complete = false;  // the chain walk reached its end normally
  bool keys_match = false;      // index files: key fields are the data file's
  uint16_t max_blocks = 0;      // header byte 0x3A
  uint32_t blocks = 0;          // blocks the file holds (at most 65535)
  std::vector<ChainBlock> chain;
  uint64_t chain_count = 0;                // records (entries) along the chain
  std::vector<uint8_t> in_chain, on_free;  // per block number
  uint32_t key_size = 0;                   // bytes of the key at the start of a record

  uint8_t byte(size_t at) const { return at < io.head().size() ? io.head()[at] : 0; }
};

// Called with each chain block of a data file and its records.
using RecordVisitor = std::function<void(uint16_t block, const uint8_t* records, uint32_t count)>;

class TableChecker {
 public:
  TableChecker(FileSystem* fs, const std::string& db_path, File* held_db, std::vector<std::string>* problems)
      : fs_(fs), db_path_(db_path), held_db_(held_db), report_(problems) {}

  Status Run();

  // What the run found, for the repair.
  struct Secondary {
    std::unique_ptr<TableFile> x, y;  // null when missing
    std::string y_path;               // the .Ynn's path, or the one to create
    uint8_t y_type = 4;
  };
  TableFile& db() { return db_; }
  TableFile* px() { return px_.get(); }
  const std::string& px_path() const { return px_path_; }
  std::vector<Secondary>& secondary() { return secondary_; }
  bool exact(const TableFile& f) const { return report_.CountFor(f.name) == 0; }
  // Closes every file the run opened.
  void CloseAll();

 private:
  void Add(TableFile& f, const std::string& text) { report_.Add(f.name, text); }
  void Damage(TableFile& f, const std::string& text) {
    f.sound = false;
    report_.Add(f.name, text);
  }
  void DamageRepeated(TableFile& f, const std::string& kind, const std::string& text) {
    f.sound = false;
    report_.AddRepeated(f.name, kind, text);
  }

  Status OpenFile(TableFile* f, const std::string& path, Role role, File* held);
  bool CheckHeader(TableFile& f);
  void WalkBlocks(TableFile& f, const RecordVisitor& visit);
  void CheckDataFile(TableFile& f);
  void CheckIndex(TableFile& ix, TableFile& data);
  void CheckIndexTree(TableFile& ix, TableFile& data);
  void CheckSecondary(Secondary& s);
  void FindCompanions();

  FileSystem* fs_;
  std::string db_path_;
  File* held_db_;
  Report report_;
  TableFile db_;
  std::unique_ptr<TableFile> px_;
  std::string px_path_, mb_path_, val_path_;
  std::vector<Secondary> secondary_;
  std::vector<std::string> orphan_indexes_;  // .Ynn without .Xnn
};

Status TableChecker::OpenFile(TableFile* f, const std::string& path, Role role, File* held) {
  f->path = path;
  f->name = BaseName(path);
  f->role = role;
  PX_RETURN_IF_ERROR(f->io.Open(fs_, path, held));
  f->opened = true;
  return Status::OK();
}

// The header: what kind of file, its geometry and fields, its counts.
// Returns whether the blocks can be walked.
bool TableChecker::CheckHeader(TableFile& f) {
  const std::vector<uint8_t>& b = f.io.head();
  if (f.io.size() < hdr::kFixedEnd || b.size() < hdr::kFixedEnd) {
    Damage(f, "the file is shorter than a header (" + N(f.io.size()) + " bytes)");
    return false;
  }
  const uint8_t type = b[hdr::kFileType];
  bool type_ok = false;
  const char* expected = "";
  switch (f.role) {
    case Role::kTable:
      type_ok = type == 0 || type == 2;
      expected = "0 or 2 (a table)";
      break;
    case Role::kPrimaryIndex:
      type_ok = type == 1;
      expected = "1 (a primary index)";
      break;
    case Role::kSecondaryIndex:
      type_ok = type == 4 || type == 7;
      expected = "4 or 7 (a secondary index)";
      break;
    case Role::kSecondaryData: {
      const std::string lower = LowerAscii(f.name);
      const bool composite = lower.compare(lower.rfind('.') + 1, 2, "xg") == 0;
      type_ok = composite ? (type == 6 || type == 8) : (type == 3 || type == 5);
      expected = composite ? "6 or 8 (.XGn data)" : "3 or 5 (.Xnn data)";
      break;
    }
  }
  if (!type_ok) {
    Damage(f, "file type " + N(type) + " where " + expected + " belongs");
    return false;
  }
  const uint8_t version = b[hdr::kFileVersion];
  if (version < 3 || version > 12) {
    Damage(f, "unknown version byte " + N(version));
    return false;
  }
  const uint8_t code = b[hdr::kBlockSizeCode];
  if (code < 1 || code > 32) {
    Damage(f, "block size code " + N(code) + " is not 1 to 32");
    return false;
  }
  const uint16_t header_size = LoadLE16(&b[hdr::kHeaderSize]);
  if (header_size < hdr::kFixedEnd || header_size > f.io.size()) {
    Damage(f, "header size " + N(header_size) + " does not fit a file of " + N(f.io.size()) + " bytes");
    return false;
  }

  // The fields come from a copy whose counts are cleared, so that wrong
  // counts are reported below rather than stopping the check here.
  std::vector<uint8_t> copy(b.begin(), b.begin() + std::min<size_t>(b.size(), header_size));
  std::fill(copy.begin() + hdr::kNumRecords, copy.begin() + hdr::kLastBlock + 2, 0);
  copy[hdr::kFirstFreeBlock] = copy[hdr::kFirstFreeBlock + 1] = 0;
  Status st = ParseHeader(copy, f.io.size(), &f.h);
  if (!st.ok()) {
    Damage(f, "header: " + Detail(st));
    return false;
  }
  TableHeader& h = f.h;
  if (h.encrypted) {
    // A table's password stops the whole check (the caller says so); any
    // other file with one cannot be walked either.
    if (f.role != Role::kTable) Damage(f, "the file is password protected; its blocks cannot be checked");
    return false;
  }
  h.num_records = LoadLE32(&b[hdr::kNumRecords]);
  h.used_blocks = LoadLE16(&b[hdr::kUsedBlocks]);
  h.file_blocks = LoadLE16(&b[hdr::kFileBlocks]);
  h.first_block = LoadLE16(&b[hdr::kFirstBlock]);
  h.last_block = LoadLE16(&b[hdr::kLastBlock]);
  h.first_free_block = LoadLE16(&b[hdr::kFirstFreeBlock]);
  f.max_blocks = LoadLE16(&b[hdr::kMaxBlocks]);
  for (uint16_t i = 0; i < h.primary_key_fields && i < h.fields.size(); ++i) f.key_size += h.fields[i].size;

  if (b[hdr::kModifiedFlags1] != 0 || b[hdr::kModifiedFlags2] != 0 || b[hdr::kIndexUpdateRequired] != 0)
    Damage(f, "the header marks the file as needing a rebuild (bytes 0x14, 0x2A, 0x4F: " + N(b[hdr::kModifiedFlags1]) +
                  ", " + N(b[hdr::kModifiedFlags2]) + ", " + N(b[hdr::kIndexUpdateRequired]) + ")");
  if (f.role == Role::kTable && h.keyed() != (h.primary_key_fields > 0))
    Damage(f, h.keyed() ? "a keyed table (file type 0) without key fields"
                        : "a table without key (file type 2) that names " + N(h.primary_key_fields) + " key fields");
  if (f.role == Role::kSecondaryData && (h.primary_key_fields == 0 || h.primary_key_fields + 1u != h.num_fields))
    Damage(f, "key fields " + N(h.primary_key_fields) + " of " + N(h.num_fields) +
                  " fields; all fields but the last one form the key");

  // Version 4 and later headers say at 0x51 where their used part ends.
  if (version >= 5) {
    size_t end = 0;
    if (h.is_index_file()) {
      end = hdr::kFixedEnd + 2u * h.num_fields + 4 + (version >= 12 ? 261 : 79);
    } else {
      end = hdr::kFixedEnd + LoadLE16(&b[hdr::kSortOrderIdOffset]) + h.sort_order_name.size() + 1;
      if (!h.index_name.empty())
        end = std::max(end, hdr::kFixedEnd + LoadLE16(&b[hdr::kIndexNameOffset]) + h.index_name.size() + 1);
    }
    uint16_t stored = LoadLE16(&b[hdr::kRealHeaderSize]);
    if (stored != end)
      Damage(f, "the used header length (0x51) is " + N(stored) + ", the header's parts end at " + N(end));
  }

  uint64_t blocks = f.io.SetGeometry(h.header_size, h.block_size);
  if (blocks > kMaxBlockNumber) {
    Damage(f, "the file holds " + N(blocks) + " blocks, more than block numbers reach");
    blocks = kMaxBlockNumber;
  }
  f.blocks = static_cast<uint32_t>(blocks);
  if (h.file_blocks != f.blocks || f.max_blocks != f.blocks)
    Damage(f, "the header counts " + N(h.file_blocks) + " blocks (0x0C) and " + N(f.max_blocks) +
                  " (0x3A); the file holds " + N(f.blocks));
  if ((h.first_block == 0) != (h.last_block == 0))
    Damage(f,
           "the header names only one end of the chain (first " + N(h.first_block) + ", last " + N(h.last_block) + ")");
  f.usable = true;
  return true;
}

// The chain from the first block and the free list from 0x4D: pointers,
// record counts, loops, and that every block is on exactly one of them.
void TableChecker::WalkBlocks(TableFile& f, const RecordVisitor& visit) {
  const TableHeader& h = f.h;
  const int32_t rs = h.record_size;
  const uint32_t capacity = h.block_capacity();
  f.in_chain.assign(f.blocks + 1u, 0);
  f.on_free.assign(f.blocks + 1u, 0);
  f.chain.clear();
  f.chain_count = 0;
  f.chain_complete = false;
  const char* what = IsDataRole(f.role) ? "records" : "entries";

  uint32_t prev = 0;
  uint32_t b = h.first_block;
  while (true) {
    if (b == 0) {
      f.chain_complete = true;
      break;
    }
    if (b > f.blocks) {
      Damage(f, "the chain runs to block " + N(b) + ", beyond the file's " + N(f.blocks) + " blocks");
      break;
    }
    if (f.in_chain[b]) {
      Damage(f, "the chain loops back to block " + N(b));
      break;
    }
    f.in_chain[b] = 1;
    const uint8_t* blk = nullptr;
    Status st = f.io.Block(b, &blk);
    if (!st.ok()) {
      Damage(f, "block " + N(b) + ": " + Detail(st));
      break;
    }
    const uint16_t next = LoadLE16(blk);
    const uint16_t back = LoadLE16(blk + 2);
    const int32_t add = static_cast<int16_t>(LoadLE16(blk + 4));
    if (back != prev)
      DamageRepeated(f, "blocks with a wrong previous pointer",
                     "block " + N(b) + " points back to block " + N(back) + " but follows " +
                         (prev == 0 ? std::string("nothing (it heads the chain)") : "block " + N(prev)));
    ChainBlock cb{static_cast<uint16_t>(b), 0, true};
    if (add != -rs && (add < 0 || add % rs != 0 || static_cast<uint32_t>(add / rs + 1) > capacity)) {
      cb.valid = false;
      DamageRepeated(f, "blocks with an impossible record count",
                     "block " + N(b) + " has an impossible record count (last record at " + N(add) + ", " + N(rs) +
                         "-byte records, room for " + N(capacity) + ")");
    } else if (h.header_size + (b - 1ull) * h.block_size + 6 + uint64_t(add / rs + 1) * uint64_t(rs) >
               f.io.size()) {
      cb.valid = false;
      DamageRepeated(f, "blocks cut short", "block " + N(b) + " ends inside its records (the file is cut short)");
    } else {
      cb.count = static_cast<uint32_t>(add / rs + 1);
      if (visit && cb.count > 0) visit(cb.block, blk + 6, cb.count);
    }
    f.chain.push_back(cb);
    f.chain_count += cb.count;
    prev = b;
    b = next;
  }

  if (f.chain_complete) {
    if (prev != h.last_block)
      Damage(f, "the chain ends at block " + N(prev) + ", the header names block " + N(h.last_block) + " as last");
    if (f.chain.size() != h.used_blocks)
      Damage(f, "the header counts " + N(h.used_blocks) + " blocks in use, the chain has " + N(f.chain.size()));
  }
  if (IsDataRole(f.role) && !f.chain.empty() && h.first_block != 1)
    Damage(f, "the chain starts at block " + N(h.first_block) + ", not at block 1");
  // The one empty block a chain may hold: block 1 of a file whose every
  // record was deleted.
  const bool emptied = f.chain.size() == 1 && f.chain[0].block == 1;
  for (const ChainBlock& cb : f.chain)
    if (cb.valid && cb.count == 0 && !emptied)
      DamageRepeated(f, "empty blocks in the chain", "block " + N(cb.block) + " in the chain holds no " + what);

  for (uint32_t fb = h.first_free_block; fb != 0;) {
    if (fb > f.blocks) {
      Damage(f, "the free list runs to block " + N(fb) + ", beyond the file's " + N(f.blocks) + " blocks");
      break;
    }
    if (f.on_free[fb]) {
      Damage(f, "the free list loops back to block " + N(fb));
      break;
    }
    if (f.in_chain[fb]) {
      Damage(f, "block " + N(fb) + " is in the chain and on the free list");
      break;
    }
    f.on_free[fb] = 1;
    const uint8_t* blk = nullptr;
    Status st = f.io.Block(fb, &blk);
    if (!st.ok()) {
      Damage(f, "free block " + N(fb) + ": " + Detail(st));
      break;
    }
    const int32_t add = static_cast<int16_t>(LoadLE16(blk + 4));
    if (add != -rs)
      DamageRepeated(f, "free blocks that look in use",
                     "free block " + N(fb) + " has its last record at " + N(add) + ", not " + N(-rs) + " (empty)");
    fb = LoadLE16(blk);
  }
  for (uint32_t i = 1; i <= f.blocks; ++i)
    if (!f.in_chain[i] && !f.on_free[i])
      DamageRepeated(f, "blocks in neither the chain nor the free list",
                     "block " + N(i) + " is neither in the chain nor on the free list");
}

// A data file (.DB or .Xnn): header, blocks, record count, and along the
// chain key order, AutoInc values and blob references.
void TableChecker::CheckDataFile(TableFile& f) {
  const TableHeader& h = f.h;
  const bool table = f.role == Role::kTable;
  const bool keyed = h.primary_key_fields > 0;
  KeyOrder order;
  if (keyed) order.Setup(h, f.io.head(), f.role == Role::kSecondaryData);
  KeyOrderCheck key_check(order);

  std::vector<int> autoinc, blob_fields;
  if (table) {
    for (size_t i = 0; i < h.fields.size(); ++i) {
      if (h.fields[i].type == FieldType::kAutoInc) autoinc.push_back(static_cast<int>(i));
      if (IsBlobType(h.fields[i].type)) blob_fields.push_back(static_cast<int>(i));
    }
  }
  std::unique_ptr<BlobFile> blobs;
  bool blobs_tried = false;
  std::string value;

  WalkBlocks(f, [&](uint16_t block, const uint8_t* records, uint32_t count) {
    for (uint32_t r = 0; r < count; ++r) {
      const uint8_t* rec = records + static_cast<size_t>(r) * h.record_size;
      auto where = [&] { return "block " + N(block) + ", record " + N(r + 1); };
      if (keyed) {
        KeyOrder::Result res = key_check.Add(rec, RowPos{block, r});
        if (res == KeyOrder::kSame || res == KeyOrder::kBefore)
          DamageRepeated(f, "records out of key order", KeyOrderProblem(res, RowPos{block, r}));
      }
      for (int i : autoinc) {
        const Field& fd = h.fields[static_cast<size_t>(i)];
        if (IsNull(fd, rec)) continue;
        int64_t v = GetInt(fd, rec);
        if (v > static_cast<int64_t>(h.autoinc))
          report_.AddRepeated(
              f.name, "AutoInc values above the header's",
              where() + ": AutoInc value " + N(v) + " is above the header's last value " + N(h.autoinc));
      }
      for (int i : blob_fields) {
        const Field& fd = h.fields[static_cast<size_t>(i)];
        BlobRef ref = GetBlobRef(fd, rec);
        Status st;
        if (!ReadLeaderBlob(fd.type, ref, &value, &st)) {
          if (!blobs_tried) {
            blobs_tried = true;
            std::unique_ptr<File> mb;
            if (!mb_path_.empty() && fs_->Open(mb_path_, OpenMode::kRead, &mb).ok())
              blobs = std::make_unique<BlobFile>(std::move(mb));
            else
              Add(f, "records point into a blob file (.MB) that is missing or cannot be opened");
          }
          if (!blobs) continue;
          st = blobs->Read(fd.type, ref, &value);
        }
        if (!st.ok())
          report_.AddRepeated(f.name, "blob values that cannot be read",
                              where() + ", field " + fd.name + ": " + Detail(st));
      }
    }
  });
  // Runs of leading key values that come back after other values.
  if (keyed) {
    for (const KeyOrderCheck::Repeat& rep : key_check.Candidates()) {
      const uint8_t* p = nullptr;
      if (!f.io.Block(rep.first.block, &p).ok()) continue;
      std::vector<uint8_t> first(p + 6 + size_t(rep.first.slot) * h.record_size,
                                 p + 6 + size_t(rep.first.slot + 1) * h.record_size);
      if (!f.io.Block(rep.second.block, &p).ok()) continue;
      if (order.Same(first.data(), p + 6 + size_t(rep.second.slot) * h.record_size, rep.fields))
        DamageRepeated(f, "records out of key order", KeyRepeatProblem(rep));
    }
  }
  if (f.chain_complete && f.chain_count != h.num_records)
    Damage(f, "the header counts " + N(h.num_records) + " records, the chain holds " + N(f.chain_count));
}

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

  struct Leaf {
    std::vector<uint8_t> key;
    uint16_t block;
    uint32_t count;
  };
  struct Sub {
    bool ok = false;
    std::vector<uint8_t> first_key;
    uint64_t total = 0;
  };
  std::vector<Leaf> leaves;
  std::vector<uint8_t> reached(ix.blocks + 1u, 0);
  uint64_t entries = 0;

  std::function<Sub(uint32_t, uint32_t)> visit = [&](uint32_t b, uint32_t level) -> Sub {
    Sub sub;
    if (b == 0 || b > ix.blocks) {
      report_.AddRepeated(
          ix.name, "entries that point outside the file",
          "an entry at level " + N(level + 1) + " points at block " + N(b) + ", which the file does not hold");
      return sub;
    }
    if (reached[b]) {
      report_.AddRepeated(ix.name, "blocks reached twice", "index block " + N(b) + " is reached twice from the root");
      return sub;
    }
    reached[b] = 1;
    if (!ix.in_chain[b])
      report_.AddRepeated(ix.name, "blocks outside the chain",
                          "index block " + N(b) + ", reached from the root, is not in the file's chain");
    const uint8_t* p = nullptr;
    Status st = ix.io.Block(b, &p);
    if (!st.ok()) {
      Add(ix, "index block " + N(b) + ": " + Detail(st));
      return sub;
    }
    std::vector<uint8_t> blk(p, p + h.block_size);  // children are read below
    const int32_t add = static_cast<int16_t>(LoadLE16(&blk[4]));
    if (add < 0 || add % es != 0 || static_cast<uint32_t>(add / es + 1) > h.block_capacity()) {
      report_.AddRepeated(ix.name, "blocks without valid entries",
                          "index block " + N(b) + " at level " + N(level) + " holds no valid entries");
      return sub;
    }
    const uint32_t n = static_cast<uint32_t>(add / es + 1);
    entries += n;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = &blk[6 + static_cast<size_t>(i) * es];
      const uint16_t child = static_cast<uint16_t>(DecodeFlippedInt(e + ks, 2));
      const uint16_t count = static_cast<uint16_t>(DecodeFlippedInt(e + ks + 2, 2));
      if (e[ks + 4] != 0x80 || e[ks + 5] != 0x00)
        report_.AddRepeated(ix.name, "entries whose third word is not 80 00",
                            "index block " + N(b) + ", entry " + N(i + 1) + ": third word is not 80 00");
      if (level == 1) {
        leaves.push_back({std::vector<uint8_t>(e, e + ks), child, count});
      } else {
        Sub c = visit(child, level - 1);
        if (c.ok && std::memcmp(c.first_key.data(), e, ks) != 0)
          report_.AddRepeated(ix.name, "upper entries whose key is not their child's first key",
                              "index block " + N(b) + ", entry " + N(i + 1) +
                                  ": the key differs from the first key of block " + N(child));
        if (c.ok && c.total != count)
          report_.AddRepeated(ix.name, "upper entries whose count is not their child's total",
                              "index block " + N(b) + ", entry " + N(i + 1) + ": counts " + N(count) + ", block " +
                                  N(child) + " below it holds " + N(c.total));
      }
      sub.total += count;
    }
    sub.first_key.assign(blk.begin() + 6, blk.begin() + 6 + ks);
    sub.ok = true;
    return sub;
  };
  Sub top = visit(root, levels);

  if (top.ok && data.chain_complete && top.total != data_records)
    Add(ix, "the root counts " + N(top.total) + " records, " + data.name + " holds " + N(data_records));
  if (entries != h.num_records)
    Add(ix, "the header counts " + N(h.num_records) + " entries, the tree holds " + N(entries));
  for (uint32_t b = 1; b <= ix.blocks; ++b)
    if (ix.in_chain[b] && !reached[b])
      report_.AddRepeated(ix.name, "chain blocks the root does not reach",
                          "index block " + N(b) + " is in the chain but not reached from the root");

  if (!data.chain_complete) return;  // the data file's own damage is reported already
  if (leaves.size() != data_blocks.size())
    Add(ix, "the lowest level lists " + N(leaves.size()) + " data blocks, " + data.name + "'s chain has " +
                N(data_blocks.size()) + " with records");
  for (size_t i = 0; i < leaves.size() && i < data_blocks.size(); ++i) {
    const Leaf& l = leaves[i];
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
    if (data.io.Block(cb.block, &p).ok() && std::memcmp(p + 6, l.key.data(), ks) != 0)
      report_.AddRepeated(ix.name, "lowest-level entries that differ from the data chain",
                          at + " (block " + N(cb.block) + ") has a key other than the block's first record");
  }
}

// A secondary index: the .Xnn/.XGn as a keyed data file that mirrors the
// table's records, and its .Ynn/.YGn as that file's primary index.
void TableChecker::CheckSecondary(Secondary& s) {
  TableFile& x = *s.x;
  if (!CheckHeader(x)) return;
  const TableHeader& xh = x.h;
  const TableHeader& th = db_.h;
  if (xh.num_fields >= 1 + th.primary_key_fields && xh.primary_key_fields + 1u == xh.num_fields) {
    const size_t first = xh.num_fields - 1u - th.primary_key_fields;
    bool same = true;
    for (size_t i = 0; i < th.primary_key_fields && same; ++i)
      same = xh.fields[first + i].type == th.fields[i].type && xh.fields[first + i].declared == th.fields[i].declared;
    if (!same) Add(x, "the fields before the last one do not end with the table's key fields");
    if (xh.fields.back().type != FieldType::kShort) Add(x, "the last field (the block hint) is not a Short");
  }
  if (x.byte(hdr::kStructureStamp) != db_.byte(hdr::kStructureStamp))
    Add(x, "its structure stamp (0x2E) is " + N(x.byte(hdr::kStructureStamp)) + ", the table's is " +
               N(db_.byte(hdr::kStructureStamp)));
  CheckDataFile(x);
  if (x.chain_complete && db_.chain_complete && x.chain_count != db_.chain_count)
    Add(x, "it holds " + N(x.chain_count) + " entries, the table holds " + N(db_.chain_count) + " records");

  if (!s.y) {
    Add(x, "its index " + BaseName(s.y_path) + " is missing");
    return;
  }
  if (x.h.primary_key_fields > 0 && s.y->opened) CheckIndex(*s.y, x);
}

void TableChecker::FindCompanions() {
  std::string dir, name;
  SplitPath(db_path_, &dir, &name);
  size_t dot = name.rfind('.');
  const std::string stem = LowerAscii(dot == std::string::npos ? name : name.substr(0, dot));
  std::vector<std::string> names;
  if (!fs_->ListDir(dir, &names).ok()) return;
  std::sort(names.begin(), names.end());
  std::map<std::string, std::pair<std::string, std::string>> pairs;  // "02"/"g0" -> (.Xnn, .Ynn)
  for (const std::string& n : names) {
    size_t d = n.rfind('.');
    if (d == std::string::npos || LowerAscii(n.substr(0, d)) != stem || n == name) continue;
    const std::string ext = LowerAscii(n.substr(d + 1));
    const std::string full = JoinPath(dir, n);
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (ext == "px") {
      if (px_path_.empty()) px_path_ = full;
    } else if (ext == "mb") {
      if (mb_path_.empty()) mb_path_ = full;
    } else if (ext == "val") {
      if (val_path_.empty()) val_path_ = full;
    } else if (ext.size() == 3 && (ext[0] == 'x' || ext[0] == 'y') &&
               ((ext[1] == 'g' && std::isdigit(static_cast<unsigned char>(ext[2]))) || (hex(ext[1]) && hex(ext[2])))) {
      auto& p = pairs[ext.substr(1)];
      (ext[0] == 'x' ? p.first : p.second) = full;
    }
  }
  for (auto& [number, p] : pairs) {
    if (p.first.empty()) {
      orphan_indexes_.push_back(p.second);
      continue;
    }
    Secondary s;
    s.x = std::make_unique<TableFile>();
    s.y_type = number[0] == 'g' ? 7 : 4;
    if (!p.second.empty()) {
      s.y_path = p.second;
    } else {
      // Named like its .Xnn, in the same letter case.
      std::string xn = BaseName(p.first);
      size_t d = xn.rfind('.');
      xn[d + 1] = xn[d + 1] == 'x' ? 'y' : 'Y';
      s.y_path = JoinPath(dir, xn);
    }
    s.x->path = p.first;
    secondary_.push_back(std::move(s));
  }
}

Status TableChecker::Run() {
  PX_RETURN_IF_ERROR(OpenFile(&db_, db_path_, Role::kTable, held_db_));
  if (!CheckHeader(db_)) {
    if (db_.h.encrypted)
      return Status::Error(ErrorCode::kEncrypted, db_path_)
          .With("the blocks of a password-protected table cannot be checked");
    report_.Finish();
    return Status::OK();
  }
  FindCompanions();
  CheckDataFile(db_);

  if (db_.h.keyed()) {
    if (px_path_.empty()) {
      Add(db_, "the table is keyed but its primary index (.PX) is missing");
    } else {
      px_ = std::make_unique<TableFile>();
      Status st = OpenFile(px_.get(), px_path_, Role::kPrimaryIndex, nullptr);
      if (!st.ok())
        Add(*px_, "cannot be read: " + st.ToString());
      else
        CheckIndex(*px_, db_);
    }
  } else if (!px_path_.empty()) {
    report_.Add(BaseName(px_path_), "a primary index beside a table that has no key");
  }
  if (px_path_.empty()) {  // the name a new one gets, as the table writer gives it
    std::string dir, name;
    SplitPath(db_path_, &dir, &name);
    px_path_ = JoinPath(dir, name.substr(0, name.rfind('.')) + ".PX");
  }

  for (Secondary& s : secondary_) {
    std::string x_path = s.x->path;
    Status st = OpenFile(s.x.get(), x_path, Role::kSecondaryData, nullptr);
    if (!st.ok()) {
      Add(*s.x, "cannot be read: " + st.ToString());
      s.x->sound = false;
      continue;
    }
    if (fs_->FileExists(s.y_path)) {
      s.y = std::make_unique<TableFile>();
      st = OpenFile(s.y.get(), s.y_path, Role::kSecondaryIndex, nullptr);
      if (!st.ok()) Add(*s.y, "cannot be read: " + st.ToString());
    }
    CheckSecondary(s);
    // Files are closed as soon as they are checked; the repair opens what it needs.
    s.x->io.Close();
    if (s.y) s.y->io.Close();
  }
  for (const std::string& y : orphan_indexes_)
    report_.Add(BaseName(y), "a secondary index without its data file (.Xnn/.XGn)");

  if (!val_path_.empty()) {
    BlockFile val;
    Status st = val.Open(fs_, val_path_, nullptr);
    if (!st.ok())
      report_.Add(BaseName(val_path_), "cannot be read: " + st.ToString());
    else if (val.head().empty())
      report_.Add(BaseName(val_path_), "the file is empty");
    else if (val.head()[0] != db_.byte(hdr::kStructureStamp))
      report_.Add(BaseName(val_path_), "its stamp (byte 0) is " + N(val.head()[0]) + ", the table's (0x2E) is " +
                                           N(db_.byte(hdr::kStructureStamp)));
  }
  report_.Finish();
  return Status::OK();
}

void TableChecker::CloseAll() {
  db_.io.Close();
  if (px_) px_->io.Close();
  for (Secondary& s : secondary_) {
    if (s.x) s.x->io.Close();
    if (s.y) s.y->io.Close();
  }
}

// ---------------------------------------------------------------------------
// Rebuilding indexes.

// One index file to write.
struct Rebuild {
  std::string path;
  bool exists = false;
  std::vector<uint8_t> content;
  uint8_t stamp = 0;  // the stamp that ties it to its data file
  uint32_t entries = 0;
};

// Builds the index of `data` (the .DB or an .Xnn) into `out`, keeping the
// header of `old` when it is a usable index of the same keys.
Status BuildIndex(TableFile& data, TableFile* old, uint8_t file_type, const std::string& path, Rebuild* out) {
  std::vector<IndexEntry> level1;
  for (const ChainBlock& cb : data.chain) {
    if (cb.count == 0) continue;
    const uint8_t* p = nullptr;
    PX_RETURN_IF_ERROR(data.io.Block(cb.block, &p));
    level1.push_back({std::vector<uint8_t>(p + 6, p + 6 + data.key_size), cb.block, cb.count});
  }
  const uint8_t change_count = data.byte(hdr::kChangeCount1);
  const uint8_t sort_order = data.byte(hdr::kSortOrder);

  std::vector<uint8_t> tpl;
  if (old != nullptr && old->usable && old->keys_match) {
    tpl.assign(old->io.head().begin(), old->io.head().begin() + old->h.header_size);
  } else {
    IndexHeaderParams p;
    p.version = data.h.version;
    p.block_size = data.h.block_size;
    p.sort_order = sort_order;
    p.table_change_count = change_count;
    p.name = BaseName(path);
    p.key_fields.assign(data.h.fields.begin(), data.h.fields.begin() + data.h.primary_key_fields);
    PX_RETURN_IF_ERROR(MakePrimaryIndexHeader(p, &tpl));
  }
  tpl[hdr::kFileType] = static_cast<uint8_t>(FileType::kPrimaryIndex);
  const EmptyIndex empty = data.chain.empty() ? EmptyIndex::kNoBlocks : EmptyIndex::kOneEmptyBlock;
  Status st = BuildPrimaryIndex(tpl, level1, &out->content, empty);
  if (!st.ok()) return st.With(path);
  std::vector<uint8_t>& c = out->content;
  c[hdr::kFileType] = file_type;
  c[hdr::kSortOrder] = sort_order;
  c[hdr::kModifiedFlags1] = c[hdr::kModifiedFlags2] = c[hdr::kIndexUpdateRequired] = 0;
  if (c[hdr::kFileVersion] >= 5) {
    const size_t used = hdr::kFixedEnd + 2u * data.h.primary_key_fields + 4 + (c[hdr::kFileVersion] >= 12 ? 261 : 79);
    StoreLE16(&c[hdr::kRealHeaderSize], static_cast<uint16_t>(used));
  }
  out->stamp = IndexStamp(change_count, sort_order);  // WriteIndex puts it in last
  out->path = path;
  out->exists = old != nullptr;
  out->entries = LoadLE32(&c[hdr::kNumRecords]);
  return Status::OK();
}

// Writes an index so that a crash leaves it either complete or marked out
// of date: first the old file's stamp is spoilt, then the new content goes
// in with a spoilt stamp, and only when all of it is on disk does the right
// stamp follow.
Status WriteIndex(FileSystem* fs, const Rebuild& r) {
  const uint8_t stale = static_cast<uint8_t>(r.stamp == 0 ? 1 : r.stamp - 1);
  std::unique_ptr<File> f;
  if (r.exists) {
    PX_RETURN_IF_ERROR(fs->Open(r.path, OpenMode::kExclusive, &f));
    uint64_t size = 0;
    PX_RETURN_IF_ERROR(f->Size(&size));
    if (size > hdr::kIndexStamp) {
      PX_RETURN_IF_ERROR(f->Write(hdr::kIndexStamp, &stale, 1));
      PX_RETURN_IF_ERROR(f->Sync());
    }
  } else {
    PX_RETURN_IF_ERROR(fs->Open(r.path, OpenMode::kCreate, &f));
    std::string dir, name;
    SplitPath(r.path, &dir, &name);
    PX_RETURN_IF_ERROR(fs->SyncDir(dir));
  }
  std::vector<uint8_t> content = r.content;
  content[hdr::kIndexStamp] = stale;
  PX_RETURN_IF_ERROR(f->Write(0, content.data(), content.size()));
  PX_RETURN_IF_ERROR(f->Truncate(content.size()));
  PX_RETURN_IF_ERROR(f->Sync());
  PX_RETURN_IF_ERROR(f->Write(hdr::kIndexStamp, &r.stamp, 1));
  return f->Sync();
}

// Lock files by which other programs mark a folder or table in use.
Status CheckLockFiles(FileSystem* fs, const std::string& db_path) {
  std::string dir, name;
  SplitPath(db_path, &dir, &name);
  const std::string stem = LowerAscii(name.substr(0, name.rfind('.')));
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs->ListDir(dir, &names));
  for (const std::string& n : names) {
    const std::string ln = LowerAscii(n);
    if (ln != "pdoxusrs.lck" && ln != "paradox.lck" && ln != stem + ".lck") continue;
    std::unique_ptr<File> lock;
    Status st = fs->Open(JoinPath(dir, n), OpenMode::kExclusive, &lock);
    if (st.code() == ErrorCode::kTableBusy)
      return Status::Error(ErrorCode::kTableBusy, db_path).With(n + " is held by another program");
  }
  return Status::OK();
}

}  // namespace

Status CheckTable(FileSystem* fs, const std::string& db_path, std::vector<std::string>* problems) {
  MakeWayFor(db_path);
  // The files as they stand mid-change say little; say that first.
  DescribeJournals(fs, db_path, problems);
  TableChecker checker(fs, db_path, nullptr, problems);
  return checker.Run();
}

Status RepairIndexes(FileSystem* fs, const std::string& db_path, std::vector<std::string>* done) {
  MakeWayFor(db_path);
  std::unique_ptr<File> hold;
  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kExclusive, &hold));
  // A change cut short is undone before anything is judged or rebuilt.
  bool undone = false;
  PX_RETURN_IF_ERROR(RecoverJournal(fs, db_path, hold.get(), &undone));
  if (undone) done->push_back(db_path + ": undid a change that was cut short");
  PX_RETURN_IF_ERROR(CheckLockFiles(fs, db_path));

  std::vector<std::string> problems;
  std::vector<Rebuild> plan;
  {
    TableChecker checker(fs, db_path, hold.get(), &problems);
    PX_RETURN_IF_ERROR(checker.Run());
    // Refuse when a data file is damaged; say what is wrong with it.
    auto refuse = [&](const TableFile& f) {
      Status st = Status::Error(ErrorCode::kCorruptBlock, f.name + " is damaged; its indexes are not rebuilt");
      const std::string prefix = f.name + ": ";
      int listed = 0;
      for (const std::string& p : problems)
        if (p.compare(0, prefix.size(), prefix) == 0 && listed++ < 5) st.With(p);
      return st;
    };
    TableFile& db = checker.db();
    if (!db.usable || !db.sound) return refuse(db);
    for (auto& s : checker.secondary())
      if (!s.x->usable || !s.x->sound) return refuse(*s.x);

    TableFile* px = checker.px();
    if (db.h.keyed() && (px == nullptr || !checker.exact(*px))) {
      Rebuild r;
      PX_RETURN_IF_ERROR(
          BuildIndex(db, px, static_cast<uint8_t>(FileType::kPrimaryIndex), px ? px->path : checker.px_path(), &r));
      plan.push_back(std::move(r));
    }
    for (auto& s : checker.secondary()) {
      if (s.y && checker.exact(*s.y)) continue;
      Rebuild r;
      TableFile& x = *s.x;
      PX_RETURN_IF_ERROR(x.io.Open(fs, x.path, nullptr));
      x.io.SetGeometry(x.h.header_size, x.h.block_size);
      PX_RETURN_IF_ERROR(BuildIndex(x, s.y.get(), s.y_type, s.y_path, &r));
      plan.push_back(std::move(r));
    }
    checker.CloseAll();
  }

  for (const Rebuild& r : plan) {
    PX_RETURN_IF_ERROR(WriteIndex(fs, r));
    done->push_back(BaseName(r.path) + ": " + (r.exists ? "rebuilt" : "created") + " with " + N(r.entries) +
                    " entries");
  }
  return Status::OK();
}

}  // namespace paradox
