// Writing new tables: create a .DB (and its .PX when keyed) and append
// records to it. Meant for test fixtures, benchmarks and the sample tool; it
// never touches an existing table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/format/field.h"
#include "paradox/file.h"
#include "paradox/format/index_builder.h"
#include "paradox/status.h"

namespace paradox {

struct FieldDef {
  std::string name;  // bytes as stored, in the table's code page
  FieldType type;
  uint8_t size;      // descriptor size byte: Alpha/Bytes length, BCD scale;
                     // fixed-size types take their size (Short 2, Long 4, ...)
};

struct CreateOptions {
  uint8_t version = 12;         // header byte 0x39: 3, 4 (3.x), 5..9 (4.x), 10, 11 (5.x), 12 (7.x)
  uint32_t block_size = 2048;   // 1 KB .. 32 KB in whole KB
  uint32_t index_block_size = 0;  // .PX blocks; 0: as the table's
  int code_page = 1251;         // 4.x and later only; 3.x headers have none
  uint16_t key_fields = 0;      // leading fields forming the primary key
  uint8_t sort_order = 0;       // byte 0x29; 0 goes with "ascii"
  std::string sort_order_name = "ascii";  // 4.x and later only
  uint32_t update_time = 0;     // header time stamp (Unix seconds); 0 leaves it blank
};

// Writes one new table. Records go into blocks in a memory buffer that is
// written out in large pieces; the header is written last, by Finish.
//
// A table is only complete after Finish returned OK. Destroying the writer
// earlier, or after Finish failed, removes the .DB and .PX it created, so a
// half-written table is never left behind looking like a real one. (Until
// Finish the .DB also has no header at all, so even a crash leaves a file no
// reader takes for a table.)
class TableWriter {
 public:
  // Creates `db_path` and, for a keyed table, the .PX beside it (same name,
  // extension ".PX"). Refuses with kAccessDenied when either exists under any
  // letter case, and with kNotSupported for options or fields it cannot
  // write: blob fields (no .MB is written), unknown types, impossible sizes,
  // records that do not fit a block, more key fields than fields.
  static Status Create(FileSystem* fs, const std::string& db_path, std::vector<FieldDef> fields,
                       const CreateOptions& options, std::unique_ptr<TableWriter>* out);

  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;
  ~TableWriter();

  // Appends one record of record_size() bytes, already encoded. In a keyed
  // table each record's key bytes must be greater, bytewise, than the
  // previous record's (kNotSupported otherwise; the record is not written
  // and the writer stays usable). Bytewise order is the true key order for
  // numbers and dates, but not for Alpha keys outside ASCII.
  Status Append(const uint8_t* record);

  // Writes the rest of the blocks, the .PX and finally the header.
  Status Finish();

  uint16_t record_size() const { return record_size_; }
  const std::vector<Field>& fields() const { return fields_; }
  uint32_t record_count() const { return num_records_; }

 private:
  TableWriter() = default;
  Status StartBlock();
  Status Flush();
  void Discard();

  FileSystem* fs_ = nullptr;
  std::string db_path_, px_path_;
  std::unique_ptr<File> db_, px_;
  CreateOptions options_;
  std::vector<Field> fields_;
  std::vector<int> autoinc_fields_;
  std::vector<uint8_t> header_;     // the .DB header, counts set by Finish
  std::vector<uint8_t> px_header_;  // fresh .PX header, keyed tables only
  uint16_t record_size_ = 0;
  uint16_t key_size_ = 0;
  uint32_t block_size_ = 0;
  uint32_t capacity_ = 0;  // records per block

  std::vector<uint8_t> buffer_;   // whole blocks, the last one being filled
  uint32_t buffer_first_ = 1;     // block number of the buffer's first block
  uint32_t buffer_blocks_ = 0;    // blocks in the buffer
  uint32_t buffer_capacity_ = 0;  // blocks the buffer takes before a write

  uint32_t blocks_ = 0;    // blocks started
  uint32_t in_block_ = 0;  // records in the last block
  uint32_t num_records_ = 0;
  int64_t autoinc_max_ = 0;
  std::vector<IndexEntry> level1_;
  bool created_ = false;   // the .DB was created by this writer
  bool finished_ = false;
  bool failed_ = false;
};

// Fills a record buffer field by field. Setters return false, leaving the
// record unchanged, when the field's type does not take that kind of value.
class RecordBuilder {
 public:
  explicit RecordBuilder(const std::vector<Field>& fields);

  void Clear();  // every field NULL
  void SetNull(int field);
  // Alpha: the bytes (in the table's code page), cut to the field's length.
  bool SetAlpha(int field, std::string_view bytes);
  // Short, Long, AutoInc, Date (day number), Time (ms since midnight),
  // Logical (0 false, else true). Short takes -32767..32767.
  bool SetInt(int field, int32_t value);
  // Number, Money, Timestamp (ms, day 1 = 0001-01-01).
  bool SetDouble(int field, double value);
  // Any field: its stored bytes as they are (BCD, Bytes, or hand-made data);
  // `size` must equal the field's size.
  bool SetRaw(int field, const uint8_t* bytes, size_t size);

  const uint8_t* data() const { return record_.data(); }
  size_t size() const { return record_.size(); }

 private:
  std::vector<Field> fields_;
  std::vector<uint8_t> record_;
};

}  // namespace paradox
