#include "paradox/table_writer.h"

#include "paradox/format/ascii.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "paradox/format/bytes.h"
#include "paradox/format/header.h"

namespace paradox {

namespace {

constexpr size_t kBufferBytes = 4 << 20;  // data written per call
constexpr uint32_t kMaxBlocks = 65535;
constexpr uint16_t kUnknown12 = 5;         // small value, as in fresh real tables
constexpr uint8_t kChangeCount = 2;        // 0x2D; the .PX stamp derives from it
constexpr uint8_t kStructureStamp = 1;     // 0x2E
// 0x16 is a memory pointer in real files, nonzero exactly when the table is
// keyed; any nonzero value will do.
constexpr uint32_t kKeyedWorkspace = 0x0B7F0000;

Status Refuse(const std::string& why) { return Status::Error(ErrorCode::kNotSupported, why); }

// True when `dir` holds `name` under any letter case: tables are shared with
// Windows, where AdvBlock.PX and ADVBLOCK.px are the same file.
bool ExistsAnyCase(FileSystem* fs, const std::string& dir, const std::string& name) {
  if (fs->FileExists(JoinPath(dir, name))) return true;
  std::vector<std::string> names;
  if (!fs->ListDir(dir, &names).ok()) return false;
  std::string want = LowerAscii(name);
  for (const std::string& n : names)
    if (LowerAscii(n) == want) return true;
  return false;
}

Status CheckOptions(const CreateOptions& o, size_t num_fields) {
  if (o.version < 3 || o.version > 12) return Refuse("table version " + std::to_string(o.version));
  for (uint32_t bs : {o.block_size, o.index_block_size == 0 ? o.block_size : o.index_block_size})
    if (bs < 1024 || bs > 32768 || bs % 1024 != 0) return Refuse("block size " + std::to_string(bs));
  if (num_fields == 0 || num_fields > 255) return Refuse("a table has 1 to 255 fields");
  if (o.key_fields > num_fields) return Refuse("more key fields than fields");
  if (o.version >= 5) {
    if (o.code_page <= 0 || o.code_page > 65535) return Refuse("code page " + std::to_string(o.code_page));
    if (o.sort_order_name.empty() || o.sort_order_name.find('\0') != std::string::npos)
      return Refuse("sort order name");
  }
  return Status::OK();
}

Status MakeFields(const std::vector<FieldDef>& wanted, std::vector<Field>* out) {
  std::vector<Field> fields;
  uint32_t offset = 0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const FieldDef& s = wanted[i];
    std::string what = "field " + std::to_string(i + 1) + " (" + s.name + "): ";
    if (s.name.empty() || s.name.find('\0') != std::string::npos) return Refuse(what + "bad name");
    for (size_t j = 0; j < i; ++j)
      if (LowerAscii(wanted[j].name) == LowerAscii(s.name)) return Refuse(what + "name used twice");
    if (!IsKnownFieldType(static_cast<uint8_t>(s.type))) return Refuse(what + "unknown type");
    if (IsBlobType(s.type)) return Refuse(what + "blob fields need a .MB file, which is not written");
    uint16_t size = StoredFieldSize(s.type, s.size);
    if (size == 0) return Refuse(what + "impossible size " + std::to_string(s.size));
    Field f;
    f.name = s.name;
    f.type = s.type;
    f.declared = s.size;
    f.size = size;
    f.offset = static_cast<uint16_t>(std::min<uint32_t>(offset, 0xFFFF));
    offset += size;
    fields.push_back(std::move(f));
  }
  if (offset > 0xFFFF) return Refuse("record too large");
  *out = std::move(fields);
  return Status::OK();
}

// The whole .DB header of an empty table; counts are filled in by Finish.
Status MakeTableHeader(const CreateOptions& o, const std::vector<Field>& fields,
                       const std::string& table_name, uint16_t record_size, std::vector<uint8_t>* out) {
  const size_t n = fields.size();
  const bool data_header = o.version >= 5;
  const bool keyed = o.key_fields > 0;
  const size_t base = data_header ? hdr::kDataHeaderEnd : hdr::kFixedEnd;
  const size_t name_len = o.version >= 12 ? 261 : 79;
  const size_t name_at = base + 2 * n + 4 + 4 * n;
  const size_t field_names_at = name_at + name_len;
  size_t pos = field_names_at;
  for (const Field& f : fields) pos += f.name.size() + 1;
  const size_t numbers_at = pos;
  const size_t sort_at = numbers_at + 2 * n;
  const size_t used = data_header ? sort_at + o.sort_order_name.size() + 1 : pos;
  // 3.x headers end exactly after the field names; later ones are padded to
  // whole 2 KB units.
  const size_t header_size = data_header ? (used + 2047) / 2048 * 2048 : used;
  if (header_size > 0xF800) return Refuse("field names too long for a table header");

  std::vector<uint8_t> h(header_size, 0);
  StoreLE16(&h[hdr::kRecordSize], record_size);
  StoreLE16(&h[hdr::kHeaderSize], static_cast<uint16_t>(header_size));
  h[hdr::kFileType] = static_cast<uint8_t>(keyed ? FileType::kKeyedTable : FileType::kTable);
  h[hdr::kBlockSizeCode] = static_cast<uint8_t>(o.block_size / 1024);
  StoreLE16(&h[hdr::kUnknown12], kUnknown12);
  if (keyed) StoreLE32(&h[hdr::kPrimaryIndexWorkspace], kKeyedWorkspace);
  StoreLE16(&h[hdr::kNumFields], static_cast<uint16_t>(n));
  StoreLE16(&h[hdr::kPrimaryKeyFields], o.key_fields);
  if (data_header) StoreLE32(&h[hdr::kEncryption1], kEncryptionMoved);
  h[hdr::kSortOrder] = o.sort_order;
  h[hdr::kChangeCount1] = kChangeCount;
  h[hdr::kStructureStamp] = kStructureStamp;
  h[hdr::kFileVersion] = o.version;
  h[hdr::kConst3E] = 0x1F;
  h[hdr::kConst3E + 1] = 0x0F;
  if (data_header) {
    StoreLE16(&h[hdr::kRealHeaderSize], static_cast<uint16_t>(used));
    h[hdr::kConst56] = 0x20;
    StoreLE16(&h[hdr::kFileVerId2], static_cast<uint16_t>(0x0100 | o.version));
    StoreLE16(&h[hdr::kFileVerId3], static_cast<uint16_t>(0x0100 | o.version));
    StoreLE32(&h[hdr::kUpdateTime], o.update_time);
    StoreLE16(&h[hdr::kHiFieldId], static_cast<uint16_t>(n + 1));
    StoreLE16(&h[hdr::kFieldNumbersOffset], static_cast<uint16_t>(numbers_at - hdr::kFixedEnd));
    StoreLE16(&h[hdr::kCodePage], static_cast<uint16_t>(o.code_page));
    h[hdr::kConst6C] = 1;
    h[hdr::kConst6C + 1] = 1;
    StoreLE16(&h[hdr::kSortOrderIdOffset], static_cast<uint16_t>(sort_at - hdr::kFixedEnd));
    StoreLE16(&h[hdr::kChangeCount4], 1);
  }
  for (size_t i = 0; i < n; ++i) {
    h[base + 2 * i] = static_cast<uint8_t>(fields[i].type);
    h[base + 2 * i + 1] = fields[i].declared;
  }
  std::memcpy(&h[name_at], table_name.data(), std::min(table_name.size(), name_len - 1));
  pos = field_names_at;
  for (const Field& f : fields) {
    std::memcpy(&h[pos], f.name.data(), f.name.size());
    pos += f.name.size() + 1;
  }
  if (data_header) {
    for (size_t i = 0; i < n; ++i) StoreLE16(&h[numbers_at + 2 * i], static_cast<uint16_t>(i + 1));
    std::memcpy(&h[sort_at], o.sort_order_name.data(), o.sort_order_name.size());
  }
  *out = std::move(h);
  return Status::OK();
}

}  // namespace

Status TableWriter::Create(FileSystem* fs, const std::string& db_path, std::vector<FieldDef> wanted,
                           const CreateOptions& options, std::unique_ptr<TableWriter>* out) {
  PX_RETURN_IF_ERROR(CheckOptions(options, wanted.size()));
  std::unique_ptr<TableWriter> w(new TableWriter);
  PX_RETURN_IF_ERROR(MakeFields(wanted, &w->fields_));
  uint32_t record_size = 0, key_size = 0;
  for (size_t i = 0; i < w->fields_.size(); ++i) {
    record_size += w->fields_[i].size;
    if (i < options.key_fields) key_size += w->fields_[i].size;
    if (w->fields_[i].type == FieldType::kAutoInc) w->autoinc_fields_.push_back(static_cast<int>(i));
  }
  if (record_size > options.block_size - kBlockHeaderSize) return Refuse("record does not fit in a block");
  w->fs_ = fs;
  w->options_ = options;
  w->record_size_ = static_cast<uint16_t>(record_size);
  w->key_size_ = static_cast<uint16_t>(key_size);
  w->block_size_ = options.block_size;
  w->capacity_ = (options.block_size - kBlockHeaderSize) / record_size;

  std::string dir, name;
  SplitPath(db_path, &dir, &name);
  size_t dot = name.rfind('.');
  std::string px_name = (dot == std::string::npos ? name : name.substr(0, dot)) + ".PX";
  w->db_path_ = db_path;
  w->px_path_ = JoinPath(dir, px_name);
  PX_RETURN_IF_ERROR(MakeTableHeader(options, w->fields_, name, w->record_size_, &w->header_));

  std::vector<uint8_t> px_header;
  if (key_size > 0) {
    IndexHeaderParams p;
    p.version = options.version;
    p.block_size = options.index_block_size == 0 ? options.block_size : options.index_block_size;
    p.sort_order = options.sort_order;
    p.table_change_count = kChangeCount;
    p.unknown12 = kUnknown12 + 1;  // usual in real pairs
    p.name = px_name;
    p.key_fields.assign(w->fields_.begin(), w->fields_.begin() + options.key_fields);
    PX_RETURN_IF_ERROR(MakePrimaryIndexHeader(p, &px_header));
  }

  if (ExistsAnyCase(fs, dir, name))
    return Status::Error(ErrorCode::kAccessDenied, db_path + " already exists");
  // A stray index beside a new table would be taken for its index.
  if (ExistsAnyCase(fs, dir, px_name))
    return Status::Error(ErrorCode::kAccessDenied, w->px_path_ + " already exists");
  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kCreate, &w->db_));
  w->created_ = true;  // from here on the destructor removes what it made
  if (key_size > 0) {
    PX_RETURN_IF_ERROR(fs->Open(w->px_path_, OpenMode::kCreate, &w->px_));
    w->px_header_ = std::move(px_header);  // the template for Finish
  }
  w->buffer_capacity_ = std::max<uint32_t>(1, static_cast<uint32_t>(kBufferBytes / w->block_size_));
  w->buffer_.assign(static_cast<size_t>(w->buffer_capacity_) * w->block_size_, 0);
  *out = std::move(w);
  return Status::OK();
}

TableWriter::~TableWriter() {
  if (created_ && !finished_) Discard();
}

void TableWriter::Discard() {
  // Close first: Windows does not remove open files.
  bool had_px = px_ != nullptr;
  db_.reset();
  px_.reset();
  (void)fs_->Remove(db_path_);
  if (had_px) (void)fs_->Remove(px_path_);
}

Status TableWriter::Flush() {
  if (buffer_blocks_ == 0) return Status::OK();
  uint64_t at = header_.size() + static_cast<uint64_t>(buffer_first_ - 1) * block_size_;
  Status st = db_->Write(at, buffer_.data(), static_cast<size_t>(buffer_blocks_) * block_size_);
  if (!st.ok()) {
    failed_ = true;
    return st;
  }
  buffer_first_ += buffer_blocks_;
  buffer_blocks_ = 0;
  return Status::OK();
}

Status TableWriter::StartBlock() {
  if (blocks_ == kMaxBlocks) return Refuse("table full: 65535 blocks");
  if (buffer_blocks_ > 0) {
    // The previous block is always the buffer's last one.
    uint8_t* prev = buffer_.data() + static_cast<size_t>(buffer_blocks_ - 1) * block_size_;
    StoreLE16(prev, static_cast<uint16_t>(blocks_ + 1));
  }
  if (buffer_blocks_ == buffer_capacity_) PX_RETURN_IF_ERROR(Flush());
  uint8_t* blk = buffer_.data() + static_cast<size_t>(buffer_blocks_) * block_size_;
  std::memset(blk, 0, block_size_);
  StoreLE16(blk + 2, static_cast<uint16_t>(blocks_));  // previous block, 0 for the first
  ++buffer_blocks_;
  ++blocks_;
  in_block_ = 0;
  return Status::OK();
}

Status TableWriter::Append(const uint8_t* record) {
  if (finished_ || failed_) return Refuse("table writer already finished or failed");
  if (key_size_ > 0 && num_records_ > 0) {
    const uint8_t* last = buffer_.data() + static_cast<size_t>(buffer_blocks_ - 1) * block_size_ + kBlockHeaderSize +
                          static_cast<size_t>(in_block_ - 1) * record_size_;
    if (std::memcmp(record, last, key_size_) <= 0)
      return Refuse("record " + std::to_string(num_records_ + 1) +
                    ": key not greater than the previous record's");
  }
  if (blocks_ == 0 || in_block_ == capacity_) PX_RETURN_IF_ERROR(StartBlock());
  uint8_t* blk = buffer_.data() + static_cast<size_t>(buffer_blocks_ - 1) * block_size_;
  std::memcpy(blk + kBlockHeaderSize + static_cast<size_t>(in_block_) * record_size_, record, record_size_);
  StoreLE16(blk + 4, static_cast<uint16_t>(in_block_ * record_size_));
  if (key_size_ > 0) {
    if (in_block_ == 0) {
      IndexEntry e;
      e.key.assign(record, record + key_size_);
      e.block = static_cast<uint16_t>(blocks_);
      level1_.push_back(std::move(e));
    }
    ++level1_.back().count;
  }
  ++in_block_;
  ++num_records_;
  for (int i : autoinc_fields_) {
    const Field& f = fields_[static_cast<size_t>(i)];
    if (!AllZero(record + f.offset, 4))
      autoinc_max_ = std::max<int64_t>(autoinc_max_, DecodeFlippedInt(record + f.offset, 4));
  }
  return Status::OK();
}

Status TableWriter::Finish() {
  if (finished_) return Refuse("table writer already finished");
  if (failed_) return Refuse("table writer failed earlier");
  Status st = Flush();
  uint8_t* h = header_.data();
  StoreLE32(h + hdr::kNumRecords, num_records_);
  StoreLE16(h + hdr::kUsedBlocks, static_cast<uint16_t>(blocks_));
  StoreLE16(h + hdr::kFileBlocks, static_cast<uint16_t>(blocks_));
  StoreLE16(h + hdr::kMaxBlocks, static_cast<uint16_t>(blocks_));
  StoreLE16(h + hdr::kFirstBlock, static_cast<uint16_t>(blocks_ > 0 ? 1 : 0));
  StoreLE16(h + hdr::kLastBlock, static_cast<uint16_t>(blocks_));
  StoreLE32(h + hdr::kAutoInc, static_cast<uint32_t>(autoinc_max_));
  // The index goes before the table header: until that is written the .DB
  // is not a table, so a failure in between leaves nothing half valid.
  if (st.ok() && px_) {
    std::vector<uint8_t> px;
    st = BuildPrimaryIndex(px_header_, level1_, &px);
    if (st.ok()) st = px_->Write(0, px.data(), px.size());
  }
  if (st.ok()) st = db_->Write(0, header_.data(), header_.size());
  if (!st.ok()) {
    failed_ = true;
    return st;
  }
  db_.reset();
  px_.reset();
  finished_ = true;
  return Status::OK();
}

// ---------------------------------------------------------------------------

RecordBuilder::RecordBuilder(const std::vector<Field>& fields) : fields_(fields) {
  size_t size = 0;
  for (const Field& f : fields_) size = std::max<size_t>(size, f.offset + f.size);
  record_.assign(size, 0);
}

void RecordBuilder::Clear() { std::fill(record_.begin(), record_.end(), 0); }

void RecordBuilder::SetNull(int field) {
  const Field& f = fields_.at(static_cast<size_t>(field));
  std::memset(record_.data() + f.offset, 0, f.size);
}

bool RecordBuilder::SetAlpha(int field, std::string_view bytes) {
  const Field& f = fields_.at(static_cast<size_t>(field));
  if (f.type != FieldType::kAlpha) return false;
  uint8_t* p = record_.data() + f.offset;
  size_t n = std::min<size_t>(bytes.size(), f.size);
  std::memcpy(p, bytes.data(), n);
  std::memset(p + n, 0, f.size - n);
  return true;
}

bool RecordBuilder::SetInt(int field, int32_t value) {
  const Field& f = fields_.at(static_cast<size_t>(field));
  uint8_t* p = record_.data() + f.offset;
  switch (f.type) {
    case FieldType::kShort:
      // -32768 would encode as all zeros, which means NULL.
      if (value < -32767 || value > 32767) return false;
      EncodeFlippedInt(p, value, 2);
      return true;
    case FieldType::kLong: case FieldType::kAutoInc: case FieldType::kDate: case FieldType::kTime:
      if (value == std::numeric_limits<int32_t>::min()) return false;  // NULL pattern
      EncodeFlippedInt(p, value, 4);
      return true;
    case FieldType::kLogical:
      *p = value != 0 ? 0x81 : 0x80;
      return true;
    default:
      return false;
  }
}

bool RecordBuilder::SetDouble(int field, double value) {
  const Field& f = fields_.at(static_cast<size_t>(field));
  if (f.type != FieldType::kNumber && f.type != FieldType::kMoney && f.type != FieldType::kTimestamp)
    return false;
  EncodeFlippedDouble(record_.data() + f.offset, value);
  return true;
}

bool RecordBuilder::SetRaw(int field, const uint8_t* bytes, size_t size) {
  const Field& f = fields_.at(static_cast<size_t>(field));
  if (size != f.size) return false;
  std::memcpy(record_.data() + f.offset, bytes, size);
  return true;
}

}  // namespace paradox
