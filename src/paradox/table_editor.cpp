#include "paradox/table_editor.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#include "paradox/bytes.h"
#include "paradox/index_builder.h"
#include "paradox/journal.h"

namespace paradox {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

Status Refuse(const std::string& path, const std::string& why) {
  return Status::Error(ErrorCode::kNotSupported, why).With(path);
}

Status ReadWhole(File* f, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(f->Size(&size));
  if (size > (64u << 20)) return Status::Error(ErrorCode::kCorruptIndex, "index file too large");
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  PX_RETURN_IF_ERROR(f->Read(0, out->size(), out->data(), &got));
  out->resize(got);
  return Status::OK();
}

// Lock files of the database software that mark a folder or table in use.
bool IsLockFile(const std::string& lower_name, const std::string& lower_stem) {
  return lower_name == "pdoxusrs.lck" || lower_name == "paradox.lck" || lower_name == lower_stem + ".lck";
}

}  // namespace

TableEditor::~TableEditor() {
  if (journal_) {
    journal_.reset();
    // A cleared journal has nothing to undo; leave no file behind.
    if (!broken_) (void)fs_->Remove(JournalPath(db_path_));
  }
}

Status TableEditor::Open(FileSystem* fs, const std::string& db_path, std::unique_ptr<TableEditor>* out) {
  std::unique_ptr<TableEditor> e(new TableEditor);
  e->fs_ = fs;
  e->db_path_ = db_path;
  std::string dir;
  SplitPath(db_path, &dir, &e->db_name_);

  bool undone = false;
  PX_RETURN_IF_ERROR(RecoverJournal(fs, db_path, &undone));

  // Another program's lock files, held open, mean the table is in use. A
  // lock file nobody holds is only left over and means nothing.
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs->ListDir(dir, &names));
  std::string stem = Lower(e->db_name_.substr(0, e->db_name_.rfind('.')));
  for (const std::string& n : names) {
    if (!IsLockFile(Lower(n), stem)) continue;
    std::unique_ptr<File> lock;
    Status st = fs->Open(JoinPath(dir, n), OpenMode::kExclusive, &lock);
    if (st.code() == ErrorCode::kTableBusy)
      return Status::Error(ErrorCode::kTableBusy, db_path).With(n + " is held by another program");
  }

  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kExclusive, &e->db_));
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(e->db_->Size(&size));
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(size, 65536)));
  size_t got = 0;
  PX_RETURN_IF_ERROR(e->db_->Read(0, head.size(), head.data(), &got));
  head.resize(got);
  Status st = ParseHeader(head, size, &e->header_);
  if (!st.ok()) return st.With(db_path);
  const TableHeader& h = e->header_;
  if (h.file_type != FileType::kKeyedTable && h.file_type != FileType::kTable)
    return Status::Error(ErrorCode::kNotATable, db_path);
  if (h.encrypted) return Status::Error(ErrorCode::kEncrypted, db_path);
  if (h.write_protected) return Status::Error(ErrorCode::kReadOnly, db_path).With("the table is write protected");
  if (h.rebuild_flagged) return Refuse(db_path, "the table is marked as needing a rebuild");
  if (h.first_free_block != 0 && h.used_blocks == h.file_blocks)
    return Status::Error(ErrorCode::kCorruptHeader, "free list without free blocks").With(db_path);
  if (head[hdr::kRefIntegrity] != 0) return Refuse(db_path, "the table takes part in referential integrity");
  e->header_bytes_.assign(head.begin(), head.begin() + h.header_size);

  // The table's other files: those the engine keeps exact are opened for
  // changing; the rest are held so no one changes them meanwhile.
  for (const std::string& n : names) {
    std::string ln = Lower(n);
    size_t dot = ln.rfind('.');
    if (dot == std::string::npos || ln.substr(0, dot) != stem || n == e->db_name_) continue;
    std::string ext = ln.substr(dot + 1);
    std::string path = JoinPath(dir, n);
    if (ext == "px") {
      e->px_name_ = n;
      continue;
    }
    bool secondary = ext.size() == 3 && (ext[0] == 'x' || ext[0] == 'y') &&
                     (ext[1] == 'g' || std::isxdigit(static_cast<unsigned char>(ext[1])));
    if (secondary) return Refuse(db_path, "the table has secondary indexes (" + n + "), which the engine does not keep up to date");
    if (ext == "val") {
      std::unique_ptr<File> val;
      PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &val));
      std::vector<uint8_t> vb;
      PX_RETURN_IF_ERROR(ReadWhole(val.get(), &vb));
      // Bytes 0x0D..0x10 give where referential-integrity rules start;
      // deleting rows could break such rules, so refuse.
      if (vb.size() >= 0x11 && LoadLE32(&vb[0x0D]) != 0)
        return Refuse(db_path, "the table's validity file holds referential-integrity rules");
      e->held_.push_back(std::move(val));
    } else if (ext == "mb") {
      // Blobs of deleted rows stay in the file as unreferenced space.
      PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &e->mb_));
    } else if (ext == "tv" || ext == "fam") {
      std::unique_ptr<File> other;
      PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &other));
      e->held_.push_back(std::move(other));
    }
  }

  PX_RETURN_IF_ERROR(e->LoadChain());
  if (h.keyed()) PX_RETURN_IF_ERROR(e->LoadOrRebuildIndex());

  std::string jpath = JournalPath(db_path);
  st = fs->Open(jpath, OpenMode::kCreate, &e->journal_);
  if (!st.ok()) return st;
  *out = std::move(e);
  return Status::OK();
}

Status TableEditor::ReadBlock(uint16_t b, std::vector<uint8_t>* out) const {
  out->assign(header_.block_size, 0);
  size_t got = 0;
  PX_RETURN_IF_ERROR(db_->Read(BlockOffset(b), out->size(), out->data(), &got));
  if (got == 0) return Status::Error(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " lies past the end of the file");
  return Status::OK();  // a short last block reads as zeros at its end
}

// Reads every block header (and first key) in physical order, in large
// pieces, then checks the chain they make.
Status TableEditor::LoadChain() {
  const TableHeader& h = header_;
  size_t nb = h.file_blocks + 1u;
  next_.assign(nb, 0);
  prev_.assign(nb, 0);
  count_.assign(nb, 0);
  in_chain_.assign(nb, 0);
  for (uint16_t i = 0; i < h.primary_key_fields; ++i) key_size_ = static_cast<uint16_t>(key_size_ + h.fields[i].size);
  first_keys_.assign(nb * key_size_, 0);
  const uint32_t per_read = std::max<uint32_t>(1, (1u << 20) / h.block_size);
  std::vector<uint8_t> buf;
  std::vector<int16_t> add(nb, 0);
  for (uint32_t b = 1; b <= h.file_blocks; b += per_read) {
    uint32_t n = std::min<uint32_t>(per_read, h.file_blocks - b + 1);
    buf.assign(size_t(n) * h.block_size, 0);
    size_t got = 0;
    PX_RETURN_IF_ERROR(db_->Read(BlockOffset(static_cast<uint16_t>(b)), buf.size(), buf.data(), &got));
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* p = buf.data() + size_t(i) * h.block_size;
      next_[b + i] = LoadLE16(p);
      prev_[b + i] = LoadLE16(p + 2);
      add[b + i] = static_cast<int16_t>(LoadLE16(p + 4));
      if (key_size_ > 0) std::memcpy(&first_keys_[size_t(b + i) * key_size_], p + 6, key_size_);
    }
  }
  auto corrupt = [&](const std::string& why) { return Status::Error(ErrorCode::kCorruptBlock, why).With(db_path_); };
  uint64_t records = 0;
  uint32_t steps = 0;
  uint16_t last = 0;
  const int32_t rs = h.record_size;
  for (uint16_t b = h.first_block; b != 0; b = next_[b]) {
    if (b > h.file_blocks) return corrupt("block number out of range");
    if (in_chain_[b]) return corrupt("the block chain loops");
    if (++steps > h.used_blocks) return corrupt("the block chain is longer than the header says");
    in_chain_[b] = 1;
    if (prev_[b] != last) return corrupt("block " + std::to_string(b) + " does not point back to the block before it");
    int32_t a = add[b];
    if (a != -rs && (a < 0 || a % rs != 0 || uint32_t(a / rs + 1) > h.block_capacity()))
      return corrupt("block " + std::to_string(b) + " has an impossible record count");
    count_[b] = static_cast<uint16_t>(a / rs + 1);
    records += count_[b];
    last = b;
  }
  if (records != h.num_records) return corrupt("the block chain does not hold the records the header counts");
  if (steps != h.used_blocks || last != h.last_block) return corrupt("the block chain does not match the header");
  return Status::OK();
}

Status TableEditor::BuildIndexImage(std::vector<uint8_t>* px) {
  std::vector<IndexEntry> level1;
  for (uint16_t b = header_.first_block; b != 0; b = next_[b]) {
    if (count_[b] == 0) continue;
    const uint8_t* k = &first_keys_[size_t(b) * key_size_];
    level1.push_back(IndexEntry{std::vector<uint8_t>(k, k + key_size_), b, count_[b]});
  }
  std::vector<uint8_t> tpl = px_bytes_;
  if (tpl.empty()) {
    IndexHeaderParams p;
    p.version = header_.version;
    p.block_size = header_.block_size;
    p.sort_order = header_.sort_order;
    p.table_change_count = header_bytes_[hdr::kChangeCount1];
    p.name = db_name_.substr(0, db_name_.rfind('.')) + ".PX";
    p.key_fields.assign(header_.fields.begin(), header_.fields.begin() + header_.primary_key_fields);
    PX_RETURN_IF_ERROR(MakePrimaryIndexHeader(p, &tpl));
  }
  // An emptied table keeps one empty index block, as tables the database
  // software empties do.
  EmptyIndex empty = header_.first_block != 0 ? EmptyIndex::kOneEmptyBlock : EmptyIndex::kNoBlocks;
  return BuildPrimaryIndex(tpl, level1, px, empty);
}

// Walks the index in px_bytes_ from its root, checking every entry against
// the data chain, and records where each data block's entry and each index
// block's parent entry are. False (with the reason) when it is not exact.
bool TableEditor::MapIndex(std::string* why) {
  auto fail = [&](const std::string& w) {
    *why = w;
    return false;
  };
  if (!ParseHeader(px_bytes_, px_bytes_.size(), &px_header_).ok() ||
      px_header_.file_type != FileType::kPrimaryIndex)
    return fail("index header damaged");
  const TableHeader& ph = px_header_;
  if (ph.rebuild_flagged) return fail("index marked out of date");
  if (px_bytes_[hdr::kIndexStamp] != IndexStamp(header_bytes_[hdr::kChangeCount1], header_.sort_order))
    return fail("index stamp does not match the table");
  if (ph.num_fields != header_.primary_key_fields) return fail("index keys differ from the table's");
  for (uint16_t i = 0; i < ph.num_fields; ++i)
    if (ph.fields[i].type != header_.fields[i].type || ph.fields[i].size != header_.fields[i].size)
      return fail("index keys differ from the table's");
  const size_t es = ph.record_size;
  leaf_of_.assign(header_.file_blocks + 1u, EntryRef{});
  parent_of_.assign(ph.file_blocks + 1u, EntryRef{});
  uint16_t expect = header_.first_block;  // next data block an entry must name
  auto next_data = [&]() {
    while (expect != 0 && count_[expect] == 0) expect = next_[expect];
  };
  next_data();
  if (ph.index_levels == 0) {
    if (expect != 0) return fail("index is empty but the table is not");
    return ph.num_records == 0 ? true : fail("index counts entries it does not have");
  }
  std::vector<uint8_t> seen(ph.file_blocks + 1u, 0);
  uint32_t entries = 0;
  // Returns false on any mismatch; *key and *total are the block's first key
  // and the sum of its counts.
  std::function<bool(uint16_t, int, const uint8_t**, uint32_t*)> walk =
      [&](uint16_t b, int level, const uint8_t** key, uint32_t* total) -> bool {
    if (b == 0 || b > ph.file_blocks || seen[b]) return fail("index block out of range or reached twice");
    seen[b] = 1;
    size_t at = ph.header_size + size_t(b - 1) * ph.block_size;
    if (at + ph.block_size > px_bytes_.size()) return fail("index block past the end of the file");
    const uint8_t* blk = &px_bytes_[at];
    int32_t a = static_cast<int16_t>(LoadLE16(blk + 4));
    if (a < 0 || a % int32_t(es) != 0 || 6 + (size_t(a) / es + 1) * es > ph.block_size)
      return fail("index block with an impossible entry count");
    uint32_t n = uint32_t(a) / es + 1;
    entries += n;
    *total = 0;
    *key = blk + 6;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = blk + 6 + i * es;
      uint16_t child = static_cast<uint16_t>(DecodeFlippedInt(e + key_size_, 2));
      uint32_t cnt = static_cast<uint16_t>(DecodeFlippedInt(e + key_size_ + 2, 2));
      if (e[key_size_ + 4] != 0x80 || e[key_size_ + 5] != 0) return fail("index entry with a bad third word");
      if (level == 1) {
        if (child != expect) return fail("index entries do not follow the data chain");
        if (cnt != count_[child] || std::memcmp(e, &first_keys_[size_t(child) * key_size_], key_size_) != 0)
          return fail("index entry does not match its data block");
        leaf_of_[child] = EntryRef{b, static_cast<uint16_t>(i)};
        expect = next_[expect];
        next_data();
      } else {
        const uint8_t* ck = nullptr;
        uint32_t ct = 0;
        if (child == 0 || child > ph.file_blocks) return fail("index block out of range");
        parent_of_[child] = EntryRef{b, static_cast<uint16_t>(i)};
        if (!walk(child, level - 1, &ck, &ct)) return false;
        if (ct != cnt || std::memcmp(e, ck, key_size_) != 0) return fail("index entry does not match the block below it");
      }
      *total += cnt;
    }
    return true;
  };
  const uint8_t* k = nullptr;
  uint32_t total = 0;
  if (!walk(ph.index_root, ph.index_levels, &k, &total)) return false;
  if (expect != 0) return fail("index misses data blocks");
  if (total != header_.num_records || entries != ph.num_records) return fail("index counts do not add up");
  return true;
}

Status TableEditor::LoadOrRebuildIndex() {
  std::string dir, unused;
  SplitPath(db_path_, &dir, &unused);
  std::string why = "the table has no primary index";
  bool exact = false;
  if (!px_name_.empty()) {
    PX_RETURN_IF_ERROR(fs_->Open(JoinPath(dir, px_name_), OpenMode::kExclusive, &px_));
    PX_RETURN_IF_ERROR(ReadWhole(px_.get(), &px_bytes_));
    exact = MapIndex(&why);
  } else {
    px_name_ = db_name_.substr(0, db_name_.rfind('.')) + ".PX";
    PX_RETURN_IF_ERROR(fs_->Open(JoinPath(dir, px_name_), OpenMode::kCreate, &px_));
  }
  if (exact) return Status::OK();
  // Rebuild it exactly from the data before anything else changes.
  std::vector<uint8_t> fresh;
  if (!px_bytes_.empty()) {
    TableHeader old;
    if (!ParseHeader(px_bytes_, px_bytes_.size(), &old).ok() || old.file_type != FileType::kPrimaryIndex)
      px_bytes_.clear();  // a damaged header is no template
    else
      px_bytes_.resize(old.header_size);
  }
  if (!px_bytes_.empty()) {
    // Keep the header's own bytes but tie it to the table again.
    px_bytes_[hdr::kIndexStamp] = IndexStamp(header_bytes_[hdr::kChangeCount1], header_.sort_order);
    px_bytes_[hdr::kModifiedFlags1] = px_bytes_[hdr::kModifiedFlags2] = px_bytes_[hdr::kIndexUpdateRequired] = 0;
  }
  PX_RETURN_IF_ERROR(BuildIndexImage(&fresh));
  PX_RETURN_IF_ERROR(px_->Write(0, fresh.data(), fresh.size()));
  PX_RETURN_IF_ERROR(px_->Truncate(fresh.size()));
  PX_RETURN_IF_ERROR(px_->Sync());
  px_bytes_ = std::move(fresh);
  if (!MapIndex(&why)) return Status::Error(ErrorCode::kCorruptIndex, "rebuilt index does not check: " + why);
  return Status::OK();
}

Status TableEditor::Delete(std::vector<RowPos> victims, bool sync, AfterDelete* after) {
  if (broken_) return Status::Error(ErrorCode::kIoError, "an earlier change failed; reopen the table").With(db_path_);
  const TableHeader& h = header_;
  const uint32_t rs = h.record_size;
  const RowPos first = victims.empty() ? RowPos{} : victims[0];
  std::sort(victims.begin(), victims.end());
  victims.erase(std::unique(victims.begin(), victims.end()), victims.end());
  for (const RowPos& v : victims)
    if (v.block == 0 || v.block > h.file_blocks || !in_chain_[v.block] || v.slot >= count_[v.block])
      return Status::Error(ErrorCode::kNotFound, "no record at block " + std::to_string(v.block) + " slot " +
                                                     std::to_string(v.slot)).With(db_path_);
  if (victims.empty()) return Status::OK();

  // New images of every block the change touches.
  std::map<uint16_t, std::vector<uint8_t>> img;
  auto image = [&](uint16_t b) -> std::vector<uint8_t>* {
    auto it = img.find(b);
    if (it != img.end()) return &it->second;
    std::vector<uint8_t> data;
    if (!ReadBlock(b, &data).ok()) return nullptr;
    return &img.emplace(b, std::move(data)).first->second;
  };
  auto set_count = [&](std::vector<uint8_t>& blk, uint32_t n) {
    StoreLE16(&blk[4], static_cast<uint16_t>(n == 0 ? -int32_t(rs) : int32_t((n - 1) * rs)));
    std::fill(blk.begin() + 6 + std::ptrdiff_t(n * rs), blk.end(), 0);
  };

  // The links change in place: should anything fail from here on, the
  // editor is marked broken and must be reopened, which reads them afresh.
  broken_ = true;
  std::vector<uint16_t>& next = next_;
  std::vector<uint16_t>& prev = prev_;
  std::vector<uint16_t>& count = count_;
  std::vector<uint8_t>& in_chain = in_chain_;
  std::vector<uint16_t> old_count;  // before the change, for blocks touched
  uint16_t first_block = h.first_block, last_block = h.last_block, free_head = h.first_free_block;
  uint16_t used = h.used_blocks;
  std::vector<uint16_t> touched, emptied;

  for (size_t i = 0; i < victims.size();) {
    uint16_t b = victims[i].block;
    std::vector<uint8_t>* blk = image(b);
    if (blk == nullptr) return Status::Error(ErrorCode::kIoError, "cannot read block " + std::to_string(b));
    uint32_t n = count[b], kept = 0;
    old_count.push_back(static_cast<uint16_t>(n));
    size_t j = i;
    for (uint32_t s = 0; s < n; ++s) {
      if (j < victims.size() && victims[j].block == b && victims[j].slot == s) {
        ++j;
        continue;
      }
      if (kept != s) std::memmove(&(*blk)[6 + kept * rs], &(*blk)[6 + s * rs], rs);
      ++kept;
    }
    i = j;
    count[b] = static_cast<uint16_t>(kept);
    set_count(*blk, kept);
    touched.push_back(b);
    if (kept == 0) emptied.push_back(b);
  }

  // Emptied blocks leave the chain for the free list, the chain's head last:
  // the head stays block 1 and takes over its successor's records.
  auto free_block = [&](uint16_t b) {
    std::vector<uint8_t>* blk = image(b);
    StoreLE16(&(*blk)[0], free_head);
    StoreLE16(&(*blk)[2], 0);
    set_count(*blk, 0);
    free_head = b;
    in_chain[b] = 0;
    --used;
  };
  auto unlink = [&](uint16_t b) -> bool {
    uint16_t p = prev[b], n = next[b];
    std::vector<uint8_t>* pb = image(p);
    if (pb == nullptr) return false;
    StoreLE16(&(*pb)[0], n);
    next[p] = n;
    if (n != 0) {
      std::vector<uint8_t>* nb = image(n);
      if (nb == nullptr) return false;
      StoreLE16(&(*nb)[2], p);
      prev[n] = p;
    } else {
      last_block = p;
    }
    return true;
  };
  bool structure = false;
  uint16_t moved_from = 0;  // block whose records moved into the head
  for (uint16_t b : emptied) {
    if (b == first_block) continue;
    if (!unlink(b)) return Status::Error(ErrorCode::kIoError, "cannot read a neighbouring block");
    free_block(b);
    structure = true;
  }
  if (count[first_block] == 0) {
    uint16_t c = next[first_block];
    if (c != 0) {
      std::vector<uint8_t>* head = image(first_block);
      std::vector<uint8_t>* src = image(c);
      if (head == nullptr || src == nullptr) return Status::Error(ErrorCode::kIoError, "cannot read block " + std::to_string(c));
      std::memcpy(&(*head)[6], &(*src)[6], size_t(count[c]) * rs);
      count[first_block] = count[c];
      set_count(*head, count[c]);
      moved_from = c;
      if (!unlink(c)) return Status::Error(ErrorCode::kIoError, "cannot read a neighbouring block");
      free_block(c);
      count[c] = 0;
      if (key_size_ > 0) std::memcpy(&first_keys_[size_t(first_block) * key_size_], &(*head)[6], key_size_);
    }
    structure = true;
  }

  // Header fields that change; everything else stays as found.
  uint32_t records = h.num_records - static_cast<uint32_t>(victims.size());
  std::vector<uint8_t> hb(header_bytes_.begin(), header_bytes_.begin() + hdr::kFixedEnd);
  StoreLE32(&hb[hdr::kNumRecords], records);
  StoreLE16(&hb[hdr::kUsedBlocks], used);
  StoreLE16(&hb[hdr::kLastBlock], last_block);
  StoreLE16(&hb[hdr::kFirstFreeBlock], free_head);

  std::vector<FileWrite> writes;
  changed_.clear();
  for (auto& [b, data] : img) {
    writes.push_back(FileWrite{0, BlockOffset(b), data});
    changed_.push_back(b);
  }
  writes.push_back(FileWrite{0, 0, hb});
  std::vector<ChangeFile> files = {{db_name_, db_.get()}};
  std::vector<int64_t> truncate = {-1};

  // First keys of the blocks that remain, as the index needs them.
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> new_keys;
  if (key_size_ > 0) {
    for (uint16_t b : touched)
      if (in_chain[b] && count[b] > 0) {
        const std::vector<uint8_t>& blk = img[b];
        new_keys.push_back({b, std::vector<uint8_t>(blk.begin() + 6, blk.begin() + 6 + key_size_)});
      }
  }

  std::vector<uint8_t> new_px;
  std::map<uint16_t, bool> dirty_px;
  if (h.keyed()) {
    files.push_back({px_name_, px_.get()});
    truncate.push_back(-1);
    if (structure) {
      // Blocks left the chain: build the index anew from the new chain.
      for (auto& [b, k] : new_keys) std::memcpy(&first_keys_[size_t(b) * key_size_], k.data(), key_size_);
      PX_RETURN_IF_ERROR(BuildIndexImage(&new_px));
      writes.push_back(FileWrite{1, 0, new_px});
      truncate.back() = static_cast<int64_t>(new_px.size());
    } else {
      // Counts go down along each block's path to the root; a block whose
      // first record changed passes its new key up while it is first.
      const size_t es = px_header_.record_size;
      auto entry = [&](EntryRef r) {
        return &px_bytes_[px_header_.header_size + size_t(r.px_block - 1) * px_header_.block_size + 6 + r.index * es];
      };
      for (size_t t = 0; t < touched.size(); ++t) {
        uint16_t b = touched[t];
        uint32_t removed = old_count[t] - count[b];
        const uint8_t* key = nullptr;
        for (auto& [kb, k] : new_keys)
          if (kb == b) key = k.data();
        EntryRef r = leaf_of_[b];
        bool pass_key = key != nullptr;
        while (r.px_block != 0) {
          uint8_t* e = entry(r);
          int32_t c = static_cast<uint16_t>(DecodeFlippedInt(e + key_size_ + 2, 2));
          EncodeFlippedInt(e + key_size_ + 2, c - static_cast<int32_t>(removed), 2);
          if (pass_key) std::memcpy(e, key, key_size_);
          dirty_px[r.px_block] = true;
          pass_key = pass_key && r.index == 0;
          r = parent_of_[r.px_block];
        }
      }
      for (auto& [pb, unused] : dirty_px) {
        size_t at = px_header_.header_size + size_t(pb - 1) * px_header_.block_size;
        writes.push_back(FileWrite{1, at, std::vector<uint8_t>(px_bytes_.begin() + at,
                                                               px_bytes_.begin() + at + px_header_.block_size)});
      }
    }
  }

  Status st = ApplyChange(journal_.get(), files, writes, truncate, sync);
  if (!st.ok()) return st.With(db_path_);

  // Where a walk on the first victim goes on (exact for a single victim).
  if (after != nullptr) {
    *after = AfterDelete();
    after->moved_into_head = moved_from;
    uint16_t b = first.block;
    uint16_t nb = 0;
    if (moved_from != 0 && (b == first_block || b == moved_from)) {
      uint32_t slot = b == moved_from ? first.slot : 0;
      if (slot < count[first_block]) {
        after->has_next = true;
        after->next = RowPos{first_block, slot};
      } else {
        nb = next[first_block];
      }
    } else if (in_chain[b]) {
      if (first.slot < count[b]) {
        after->has_next = true;
        after->next = RowPos{b, first.slot};
      } else {
        nb = next[b];
      }
    } else if (prev_[b] != 0 && in_chain[prev_[b]]) {
      nb = next[prev_[b]];
    }
    if (!after->has_next && nb != 0 && count[nb] > 0) {
      after->has_next = true;
      after->next = RowPos{nb, 0};
    }
    if (!after->has_next && records > 0) {
      after->has_prev = true;
      after->prev = RowPos{last_block, static_cast<uint32_t>(count[last_block] - 1)};
    }
  }

  // The files are written: take the new state.
  for (auto& [b, k] : new_keys) std::memcpy(&first_keys_[size_t(b) * key_size_], k.data(), key_size_);
  std::memcpy(header_bytes_.data(), hb.data(), hb.size());
  header_.num_records = records;
  header_.used_blocks = used;
  header_.last_block = last_block;
  header_.first_free_block = free_head;
  if (h.keyed() && structure) {
    px_bytes_ = std::move(new_px);
    std::string why;
    if (!MapIndex(&why)) return Status::Error(ErrorCode::kCorruptIndex, why).With(db_path_);
  }
  broken_ = false;
  return Status::OK();
}

}  // namespace paradox
