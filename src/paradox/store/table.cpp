#include "paradox/table.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "paradox/format/blob.h"
#include "paradox/format/bytes.h"
#include "paradox/codepage.h"
#include "paradox/journal.h"
#include "paradox/store/pending_groups.h"
#include "paradox/store/table_files.h"
#include "paradox/value.h"

namespace paradox {

namespace {

constexpr size_t kReadAhead = 1024 * 1024;

// Finds the table's other files among the names of its folder.
CompanionFiles FindCompanions(FileSystem* fs, const std::string& path) {
  CompanionFiles c;
  std::string dir;
  std::vector<TableFileName> files;
  if (!ListTableFiles(fs, path, &dir, &files).ok()) return c;
  for (const TableFileName& f : files) {
    std::string full = JoinPath(dir, f.name);
    if (f.role == FileRole::kPrimaryIndex) c.primary_index = full;
    else if (f.role == FileRole::kBlobs) c.blobs = full;
    else if (f.role == FileRole::kValidity) c.validity = full;
    else if (f.role == FileRole::kSecondary) c.secondary.push_back(full);
  }
  return c;
}

}  // namespace

Table::~Table() = default;

Status Table::OpenData() {
  // Deletions gathered by an editor of this process go to the file first
  // (and a walk of this process lets the table go), and a change cut short
  // is undone, before anyone reads the table.
  MakeWayFor(path_);
  PX_RETURN_IF_ERROR(RecoverBeforeReading(fs_, path_));
  PX_RETURN_IF_ERROR(fs_->Open(path_, OpenMode::kRead, &file_));
  reader_ = file_.get();
  PX_RETURN_IF_ERROR(file_->Size(&file_size_));
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(file_size_, 65536)));
  size_t got = 0;
  PX_RETURN_IF_ERROR(file_->Read(0, head.size(), head.data(), &got));
  head.resize(got);
  TableHeader h;
  Status st = ParseHeader(head, file_size_, &h);
  if (!st.ok()) return st.With(path_);
  if (h.file_type != FileType::kKeyedTable && h.file_type != FileType::kTable)
    return Status::Error(ErrorCode::kNotATable, path_ + " is an index file, not a table");
  if (h.encrypted) return Status::Error(ErrorCode::kEncrypted, path_);
  if (!header_.fields.empty() && h.record_size != header_.record_size)
    return Status::Error(ErrorCode::kNotSupported, path_).With("the table's structure changed while it was open");
  header_ = std::move(h);
  return Status::OK();
}

Status Table::Open(FileSystem* fs, const std::string& path, const OpenOptions& options,
                   std::unique_ptr<Table>* out) {
  std::unique_ptr<Table> t(new Table);
  t->fs_ = fs;
  t->path_ = path;
  PX_RETURN_IF_ERROR(t->OpenData());
  const TableHeader& h = t->header_;

  t->companions_ = FindCompanions(fs, path);
  t->text_code_page_ = options.code_page != 0 ? options.code_page
                       : h.version < 5       ? 866
                                             : h.code_page;
  if (IsKnownCodePage(t->text_code_page_)) t->to1251_map_ = DosTo1251Map(t->text_code_page_);

  bool has_blobs = false;
  for (const Field& f : h.fields) has_blobs = has_blobs || IsBlobType(f.type);
  if (has_blobs && !t->companions_.blobs.empty()) {
    std::unique_ptr<File> mb;
    if (fs->Open(t->companions_.blobs, OpenMode::kRead, &mb).ok())
      t->blobs_ = std::make_unique<BlobFile>(std::move(mb));
  }
  *out = std::move(t);
  return Status::OK();
}

int Table::FindField(std::string_view name) const {
  const auto& fs = header_.fields;
  for (size_t i = 0; i < fs.size(); ++i) {
    const std::string& n = fs[i].name;
    if (n.size() != name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < n.size() && same; ++k)
      same = std::tolower(static_cast<unsigned char>(n[k])) == std::tolower(static_cast<unsigned char>(name[k]));
    if (same) return static_cast<int>(i);
  }
  return -1;
}

Status Table::CheckTextCodePage() const {
  if (IsKnownCodePage(text_code_page_)) return Status::OK();
  return Status::Error(ErrorCode::kUnknownCodePage, std::to_string(text_code_page_)).With(path_);
}

void Table::To1251(std::string_view text, std::string* out) const {
  out->assign(text.data(), text.size());
  if (to1251_map_ == nullptr) return;
  for (char& c : *out) c = static_cast<char>(to1251_map_[static_cast<uint8_t>(c)]);
}

Status Table::ReadBlob(int field, const uint8_t* record, std::string* out) const {
  if (field < 0 || static_cast<size_t>(field) >= header_.fields.size())
    return Status::Error(ErrorCode::kFieldNotFound, "field " + std::to_string(field + 1));
  const Field& f = header_.fields[static_cast<size_t>(field)];
  if (!IsBlobType(f.type))
    return Status::Error(ErrorCode::kNotSupported, "field " + std::to_string(field + 1) + " holds no blob");
  BlobRef ref = GetBlobRef(f, record);
  Status st;
  if (ReadLeaderBlob(f.type, ref, out, &st)) return st;
  if (!blobs_) return Status::Error(ErrorCode::kNotFound, "blob file of " + path_);
  return blobs_->Read(f.type, ref, out);
}

std::unique_ptr<Cursor> Table::NewCursor() const { return std::make_unique<Cursor>(this); }

Status Table::ReadData(uint64_t offset, size_t size, uint8_t* out, size_t* got) const {
  if (reader_ == nullptr) return Status::Error(ErrorCode::kIoError, "table file not open").With(path_);
  return reader_->Read(offset, size, out, got);
}

void Table::ReleaseFiles() {
  blobs_.reset();
  file_.reset();
  reader_ = nullptr;
}

Status Table::ReadThrough(File* data, File* blobs, const TableHeader& header, uint64_t data_size) {
  file_.reset();
  reader_ = data;
  header_ = header;
  if (blobs_ == nullptr || blobs_->file() != blobs) {
    blobs_.reset();
    if (blobs != nullptr) blobs_ = std::make_unique<BlobFile>(blobs);
  }
  if (data_size != kUnknownSize) {
    file_size_ = data_size;
    return Status::OK();
  }
  return data->Size(&file_size_);
}

Status Table::ReopenFiles() {
  blobs_.reset();
  reader_ = nullptr;
  PX_RETURN_IF_ERROR(OpenData());
  if (!companions_.blobs.empty()) {
    std::unique_ptr<File> mb;
    if (fs_->Open(companions_.blobs, OpenMode::kRead, &mb).ok()) blobs_ = std::make_unique<BlobFile>(std::move(mb));
  }
  return Status::OK();
}

// ---------------------------------------------------------------------------

Cursor::Cursor(const Table* table) : table_(table) { SeekToFirst(); }

void Cursor::Fail(ErrorCode code, const std::string& why) {
  status_ = Status::Error(code, why).With(table_->path());
  record_ = nullptr;
}

Status Cursor::Load(uint16_t b, const uint8_t** data) {
  if (source_) {
    if (const uint8_t* there = source_(b)) {
      *data = there;
      return Status::OK();
    }
  }
  const TableHeader& h = table_->header();
  if (b < buffer_first_ || b >= buffer_first_ + buffer_blocks_) {
    uint32_t per_read = std::max<uint32_t>(1, static_cast<uint32_t>(kReadAhead / h.block_size));
    uint32_t count = std::min<uint32_t>(per_read, h.file_blocks - b + 1u);
    size_t want = static_cast<size_t>(count) * h.block_size;
    // Allocated once: a fresh buffer per read would cost page faults.
    if (buffer_.size() < want) buffer_.resize(want);
    uint64_t at = h.header_size + static_cast<uint64_t>(b - 1) * h.block_size;
    size_t got = 0;
    buffer_blocks_ = 0;
    PX_RETURN_IF_ERROR(table_->ReadData(at, want, buffer_.data(), &got));
    if (got == 0) return Status::Error(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " lies past the end of the file");
    // The last block may be stored short; the missing bytes read as zeros.
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(got), buffer_.begin() + static_cast<std::ptrdiff_t>(want), 0);
    buffer_first_ = b;
    buffer_blocks_ = static_cast<uint32_t>((got + h.block_size - 1) / h.block_size);
  }
  *data = buffer_.data() + static_cast<size_t>(b - buffer_first_) * h.block_size;
  return Status::OK();
}

void Cursor::SeekToEnd() {
  status_ = Status::OK();
  record_ = nullptr;
}

void Cursor::Refresh(const std::vector<uint16_t>& changed, const std::function<const uint8_t*(uint16_t)>& image) {
  const TableHeader& h = table_->header();
  for (uint16_t b : changed) {
    if (b < buffer_first_ || b >= buffer_first_ + buffer_blocks_) continue;
    uint8_t* at = buffer_.data() + size_t(b - buffer_first_) * h.block_size;
    if (const uint8_t* now = image ? image(b) : nullptr) {
      std::memcpy(at, now, h.block_size);
      continue;
    }
    size_t got = 0;
    Status st = table_->ReadData(h.header_size + uint64_t(b - 1) * h.block_size, h.block_size, at, &got);
    if (!st.ok()) {
      buffer_blocks_ = 0;  // read afresh when needed
      return;
    }
    std::fill(at + got, at + h.block_size, 0);
  }
}

void Cursor::SeekTo(uint16_t b, uint32_t slot) {
  const TableHeader& h = table_->header();
  status_ = Status::OK();
  record_ = nullptr;
  relaxed_ = true;
  visited_.assign(h.file_blocks + 1u, false);
  if (b == 0 || b > h.file_blocks) return;
  const uint8_t* data = nullptr;
  Status st = Load(b, &data);
  if (!st.ok()) {
    status_ = st;
    return;
  }
  int32_t add = static_cast<int16_t>(LoadLE16(data + 4));
  int32_t rs = h.record_size;
  if (add < 0 || add % rs != 0 || static_cast<uint32_t>(add / rs) >= h.block_capacity() ||
      slot > static_cast<uint32_t>(add / rs))
    return Fail(ErrorCode::kCorruptBlock, "no record at block " + std::to_string(b));
  visited_[b] = true;
  block_ = b;
  block_data_ = data;
  count_ = static_cast<uint32_t>(add / rs + 1);
  next_ = LoadLE16(data);
  slot_ = slot;
  record_ = block_data_ + kBlockHeaderSize + size_t(slot) * rs;
}

void Cursor::SeekToFirst() {
  const TableHeader& h = table_->header();
  status_ = Status::OK();
  relaxed_ = false;
  record_ = nullptr;
  steps_ = 0;
  seen_ = 0;
  visited_.assign(h.file_blocks + 1u, false);
  if (h.first_block == 0) {
    if (h.num_records != 0) Fail(ErrorCode::kCorruptHeader, "records counted but no blocks in the chain");
    return;
  }
  EnterBlock(h.first_block);
}

void Cursor::EnterBlock(uint16_t b) {
  const TableHeader& h = table_->header();
  // Skip empty blocks until one with records, or the chain's end.
  while (true) {
    if (b == 0) {
      record_ = nullptr;
      if (relaxed_) return;
      // End of the chain: it must account for every block and record.
      if (seen_ != h.num_records)
        return Fail(ErrorCode::kCorruptBlock, "the block chain holds " + std::to_string(seen_) +
                                                  " records, the header counts " + std::to_string(h.num_records));
      if (steps_ != h.used_blocks)
        return Fail(ErrorCode::kCorruptBlock, "the block chain is not as long as the header says");
      if (block_ != h.last_block) return Fail(ErrorCode::kCorruptBlock, "the block chain does not end at its last block");
      record_ = nullptr;
      return;
    }
    if (b > h.file_blocks) return Fail(ErrorCode::kCorruptBlock, "block number " + std::to_string(b) + " out of range");
    if (visited_[b]) return Fail(ErrorCode::kCorruptBlock, "the block chain loops at block " + std::to_string(b));
    visited_[b] = true;
    if (++steps_ > h.used_blocks && !relaxed_) return Fail(ErrorCode::kCorruptBlock, "the block chain is longer than the header says");

    const uint8_t* data = nullptr;
    Status st = Load(b, &data);
    if (!st.ok()) {
      status_ = st;
      record_ = nullptr;
      return;
    }
    int32_t add = static_cast<int16_t>(LoadLE16(data + 4));
    int32_t rs = h.record_size;
    if (add != -rs && (add < 0 || add % rs != 0 || static_cast<uint32_t>(add / rs + 1) > h.block_capacity()))
      return Fail(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " has an impossible record count");
    block_ = b;
    block_data_ = data;
    count_ = static_cast<uint32_t>(add / rs + 1);
    // A stored-short last block may end early, but not inside its records.
    if (h.header_size + (b - 1ull) * h.block_size + kBlockHeaderSize + uint64_t{count_} * h.record_size > table_->file_size())
      return Fail(ErrorCode::kCorruptBlock, "block " + std::to_string(b) + " ends inside its records");
    next_ = LoadLE16(data);
    seen_ += count_;
    if (seen_ > h.num_records && !relaxed_)
      return Fail(ErrorCode::kCorruptBlock, "the block chain holds more records than the header counts");
    if (count_ > 0) {
      slot_ = 0;
      record_ = block_data_ + kBlockHeaderSize;
      return;
    }
    b = next_;
  }
}

void Cursor::Next() {
  if (record_ == nullptr) return;
  if (++slot_ < count_) {
    record_ = block_data_ + kBlockHeaderSize + static_cast<size_t>(slot_) * table_->header().record_size;
    return;
  }
  EnterBlock(next_);
}

}  // namespace paradox
