#include "paradox/format/header.h"

#include "paradox/format/bytes.h"

namespace paradox {

namespace {

Status Corrupt(const std::string& why) {
  return Status::Error(ErrorCode::kCorruptHeader, why);
}

// Reads a zero-terminated string starting at `*pos`, which must end before
// `end`; advances `*pos` past the terminator.
bool ReadCString(const std::vector<uint8_t>& b, size_t end, size_t* pos, std::string* out) {
  size_t p = *pos;
  while (p < end && b[p] != 0) ++p;
  if (p >= end) return false;
  out->assign(reinterpret_cast<const char*>(b.data() + *pos), p - *pos);
  *pos = p + 1;
  return true;
}

}  // namespace

bool TableHeader::is_data_file() const {
  switch (file_type) {
    case FileType::kKeyedTable: case FileType::kTable:
    case FileType::kSecondaryData: case FileType::kSecondaryDataInc:
    case FileType::kCompositeData: case FileType::kCompositeDataInc:
      return true;
    default:
      return false;
  }
}

bool TableHeader::is_index_file() const { return !is_data_file(); }

const char* TableHeader::version_name() const {
  if (version == 3) return "3.0";
  if (version == 4) return "3.5";
  if (version <= 9) return "4.x";
  if (version <= 11) return "5.x";
  return "7.x";
}

namespace {

// The fixed part's type, version and sizes, each checked against what a
// table can be and what the file holds.
Status ReadSizes(const std::vector<uint8_t>& b, uint64_t file_size, TableHeader* out) {
  TableHeader& h = *out;
  if (file_size < hdr::kFixedEnd || b.size() < hdr::kFixedEnd)
    return Status::Error(ErrorCode::kNotATable, "file is shorter than a table header");

  uint8_t type = b[hdr::kFileType];
  if (type > 8) return Status::Error(ErrorCode::kNotATable, "unknown file type " + std::to_string(type));
  h.file_type = static_cast<FileType>(type);

  h.version = b[hdr::kFileVersion];
  if (h.version < 3 || h.version > 12)
    return Status::Error(ErrorCode::kUnsupportedVersion, "version byte " + std::to_string(h.version));

  h.record_size = LoadLE16(&b[hdr::kRecordSize]);
  h.header_size = LoadLE16(&b[hdr::kHeaderSize]);
  uint8_t block_code = b[hdr::kBlockSizeCode];
  if (block_code < 1 || block_code > 32) return Corrupt("block size code " + std::to_string(block_code));
  h.block_size = block_code * 1024u;
  if (h.header_size < hdr::kFixedEnd) return Corrupt("header size " + std::to_string(h.header_size));
  if (h.header_size > file_size) return Corrupt("file is shorter than its header");
  if (b.size() < h.header_size) return Corrupt("header not read whole");
  if (h.record_size == 0 || h.record_size > h.block_size - kBlockHeaderSize)
    return Corrupt("record size " + std::to_string(h.record_size));
  return Status::OK();
}

// The fixed part's counts, block numbers and flags, as they stand.
void ReadCounts(const std::vector<uint8_t>& b, TableHeader* out) {
  TableHeader& h = *out;
  h.num_records = LoadLE32(&b[hdr::kNumRecords]);
  h.used_blocks = LoadLE16(&b[hdr::kUsedBlocks]);
  h.file_blocks = LoadLE16(&b[hdr::kFileBlocks]);
  h.first_block = LoadLE16(&b[hdr::kFirstBlock]);
  h.last_block = LoadLE16(&b[hdr::kLastBlock]);
  h.index_root = LoadLE16(&b[hdr::kIndexRoot]);
  h.index_levels = b[hdr::kIndexLevels];
  h.num_fields = LoadLE16(&b[hdr::kNumFields]);
  h.primary_key_fields = LoadLE16(&b[hdr::kPrimaryKeyFields]);
  h.sort_order = b[hdr::kSortOrder];
  h.write_protected = b[hdr::kWriteProtected] != 0;
  h.rebuild_flagged = b[hdr::kModifiedFlags1] != 0 || b[hdr::kModifiedFlags2] != 0 ||
                      b[hdr::kIndexUpdateRequired] != 0;
  h.autoinc = LoadLE32(&b[hdr::kAutoInc]);
  h.first_free_block = LoadLE16(&b[hdr::kFirstFreeBlock]);
}

// Block numbers and counts must describe blocks that exist in the file.
Status CheckCounts(const TableHeader& h, uint64_t file_size) {
  uint64_t blocks_in_file = (file_size - h.header_size + h.block_size - 1) / h.block_size;
  if (h.file_blocks > blocks_in_file) return Corrupt("header counts more blocks than the file holds");
  if (h.used_blocks > h.file_blocks) return Corrupt("more blocks in use than in the file");
  if (h.first_block > h.file_blocks || h.last_block > h.file_blocks ||
      h.first_free_block > h.file_blocks)
    return Corrupt("block number out of range");
  if ((h.first_block == 0) != (h.last_block == 0)) return Corrupt("chain has only one end");
  if (h.first_block == 0 && h.used_blocks != 0) return Corrupt("blocks in use but no chain");
  if (h.num_fields == 0) return Corrupt("no fields");

  if (h.has_data_header() && h.header_size < hdr::kDataHeaderEnd) return Corrupt("header too short");
  return Status::OK();
}

// Password protection: version 4 and later data files keep the value at
// 0x5C and a marker at 0x25; the other files keep it at 0x25.
bool IsEncrypted(const std::vector<uint8_t>& b, const TableHeader& h) {
  uint32_t enc1 = LoadLE32(&b[hdr::kEncryption1]);
  if (enc1 == kEncryptionMoved && h.has_data_header()) return LoadLE32(&b[hdr::kEncryption2]) != 0;
  return enc1 != 0 && !(enc1 == kEncryptionMoved && h.is_data_file());
}

// The field descriptors at `*pos`: each field's type, size and place in
// the record, which together must make up the record size.
Status ReadFieldDescriptors(const std::vector<uint8_t>& b, size_t* pos, TableHeader* out) {
  TableHeader& h = *out;
  if (*pos + 2u * h.num_fields > h.header_size) return Corrupt("field descriptors run past the header");
  uint32_t total = 0;
  h.fields.resize(h.num_fields);
  for (uint16_t i = 0; i < h.num_fields; ++i) {
    uint8_t code = b[*pos + 2 * i];
    uint8_t size = b[*pos + 2 * i + 1];
    if (!IsKnownFieldType(code))
      return Status::Error(ErrorCode::kUnknownFieldType,
                           "field " + std::to_string(i + 1) + " has type code " + std::to_string(code));
    Field& f = h.fields[i];
    f.type = static_cast<FieldType>(code);
    f.declared = size;
    f.size = StoredFieldSize(f.type, size);
    if (f.size == 0) return Corrupt("field " + std::to_string(i + 1) + " has an impossible size");
    f.offset = static_cast<uint16_t>(total);
    total += f.size;
  }
  *pos += 2u * h.num_fields;
  uint32_t expected = total + (h.is_index_file() ? 6 : 0);
  if (expected != h.record_size) return Corrupt("record size does not match the fields");
  if (h.primary_key_fields > h.num_fields) return Corrupt("more key fields than fields");
  return Status::OK();
}

// The field names, which follow the pointers and the table name at `pos`;
// an index names its key fields by their place.
Status ReadFieldNames(const std::vector<uint8_t>& b, size_t pos, TableHeader* out) {
  TableHeader& h = *out;
  pos += 4;  // table name pointer
  if (h.is_data_file()) pos += 4u * h.num_fields;  // field name pointers
  pos += h.version >= 12 ? 261 : 79;               // table name
  if (h.is_data_file()) {
    for (Field& f : h.fields) {
      if (!ReadCString(b, h.header_size, &pos, &f.name)) return Corrupt("field names run past the header");
    }
  } else {
    for (uint16_t i = 0; i < h.num_fields; ++i) h.fields[i].name = "Key" + std::to_string(i + 1);
  }
  return Status::OK();
}

// A data header's code page, sort order name and index name.
void ReadDataHeaderNames(const std::vector<uint8_t>& b, TableHeader* out) {
  TableHeader& h = *out;
  const size_t end = h.header_size;
  h.code_page = LoadLE16(&b[hdr::kCodePage]);
  size_t so = hdr::kFixedEnd + LoadLE16(&b[hdr::kSortOrderIdOffset]);
  if (so > hdr::kFixedEnd && so < end) ReadCString(b, end, &so, &h.sort_order_name);
  size_t in = LoadLE16(&b[hdr::kIndexNameOffset]);
  if (in != 0 && hdr::kFixedEnd + in < end) {
    size_t p = hdr::kFixedEnd + in;
    ReadCString(b, end, &p, &h.index_name);
  }
}

}  // namespace

Status ParseHeader(const std::vector<uint8_t>& b, uint64_t file_size, TableHeader* out) {
  TableHeader h;
  PX_RETURN_IF_ERROR(ReadSizes(b, file_size, &h));
  ReadCounts(b, &h);
  PX_RETURN_IF_ERROR(CheckCounts(h, file_size));
  h.encrypted = IsEncrypted(b, h);

  // Variable part: descriptors, pointers, table name, field names, ...
  size_t pos = h.has_data_header() ? hdr::kDataHeaderEnd : hdr::kFixedEnd;
  PX_RETURN_IF_ERROR(ReadFieldDescriptors(b, &pos, &h));
  PX_RETURN_IF_ERROR(ReadFieldNames(b, pos, &h));
  if (h.has_data_header()) ReadDataHeaderNames(b, &h);

  // Count check: the records claimed must fit in the blocks in use. This
  // also bounds every allocation sized by the record count.
  if (static_cast<uint64_t>(h.num_records) > static_cast<uint64_t>(h.used_blocks) * h.block_capacity())
    return Corrupt("more records than the blocks in use can hold");

  *out = std::move(h);
  return Status::OK();
}

}  // namespace paradox
