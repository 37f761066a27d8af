#include "paradox/store/record_chain.h"

#include <algorithm>
#include <cstring>

#include "paradox/format/bytes.h"

namespace paradox {

namespace {
// Bytes of neighbouring blocks read and kept together (see Block): as
// many as a purge gathers into one change.
constexpr size_t kWindowBytes = 8u << 20;
constexpr size_t kMinWindowBytes = 256u << 10;
}  // namespace

// ---------------------------------------------------------------------------
// RecordChain

Status RecordChain::Load(File* file, const std::string& path, const TableHeader& h,
                         const std::vector<uint8_t>& header_bytes) {
  file_ = file;
  path_ = path;
  header_ = h;
  header_bytes_ = header_bytes;
  disk_header_.assign(header_bytes.begin(), header_bytes.begin() + std::min<size_t>(header_bytes.size(), hdr::kFixedEnd));
  staged_.clear();
  size_t nb = h.file_blocks + 1u;
  next_.assign(nb, 0);
  prev_.assign(nb, 0);
  count_.assign(nb, 0);
  in_chain_.assign(nb, 0);
  key_size_ = 0;
  for (uint16_t i = 0; i < h.primary_key_fields; ++i) key_size_ = static_cast<uint16_t>(key_size_ + h.fields[i].size);
  first_keys_.assign(nb * key_size_, 0);

  // Every block header (and first key) in physical order, the blocks read
  // in large runs: one call per run costs far less than one per block, even
  // though the records are read along (and again by whoever walks them).
  // The buffer is the window's; it holds the file's last run afterwards.
  const uint32_t per_read = WindowBlocks();
  std::vector<int16_t> add(nb, 0);
  window_blocks_ = 0;
  for (uint32_t b = 1; b <= h.file_blocks; b += per_read) {
    const uint32_t n = std::min<uint32_t>(per_read, h.file_blocks - b + 1);
    const size_t bytes = size_t(n) * h.block_size;
    if (window_.size() < bytes) window_.resize(bytes);
    size_t got = 0;
    PX_RETURN_IF_ERROR(file_->Read(BlockOffset(static_cast<uint16_t>(b)), bytes, window_.data(), &got));
    // Blocks past the file's end read as zeros, as a short last block ends.
    std::fill(window_.begin() + std::ptrdiff_t(got), window_.begin() + std::ptrdiff_t(bytes), 0);
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* p = window_.data() + size_t(i) * h.block_size;
      next_[b + i] = LoadLE16(p);
      prev_[b + i] = LoadLE16(p + 2);
      add[b + i] = static_cast<int16_t>(LoadLE16(p + 4));
      if (key_size_ > 0) std::memcpy(&first_keys_[size_t(b + i) * key_size_], p + kBlockHeaderSize, key_size_);
    }
    window_first_ = b;
    window_blocks_ = static_cast<uint32_t>((got + h.block_size - 1) / h.block_size);
  }

  uint64_t file_size = 0;
  PX_RETURN_IF_ERROR(file_->Size(&file_size));
  auto corrupt = [&](const std::string& why) { return Status::Error(ErrorCode::kCorruptBlock, why).With(path_); };
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
    // A stored-short last block may end early, but not inside its records.
    if (BlockOffset(b) + kBlockHeaderSize + uint64_t{count_[b]} * uint64_t(rs) > file_size)
      return corrupt("block " + std::to_string(b) + " ends inside its records");
    records += count_[b];
    last = b;
  }
  if (records != h.num_records) return corrupt("the block chain does not hold the records the header counts");
  if (steps != h.used_blocks || last != h.last_block) return corrupt("the block chain does not match the header");
  return Status::OK();
}

Status RecordChain::ReadBlock(uint16_t b, std::vector<uint8_t>* out) const {
  out->assign(header_.block_size, 0);
  size_t got = 0;
  PX_RETURN_IF_ERROR(file_->Read(BlockOffset(b), out->size(), out->data(), &got));
  if (got == 0)
    return Status::Error(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " lies past the end of the file")
        .With(path_);
  return Status::OK();
}

void RecordChain::Overlay(uint64_t offset, size_t n, uint8_t* out) const {
  const uint64_t end = offset + n;
  if (offset < disk_header_.size()) {
    const size_t upto = static_cast<size_t>(std::min<uint64_t>(end, disk_header_.size()));
    std::memcpy(out, header_bytes_.data() + offset, upto - offset);
  }
  const uint32_t bs = header_.block_size;
  if (staged_.empty() || end <= header_.header_size) return;
  const uint64_t from = offset <= header_.header_size ? 0 : (offset - header_.header_size) / bs;
  for (auto it = staged_.lower_bound(static_cast<uint16_t>(std::min<uint64_t>(from + 1, 0xFFFF))); it != staged_.end();
       ++it) {
    const uint64_t at = BlockOffset(it->first);
    if (at >= end) break;
    const uint64_t lo = std::max(at, offset), hi = std::min(at + bs, end);
    if (lo < hi && !it->second.now.empty()) std::memcpy(out + (lo - offset), it->second.now.data() + (lo - at), hi - lo);
  }
}

Status RecordChain::Block(uint16_t b, const uint8_t** out) const {
  if (const uint8_t* kept = Kept(b)) {
    *out = kept;
    return Status::OK();
  }
  const uint32_t bs = header_.block_size;
  // The window reads ahead along the file where the block asked for
  // follows the window (a chain in file order, as a table written in key
  // order has it); a block elsewhere is read alone, so that a chain
  // scattered over the file is not read many times over.
  KeepWindowedBytes();
  const bool follows = window_blocks_ > 0 && b == window_first_ + window_blocks_;
  window_blocks_ = 0;
  if (b == 0 || b > header_.file_blocks)
    return Status::Error(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " lies past the end of the file")
        .With(path_);
  const uint32_t most = WindowBlocks();
  const uint32_t n = std::min<uint32_t>(follows ? most : 1, header_.file_blocks - b + 1u);
  if (window_.size() < size_t(n) * bs) window_.resize(size_t(n) * bs);
  size_t got = 0;
  PX_RETURN_IF_ERROR(file_->Read(BlockOffset(b), size_t(n) * bs, window_.data(), &got));
  if (got == 0)
    return Status::Error(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " lies past the end of the file")
        .With(path_);
  // A short last block reads as zeros at its end.
  std::fill(window_.begin() + std::ptrdiff_t(got), window_.begin() + std::ptrdiff_t(size_t(n) * bs), 0);
  window_first_ = b;
  window_blocks_ = static_cast<uint32_t>((got + bs - 1) / bs);
  *out = window_.data();
  return Status::OK();
}

uint32_t RecordChain::WindowBlocks() const {
  // Small files get a small window: it never holds more than a sixteenth.
  const size_t bytes = std::clamp<size_t>(size_t(header_.file_blocks) * header_.block_size / 16, kMinWindowBytes,
                                          kWindowBytes);
  return std::max<uint32_t>(1, uint32_t(bytes / header_.block_size));
}

void RecordChain::KeepWindowedBytes() const {
  for (auto& [b, st] : staged_) {
    if (!st.was_in_window) continue;
    const uint8_t* there = InWindow(b);
    st.was = TakeBuffer();
    st.was.assign(there, there + header_.block_size);
    st.was_in_window = false;
  }
}

Status RecordChain::Approach(uint16_t b) const {
  if (Kept(b) != nullptr) return Status::OK();
  const uint8_t* unused = nullptr;
  return Block(b, &unused);
}

std::vector<uint8_t> RecordChain::TakeBuffer() const {
  if (spare_.empty()) return std::vector<uint8_t>();
  std::vector<uint8_t> v = std::move(spare_.back());
  spare_.pop_back();
  return v;
}

Status RecordChain::Image(uint16_t b, Change* change, std::vector<uint8_t>** out) const {
  auto it = change->blocks.find(b);
  if (it == change->blocks.end()) {
    std::vector<uint8_t> image;
    auto staged = staged_.find(b);
    if (staged != staged_.end()) {
      image = std::move(staged->second.now);
      change->took_staged = true;
    } else {
      // A block outside the window is read alone: moving the window would
      // drop the bytes that earlier images of the change replace.
      image = TakeBuffer();
      if (const uint8_t* now = InWindow(b)) {
        image.assign(now, now + header_.block_size);
        change->disk_in_window.push_back(b);
      } else {
        PX_RETURN_IF_ERROR(ReadBlock(b, &image));
        std::vector<uint8_t> disk = TakeBuffer();
        disk.assign(image.begin(), image.end());
        change->disk.emplace(b, std::move(disk));
      }
    }
    it = change->blocks.emplace(b, std::move(image)).first;
  }
  *out = &it->second;
  return Status::OK();
}

Status RecordChain::Remove(const std::vector<RowPos>& victims, Change* change) {
  const uint16_t first_block = header_.first_block;
  change->last_block = header_.last_block;
  change->free_head = header_.first_free_block;
  change->used = header_.used_blocks;
  std::vector<uint16_t> emptied;
  PX_RETURN_IF_ERROR(CloseUp(victims, change, &emptied));

  // Emptied blocks leave the chain for the free list, the chain's head last:
  // the head stays the first block and takes over its successor's records.
  for (uint16_t b : emptied) {
    if (b == first_block) continue;
    PX_RETURN_IF_ERROR(Unlink(b, change));
    PX_RETURN_IF_ERROR(FreeBlock(b, change));
    change->structure = true;
  }
  if (first_block != 0 && count_[first_block] == 0) {
    PX_RETURN_IF_ERROR(RefillHead(change));
    change->structure = true;
  }
  SetHeader(victims.size(), change);
  return Status::OK();
}

// Within each block the records kept close up, in their order; `emptied`
// gets the blocks left without one.
Status RecordChain::CloseUp(const std::vector<RowPos>& victims, Change* change, std::vector<uint16_t>* emptied) {
  const uint32_t rs = header_.record_size;
  for (size_t i = 0; i < victims.size();) {
    uint16_t b = victims[i].block;
    std::vector<uint8_t>* blk = nullptr;
    PX_RETURN_IF_ERROR(Image(b, change, &blk));
    uint32_t n = count_[b], kept = 0;
    change->old_count.push_back(static_cast<uint16_t>(n));
    size_t j = i;
    for (uint32_t s = 0; s < n; ++s) {
      if (j < victims.size() && victims[j].block == b && victims[j].slot == s) {
        ++j;
        continue;
      }
      if (kept != s) std::memmove(&(*blk)[kBlockHeaderSize + kept * rs], &(*blk)[kBlockHeaderSize + s * rs], rs);
      ++kept;
    }
    if (j < victims.size() && victims[j].block == b)
      return Status::Error(ErrorCode::kNotFound, "no record at a position to delete in block " + std::to_string(b))
          .With(path_);
    i = j;
    count_[b] = static_cast<uint16_t>(kept);
    SetCount(blk, kept);
    if (kept > 0 && key_size_ > 0) std::memcpy(&first_keys_[size_t(b) * key_size_], &(*blk)[kBlockHeaderSize], key_size_);
    change->touched.push_back(b);
    if (kept == 0) emptied->push_back(b);
  }
  return Status::OK();
}

// Block `b`'s neighbours link to each other instead.
Status RecordChain::Unlink(uint16_t b, Change* change) {
  uint16_t p = prev_[b], n = next_[b];
  std::vector<uint8_t>* pb = nullptr;
  PX_RETURN_IF_ERROR(Image(p, change, &pb));
  StoreLE16(&(*pb)[0], n);
  next_[p] = n;
  if (n != 0) {
    std::vector<uint8_t>* nb = nullptr;
    PX_RETURN_IF_ERROR(Image(n, change, &nb));
    StoreLE16(&(*nb)[2], p);
    prev_[n] = p;
  } else {
    change->last_block = p;
  }
  return Status::OK();
}

// Block `b`, out of the chain, becomes the free list's head.
Status RecordChain::FreeBlock(uint16_t b, Change* change) {
  std::vector<uint8_t>* blk = nullptr;
  PX_RETURN_IF_ERROR(Image(b, change, &blk));
  StoreLE16(&(*blk)[0], change->free_head);
  StoreLE16(&(*blk)[2], 0);
  SetCount(blk, 0);
  change->free_head = b;
  in_chain_[b] = 0;
  count_[b] = 0;
  --change->used;
  return Status::OK();
}

// The emptied head takes over its successor's records, and the successor
// is freed; an emptied head without one stays, empty.
Status RecordChain::RefillHead(Change* change) {
  const uint16_t first_block = header_.first_block;
  uint16_t n = next_[first_block];
  if (n == 0) return Status::OK();
  std::vector<uint8_t>* head = nullptr;
  std::vector<uint8_t>* src = nullptr;
  PX_RETURN_IF_ERROR(Image(first_block, change, &head));
  PX_RETURN_IF_ERROR(Image(n, change, &src));
  std::memcpy(&(*head)[kBlockHeaderSize], &(*src)[kBlockHeaderSize], size_t(count_[n]) * header_.record_size);
  count_[first_block] = count_[n];
  SetCount(head, count_[n]);
  if (key_size_ > 0) std::memcpy(&first_keys_[size_t(first_block) * key_size_], &(*head)[kBlockHeaderSize], key_size_);
  change->moved_from = n;
  PX_RETURN_IF_ERROR(Unlink(n, change));
  return FreeBlock(n, change);
}

// Sets a block's record count in its header.
void RecordChain::SetCount(std::vector<uint8_t>* blk, uint32_t n) const {
  const uint32_t rs = header_.record_size;
  StoreLE16(&(*blk)[4], static_cast<uint16_t>(n == 0 ? -int32_t(rs) : int32_t((n - 1) * rs)));
  // Nothing of a deleted record stays behind the ones kept.
  std::fill(blk->begin() + kBlockHeaderSize + std::ptrdiff_t(n * rs), blk->end(), 0);
}

// Header fields that change; everything else stays as found.
void RecordChain::SetHeader(size_t removed, Change* change) const {
  Change& c = *change;
  c.records = header_.num_records - static_cast<uint32_t>(removed);
  c.header.assign(header_bytes_.begin(), header_bytes_.begin() + hdr::kFixedEnd);
  StoreLE32(&c.header[hdr::kNumRecords], c.records);
  StoreLE16(&c.header[hdr::kUsedBlocks], c.used);
  StoreLE16(&c.header[hdr::kLastBlock], c.last_block);
  StoreLE16(&c.header[hdr::kFirstFreeBlock], c.free_head);
}

void RecordChain::Stage(Change&& c) {
  for (auto& [b, image] : c.blocks) {
    Staged& st = staged_[b];
    if (st.was.empty() && !st.was_in_window) {
      auto disk = c.disk.find(b);
      if (disk != c.disk.end()) st.was = std::move(disk->second);
      else if (std::find(c.disk_in_window.begin(), c.disk_in_window.end(), b) != c.disk_in_window.end())
        st.was_in_window = true;
      else st.was = st.now;
    }
    st.now = std::move(image);
  }
  std::memcpy(header_bytes_.data(), c.header.data(), c.header.size());
  header_.num_records = c.records;
  header_.used_blocks = c.used;
  header_.last_block = c.last_block;
  header_.first_free_block = c.free_head;
}

void RecordChain::AddWrites(int file, std::vector<FileWrite>* blocks, std::vector<FileWrite>* header) const {
  // Each block with its own header in one write, from the group's images.
  const uint32_t bs = header_.block_size;
  for (const auto& [b, st] : staged_) {
    FileWrite w{file, BlockOffset(b), {}, st.was_in_window ? InWindow(b) : st.was.data()};
    w.data = st.now.data();
    w.data_size = bs;
    blocks->push_back(std::move(w));
  }
  if (std::memcmp(header_bytes_.data(), disk_header_.data(), disk_header_.size()) != 0) {
    FileWrite w{file, 0, {}, disk_header_.data()};
    w.data = header_bytes_.data();
    w.data_size = disk_header_.size();
    header->push_back(std::move(w));
  }
}

void RecordChain::Flushed() {
  for (auto& [b, st] : staged_) {
    if (uint8_t* kept = InWindow(b)) std::memcpy(kept, st.now.data(), header_.block_size);
    spare_.push_back(std::move(st.now));
    if (!st.was_in_window) spare_.push_back(std::move(st.was));
  }
  staged_.clear();
  std::memcpy(disk_header_.data(), header_bytes_.data(), disk_header_.size());
}

}  // namespace paradox
