// The primary index kept along with a data file's record chain: built
// whole, mapped onto the chain, and brought up to date by each change.
#include <algorithm>
#include <cstring>
#include <functional>

#include "paradox/format/bytes.h"
#include "paradox/format/index_builder.h"
#include "paradox/store/record_chain.h"

namespace paradox {

void ChainIndex::Init(File* file, const std::string& path, const std::string& name, FileType type,
                      std::vector<uint8_t> bytes) {
  file_ = file;
  path_ = path;
  name_ = name;
  type_ = type;
  bytes_ = std::move(bytes);
  disk_ = bytes_;
  dirty_.clear();
  whole_ = false;
}

uint8_t* ChainIndex::Entry(uint16_t index_block, uint16_t i) {
  return &bytes_[header_.header_size + size_t(index_block - 1) * header_.block_size + kBlockHeaderSize +
                 size_t(i) * header_.record_size];
}

Status ChainIndex::Build(const RecordChain& data, std::vector<uint8_t>* out) const {
  const TableHeader& dh = data.header();
  const uint16_t ks = data.key_size();
  std::vector<IndexEntry> level1;
  for (uint16_t b = dh.first_block; b != 0; b = data.next(b)) {
    if (data.count(b) == 0) continue;
    const uint8_t* k = data.first_key(b);
    level1.push_back(IndexEntry{std::vector<uint8_t>(k, k + ks), b, data.count(b)});
  }
  // The old header serves as the template where it describes these keys;
  // otherwise a new one is made.
  std::vector<uint8_t> tpl;
  TableHeader old;
  bool usable = !bytes_.empty() && ParseHeader(bytes_, bytes_.size(), &old).ok() && old.file_type == type_ &&
                old.num_fields == dh.primary_key_fields && old.record_size == ks + 6u;
  for (uint16_t i = 0; usable && i < old.num_fields; ++i)
    usable = old.fields[i].type == dh.fields[i].type && old.fields[i].declared == dh.fields[i].declared;
  if (usable) {
    tpl.assign(bytes_.begin(), bytes_.begin() + old.header_size);
  } else {
    IndexHeaderParams p;
    p.version = dh.version;
    p.block_size = dh.block_size;
    p.sort_order = dh.sort_order;
    p.table_change_count = data.header_bytes()[hdr::kChangeCount1];
    p.name = name_;
    p.key_fields.assign(dh.fields.begin(), dh.fields.begin() + dh.primary_key_fields);
    PX_RETURN_IF_ERROR(MakePrimaryIndexHeader(p, &tpl));
  }
  // Tied to its data file; an exact index already carries this stamp.
  tpl[hdr::kIndexStamp] = IndexStamp(data.header_bytes()[hdr::kChangeCount1], dh.sort_order);
  tpl[hdr::kModifiedFlags1] = tpl[hdr::kModifiedFlags2] = tpl[hdr::kIndexUpdateRequired] = 0;
  tpl[hdr::kFileType] = static_cast<uint8_t>(FileType::kPrimaryIndex);
  // An emptied file keeps one empty index block, as files the database
  // software empties do.
  EmptyIndex empty = dh.first_block != 0 ? EmptyIndex::kOneEmptyBlock : EmptyIndex::kNoBlocks;
  Status st = BuildPrimaryIndex(tpl, level1, out, empty);
  if (!st.ok()) return st.With(path_);
  (*out)[hdr::kFileType] = static_cast<uint8_t>(type_);
  return Status::OK();
}

bool ChainIndex::Map(const RecordChain& data, std::string* why) {
  auto fail = [&](const std::string& w) {
    *why = w;
    return false;
  };
  const TableHeader& dh = data.header();
  if (!ParseHeader(bytes_, bytes_.size(), &header_).ok() || header_.file_type != type_)
    return fail("index header damaged");
  const TableHeader& ph = header_;
  if (ph.rebuild_flagged) return fail("index marked out of date");
  if (bytes_[hdr::kIndexStamp] != IndexStamp(data.header_bytes()[hdr::kChangeCount1], dh.sort_order))
    return fail("index stamp does not match its data file");
  if (ph.num_fields != dh.primary_key_fields) return fail("index keys differ from its data file's");
  for (uint16_t i = 0; i < ph.num_fields; ++i)
    if (ph.fields[i].type != dh.fields[i].type || ph.fields[i].size != dh.fields[i].size ||
        ph.fields[i].declared != dh.fields[i].declared)
      return fail("index keys differ from its data file's");
  const uint16_t ks = data.key_size();
  const size_t es = ph.record_size;
  leaf_of_.assign(dh.file_blocks + 1u, EntryRef{});
  parent_of_.assign(ph.file_blocks + 1u, EntryRef{});
  uint16_t expect = dh.first_block;  // next data block an entry must name
  auto next_data = [&]() {
    while (expect != 0 && data.count(expect) == 0) expect = data.next(expect);
  };
  next_data();
  if (ph.index_levels == 0) {
    if (expect != 0) return fail("index is empty but its data file is not");
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
    if (at + ph.block_size > bytes_.size()) return fail("index block past the end of the file");
    const uint8_t* blk = &bytes_[at];
    int32_t a = static_cast<int16_t>(LoadLE16(blk + 4));
    if (a < 0 || a % int32_t(es) != 0 || kBlockHeaderSize + (size_t(a) / es + 1) * es > ph.block_size)
      return fail("index block with an impossible entry count");
    uint32_t n = uint32_t(a) / es + 1;
    entries += n;
    *total = 0;
    *key = blk + kBlockHeaderSize;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = blk + kBlockHeaderSize + i * es;
      uint16_t child = static_cast<uint16_t>(DecodeFlippedInt(e + ks, 2));
      uint32_t cnt = static_cast<uint16_t>(DecodeFlippedInt(e + ks + 2, 2));
      if (e[ks + 4] != 0x80 || e[ks + 5] != 0) return fail("index entry with a bad third word");
      if (level == 1) {
        if (child != expect) return fail("index entries do not follow the data chain");
        if (cnt != data.count(child) || std::memcmp(e, data.first_key(child), ks) != 0)
          return fail("index entry does not match its data block");
        leaf_of_[child] = EntryRef{b, static_cast<uint16_t>(i)};
        expect = data.next(expect);
        next_data();
      } else {
        const uint8_t* ck = nullptr;
        uint32_t ct = 0;
        if (child == 0 || child > ph.file_blocks) return fail("index block out of range");
        parent_of_[child] = EntryRef{b, static_cast<uint16_t>(i)};
        if (!walk(child, level - 1, &ck, &ct)) return false;
        if (ct != cnt || std::memcmp(e, ck, ks) != 0) return fail("index entry does not match the block below it");
      }
      *total += cnt;
    }
    return true;
  };
  const uint8_t* k = nullptr;
  uint32_t total = 0;
  if (!walk(ph.index_root, ph.index_levels, &k, &total)) return false;
  if (expect != 0) return fail("index misses data blocks");
  if (total != dh.num_records || entries != ph.num_records) return fail("index counts do not add up");
  return true;
}

Status ChainIndex::Rebuild(const RecordChain& data) {
  std::vector<uint8_t> fresh;
  PX_RETURN_IF_ERROR(Build(data, &fresh));
  // Stopped at any moment, this leaves the new index whole or an index
  // whose stamp marks it out of date (rebuilt again at the next open):
  // the old file's stamp is spoilt first, the new content goes in with a
  // spoilt stamp, and the right one follows once all of it is on disk.
  const uint8_t stamp = fresh[hdr::kIndexStamp];
  const uint8_t stale = static_cast<uint8_t>(stamp == 0 ? 1 : stamp - 1);
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(file_->Size(&size));
  if (size > hdr::kIndexStamp) {
    PX_RETURN_IF_ERROR(file_->Write(hdr::kIndexStamp, &stale, 1));
    PX_RETURN_IF_ERROR(file_->Sync());
  }
  fresh[hdr::kIndexStamp] = stale;
  PX_RETURN_IF_ERROR(file_->Write(0, fresh.data(), fresh.size()));
  PX_RETURN_IF_ERROR(file_->Truncate(fresh.size()));
  PX_RETURN_IF_ERROR(file_->Sync());
  PX_RETURN_IF_ERROR(file_->Write(hdr::kIndexStamp, &stamp, 1));
  PX_RETURN_IF_ERROR(file_->Sync());
  fresh[hdr::kIndexStamp] = stamp;
  bytes_ = std::move(fresh);
  disk_ = bytes_;
  std::string why;
  if (!Map(data, &why))
    return Status::Error(ErrorCode::kCorruptIndex, "rebuilt index does not check: " + why).With(path_);
  return Status::OK();
}

Status ChainIndex::Update(const RecordChain& data, const RecordChain::Change& change) {
  rebuilt_ = change.structure;
  if (change.structure) {
    // Blocks left the chain: the index is built anew from the new chain.
    return Build(data, &pending_);
  }
  // Counts go down along each block's path to the root; a block's first key
  // (changed or not) passes up while its entry is the first of its block.
  for (uint16_t b : change.touched)
    if (leaf_of_[b].block == 0)
      return Status::Error(ErrorCode::kCorruptIndex, "no index entry for a changed block").With(path_);
  const uint16_t ks = data.key_size();
  for (size_t t = 0; t < change.touched.size(); ++t) {
    uint16_t b = change.touched[t];
    int32_t removed = change.old_count[t] - data.count(b);
    EntryRef r = leaf_of_[b];
    bool pass_key = true;
    while (r.block != 0) {
      auto at = std::lower_bound(dirty_.begin(), dirty_.end(), r.block);
      if (at == dirty_.end() || *at != r.block) dirty_.insert(at, r.block);
      uint8_t* e = Entry(r.block, r.index);
      int32_t c = static_cast<uint16_t>(DecodeFlippedInt(e + ks + 2, 2));
      EncodeFlippedInt(e + ks + 2, c - removed, 2);
      if (pass_key) std::memcpy(e, data.first_key(b), ks);
      pass_key = pass_key && r.index == 0;
      r = parent_of_[r.block];
    }
  }
  return Status::OK();
}

Status ChainIndex::Stage(const RecordChain& data) {
  if (!rebuilt_) return Status::OK();
  bytes_ = std::move(pending_);
  pending_.clear();
  rebuilt_ = false;
  whole_ = true;
  dirty_.clear();
  std::string why;
  if (!Map(data, &why)) return Status::Error(ErrorCode::kCorruptIndex, why).With(path_);
  return Status::OK();
}

void ChainIndex::AddWrites(int file, std::vector<FileWrite>* writes, int64_t* truncate) const {
  if (whole_) {
    writes->push_back(FileWrite{file, 0, bytes_, disk_.data()});
    *truncate = static_cast<int64_t>(bytes_.size());
    return;
  }
  const size_t bs = header_.block_size;
  for (uint16_t ib : dirty_) {
    const size_t at = header_.header_size + size_t(ib - 1) * bs;
    writes->push_back(FileWrite{file, at, std::vector<uint8_t>(bytes_.begin() + std::ptrdiff_t(at),
                                                               bytes_.begin() + std::ptrdiff_t(at + bs)),
                                disk_.data() + at});
  }
}

void ChainIndex::Flushed() {
  disk_ = bytes_;
  dirty_.clear();
  whole_ = false;
}

}  // namespace paradox
