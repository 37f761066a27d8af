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
#include "paradox/store/checker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "paradox/check.h"
#include "paradox/format/ascii.h"
#include "paradox/format/blob.h"
#include "paradox/format/bytes.h"
#include "paradox/format/key_order.h"
#include "paradox/journal.h"
#include "paradox/store/pending_groups.h"
#include "paradox/store/table_files.h"
#include "paradox/value.h"

namespace paradox {
namespace check {

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
  if (!CheckHeaderFrame(f) || !ReadHeaderFields(f)) return false;
  const std::vector<uint8_t>& b = f.io.head();
  const TableHeader& h = f.h;
  if (b[hdr::kModifiedFlags1] != 0 || b[hdr::kModifiedFlags2] != 0 || b[hdr::kIndexUpdateRequired] != 0)
    Damage(f, "the header marks the file as needing a rebuild (bytes 0x14, 0x2A, 0x4F: " + N(b[hdr::kModifiedFlags1]) +
                  ", " + N(b[hdr::kModifiedFlags2]) + ", " + N(b[hdr::kIndexUpdateRequired]) + ")");
  if (f.role == Role::kTable && h.keyed() != (h.primary_key_fields > 0))
    Damage(f, h.keyed() ? "a keyed table (file type 0) without key fields"
                        : "a table without key (file type 2) that names " + N(h.primary_key_fields) + " key fields");
  if (f.role == Role::kSecondaryData && (h.primary_key_fields == 0 || h.primary_key_fields + 1u != h.num_fields))
    Damage(f, "key fields " + N(h.primary_key_fields) + " of " + N(h.num_fields) +
                  " fields; all fields but the last one form the key");
  CheckUsedHeaderLength(f);
  CheckBlockCounts(f);
  f.usable = true;
  return true;
}

// What the header must hold before its fields can be read: a file type
// that fits the file's role, a known version, a block size and a header
// size the file can hold.
bool TableChecker::CheckHeaderFrame(TableFile& f) {
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
  return true;
}

// The fields, from a copy whose counts are cleared, so that wrong counts
// are reported later rather than stopping the check here; then the counts
// as stored.
bool TableChecker::ReadHeaderFields(TableFile& f) {
  const std::vector<uint8_t>& b = f.io.head();
  const uint16_t header_size = LoadLE16(&b[hdr::kHeaderSize]);
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
  return true;
}

// Version 4 and later headers say at 0x51 where their used part ends.
void TableChecker::CheckUsedHeaderLength(TableFile& f) {
  const std::vector<uint8_t>& b = f.io.head();
  const TableHeader& h = f.h;
  const uint8_t version = b[hdr::kFileVersion];
  if (version < 5) return;
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

// The blocks the file holds against the header's counts and chain ends.
void TableChecker::CheckBlockCounts(TableFile& f) {
  const TableHeader& h = f.h;
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
}

// The chain from the first block and the free list from 0x4D: pointers,
// record counts, loops, and that every block is on exactly one of them.
void TableChecker::WalkBlocks(TableFile& f, const RecordVisitor& visit) {
  const TableHeader& h = f.h;
  f.in_chain.assign(f.blocks + 1u, 0);
  f.on_free.assign(f.blocks + 1u, 0);
  f.chain.clear();
  f.chain_count = 0;
  f.chain_complete = false;
  const char* what = IsDataRole(f.role) ? "records" : "entries";

  const uint32_t last = WalkChain(f, visit);
  if (f.chain_complete) {
    if (last != h.last_block)
      Damage(f, "the chain ends at block " + N(last) + ", the header names block " + N(h.last_block) + " as last");
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

  WalkFreeList(f);
  for (uint32_t i = 1; i <= f.blocks; ++i)
    if (!f.in_chain[i] && !f.on_free[i])
      DamageRepeated(f, "blocks in neither the chain nor the free list",
                     "block " + N(i) + " is neither in the chain nor on the free list");
}


// Follows the chain from its first block: pointers, record counts and
// loops. Returns the last block reached.
uint32_t TableChecker::WalkChain(TableFile& f, const RecordVisitor& visit) {
  const TableHeader& h = f.h;
  const int32_t rs = h.record_size;
  const uint32_t capacity = h.block_capacity();
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
    } else if (h.header_size + (b - 1ull) * h.block_size + kBlockHeaderSize + uint64_t(add / rs + 1) * uint64_t(rs) >
               f.io.size()) {
      cb.valid = false;
      DamageRepeated(f, "blocks cut short", "block " + N(b) + " ends inside its records (the file is cut short)");
    } else {
      cb.count = static_cast<uint32_t>(add / rs + 1);
      if (visit && cb.count > 0) visit(cb.block, blk + kBlockHeaderSize, cb.count);
    }
    f.chain.push_back(cb);
    f.chain_count += cb.count;
    prev = b;
    b = next;
  }

  return prev;
}

// The free list from 0x4D: no loops, no block in use, every block empty.
void TableChecker::WalkFreeList(TableFile& f) {
  const int32_t rs = f.h.record_size;
  for (uint32_t fb = f.h.first_free_block; fb != 0;) {
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
      std::vector<uint8_t> first(p + kBlockHeaderSize + size_t(rep.first.slot) * h.record_size,
                                 p + kBlockHeaderSize + size_t(rep.first.slot + 1) * h.record_size);
      if (!f.io.Block(rep.second.block, &p).ok()) continue;
      if (order.Same(first.data(), p + kBlockHeaderSize + size_t(rep.second.slot) * h.record_size, rep.fields))
        DamageRepeated(f, "records out of key order", KeyRepeatProblem(rep));
    }
  }
  if (f.chain_complete && f.chain_count != h.num_records)
    Damage(f, "the header counts " + N(h.num_records) + " records, the chain holds " + N(f.chain_count));
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
  std::string dir;
  std::vector<TableFileName> files;
  if (!ListTableFiles(fs_, db_path_, &dir, &files).ok()) return;
  std::map<std::string, std::pair<std::string, std::string>> pairs;  // "02"/"g0" -> (.Xnn, .Ynn)
  for (const TableFileName& f : files) {
    const std::string full = JoinPath(dir, f.name);
    if (f.role == FileRole::kPrimaryIndex) {
      if (px_path_.empty()) px_path_ = full;
    } else if (f.role == FileRole::kBlobs) {
      if (mb_path_.empty()) mb_path_ = full;
    } else if (f.role == FileRole::kValidity) {
      if (val_path_.empty()) val_path_ = full;
    } else if (f.role == FileRole::kSecondary) {
      std::string number;
      const bool data = IsSecondaryData(f.name, &number);
      (data ? pairs[number].first : pairs[number].second) = full;
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

}  // namespace check

Status CheckTable(FileSystem* fs, const std::string& db_path, std::vector<std::string>* problems) {
  MakeWayFor(db_path);
  // The files as they stand mid-change say little; say that first.
  DescribeJournals(fs, db_path, problems);
  check::TableChecker checker(fs, db_path, nullptr, problems);
  return checker.Run();
}

}  // namespace paradox
