// The header shared by every file of a table: data file (.DB), primary index
// (.PX) and secondary indexes (.Xnn/.XGn with their .Ynn/.YGn). The layout is
// described in FORMAT.md beside this file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/format/block.h"
#include "paradox/format/field.h"
#include "paradox/status.h"

namespace paradox {

// File types (header byte 0x04).
enum class FileType : uint8_t {
  kKeyedTable = 0,
  kPrimaryIndex = 1,
  kTable = 2,
  kSecondaryData = 3,        // .Xnn, non-maintained
  kSecondaryIndex = 4,       // .Ynn
  kSecondaryDataInc = 5,     // .Xnn, maintained
  kCompositeData = 6,        // .XGn, non-maintained
  kCompositeIndex = 7,       // .YGn
  kCompositeDataInc = 8,     // .XGn, maintained
};

// Header offsets used by readers and writers.
namespace hdr {
constexpr size_t kRecordSize = 0x00;
constexpr size_t kHeaderSize = 0x02;
constexpr size_t kFileType = 0x04;
constexpr size_t kBlockSizeCode = 0x05;
constexpr size_t kNumRecords = 0x06;
constexpr size_t kUsedBlocks = 0x0A;
constexpr size_t kFileBlocks = 0x0C;
constexpr size_t kFirstBlock = 0x0E;
constexpr size_t kLastBlock = 0x10;
constexpr size_t kUnknown12 = 0x12;
constexpr size_t kModifiedFlags1 = 0x14;
constexpr size_t kIndexFieldNumber = 0x15;
constexpr size_t kPrimaryIndexWorkspace = 0x16;
constexpr size_t kIndexRoot = 0x1E;
constexpr size_t kIndexLevels = 0x20;
constexpr size_t kNumFields = 0x21;
constexpr size_t kPrimaryKeyFields = 0x23;
constexpr size_t kEncryption1 = 0x25;
constexpr size_t kSortOrder = 0x29;
constexpr size_t kModifiedFlags2 = 0x2A;
constexpr size_t kIndexStamp = 0x2C;
constexpr size_t kChangeCount1 = 0x2D;
constexpr size_t kStructureStamp = 0x2E;
constexpr size_t kTableNamePtr = 0x30;
constexpr size_t kFieldInfoPtr = 0x34;
constexpr size_t kWriteProtected = 0x38;
constexpr size_t kFileVersion = 0x39;
constexpr size_t kMaxBlocks = 0x3A;
constexpr size_t kAuxPasswords = 0x3D;
constexpr size_t kConst3E = 0x3E;
constexpr size_t kAutoInc = 0x49;
constexpr size_t kFirstFreeBlock = 0x4D;
constexpr size_t kIndexUpdateRequired = 0x4F;
constexpr size_t kRealHeaderSize = 0x51;
constexpr size_t kRefIntegrity = 0x55;
constexpr size_t kConst56 = 0x56;
constexpr size_t kFixedEnd = 0x58;  // end of the part every file has
// The data header of version 4 and later data files (.DB, .Xnn/.XGn).
constexpr size_t kFileVerId2 = 0x58;
constexpr size_t kFileVerId3 = 0x5A;
constexpr size_t kEncryption2 = 0x5C;
constexpr size_t kUpdateTime = 0x60;
constexpr size_t kHiFieldId = 0x64;
constexpr size_t kFieldNumbersOffset = 0x66;
constexpr size_t kIndexNameOffset = 0x68;
constexpr size_t kCodePage = 0x6A;
constexpr size_t kConst6C = 0x6C;
constexpr size_t kSortOrderIdOffset = 0x6E;
constexpr size_t kChangeCount4 = 0x70;
constexpr size_t kDataHeaderEnd = 0x78;
}  // namespace hdr

constexpr uint32_t kEncryptionMoved = 0xFF00FF00;  // 0x25 of version 4+ data files

struct TableHeader {
  uint16_t record_size = 0;
  uint16_t header_size = 0;
  FileType file_type = FileType::kTable;
  uint32_t block_size = 0;  // bytes
  uint32_t num_records = 0;
  uint16_t used_blocks = 0;
  uint16_t file_blocks = 0;
  uint16_t first_block = 0;
  uint16_t last_block = 0;
  uint16_t index_root = 0;
  uint8_t index_levels = 0;
  uint16_t num_fields = 0;
  uint16_t primary_key_fields = 0;
  uint8_t sort_order = 0;
  uint8_t version = 0;  // byte 0x39
  bool write_protected = false;
  bool encrypted = false;
  bool rebuild_flagged = false;  // 0x14, 0x2A or 0x4F set
  uint32_t autoinc = 0;
  uint16_t first_free_block = 0;
  int code_page = 0;  // 0 when the header has none (version 3.x)
  std::string sort_order_name;
  std::string index_name;  // .XGn only
  std::vector<Field> fields;

  bool is_data_file() const;   // .DB or .Xnn/.XGn: has field names
  bool is_index_file() const;  // .PX or .Ynn/.YGn
  bool has_data_header() const { return is_data_file() && version >= 5; }
  bool keyed() const { return file_type == FileType::kKeyedTable; }
  // Records a block can hold.
  uint32_t block_capacity() const { return (block_size - kBlockHeaderSize) / record_size; }
  // "3.0", "3.5", "4.x", "5.x" or "7.x".
  const char* version_name() const;
};

// Parses and validates a header. `bytes` holds the start of the file (at
// least min(file_size, 64 KiB) bytes); `file_size` is the file's full size.
// Fails with kCorruptHeader, kUnsupportedVersion, kUnknownFieldType or
// kNotATable; never reads outside `bytes`.
Status ParseHeader(const std::vector<uint8_t>& bytes, uint64_t file_size,
                   TableHeader* out);

}  // namespace paradox
