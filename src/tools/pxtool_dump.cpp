// pxtool info and pxtool dump.
#include <cstdio>
#include <string>

#include "paradox/codepage.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "tools/json.h"
#include "tools/pxtool.h"

namespace tools {

using namespace paradox;

namespace {

void AppendHex(std::string* out, const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < n; ++i) {
    out->push_back(kDigits[p[i] >> 4]);
    out->push_back(kDigits[p[i] & 15]);
  }
}

}  // namespace

// Appends the JSON form of one field of `record`.
Status AppendValue(const Table& t, int index, const uint8_t* record, std::string* out) {
  const Field& f = t.fields()[static_cast<size_t>(index)];
  if (IsNull(f, record)) {
    *out += "null";
    return Status::OK();
  }
  switch (f.type) {
    case FieldType::kAlpha: {
      std::string utf8;
      AppendUtf8(t.text_code_page(), GetAlpha(f, record), &utf8);
      AppendJsonString(out, utf8);
      break;
    }
    case FieldType::kDate:
      AppendJsonString(out, FormatDate(GetInt(f, record)));
      break;
    case FieldType::kTime:
      AppendJsonString(out, FormatTime(GetInt(f, record)));
      break;
    case FieldType::kTimestamp:
      AppendJsonString(out, FormatTimestamp(GetDouble(f, record)));
      break;
    case FieldType::kShort: case FieldType::kLong: case FieldType::kAutoInc:
      *out += std::to_string(GetInt(f, record));
      break;
    case FieldType::kNumber: case FieldType::kMoney:
      AppendJsonNumber(out, GetDouble(f, record));
      break;
    case FieldType::kLogical:
      *out += GetInt(f, record) ? "true" : "false";
      break;
    case FieldType::kBcd: {
      std::string s;
      if (GetBcd(f, record, &s)) {
        AppendJsonString(out, s);
      } else {
        // Nibbles that are not decimal digits: show the stored bytes.
        *out += "{\"bcd_raw\":\"";
        AppendHex(out, record + f.offset, f.size);
        *out += "\"}";
      }
      break;
    }
    case FieldType::kBytes:
      out->push_back('"');
      AppendHex(out, record + f.offset, f.size);
      out->push_back('"');
      break;
    case FieldType::kMemo: {
      std::string bytes;
      Status st = t.ReadBlob(index, record, &bytes);
      if (st.code() == ErrorCode::kNotFound) {
        // No .MB beside the table: give the length the record holds.
        *out += "{\"blob\":" + std::to_string(GetBlobRef(f, record).length) + "}";
        break;
      }
      PX_RETURN_IF_ERROR(st);
      std::string utf8;
      AppendUtf8(t.text_code_page(), bytes, &utf8);
      AppendJsonString(out, utf8);
      break;
    }
    case FieldType::kBlob: case FieldType::kFmtMemo: case FieldType::kOle:
    case FieldType::kGraphic: {
      std::string bytes;
      Status st = t.ReadBlob(index, record, &bytes);
      uint64_t length = bytes.size();
      if (st.code() == ErrorCode::kNotFound) length = GetBlobRef(f, record).length;
      else PX_RETURN_IF_ERROR(st);
      *out += "{\"blob\":" + std::to_string(length) + "}";
      break;
    }
  }
  return Status::OK();
}

void AppendFieldsJson(const Table& t, const std::vector<int>& columns, std::string* out) {
  *out += "{\"fields\":[";
  for (size_t i = 0; i < columns.size(); ++i) {
    const Field& f = t.fields()[static_cast<size_t>(columns[i])];
    std::string name;
    AppendUtf8(t.text_code_page(), f.name, &name);
    if (i) *out += ',';
    *out += "{\"name\":";
    AppendJsonString(out, name);
    *out += ",\"type\":\"";
    *out += FieldLetter(f.type);
    *out += "\",\"size\":" + std::to_string(f.type == FieldType::kBcd ? f.declared : f.size) + "}";
  }
  *out += "],\"records\":[";
}

int RunInfo(const std::string& path) {
  std::unique_ptr<Table> t;
  Status st = Table::Open(FileSystem::Default(), path, OpenOptions(), &t);
  if (!st.ok()) return ReportError(st);
  const TableHeader& h = t->header();
  std::printf("Table:          %s\n", path.c_str());
  std::printf("File version:   %s (byte %u)\n", h.version_name(), h.version);
  std::printf("Kind:           %s\n", h.keyed() ? "keyed" : "not keyed");
  std::printf("Block size:     %u\n", h.block_size);
  std::printf("Records:        %u\n", h.num_records);
  std::printf("Blocks:         %u in use, %u in file, first %u, last %u, first free %u\n", h.used_blocks,
              h.file_blocks, h.first_block, h.last_block, h.first_free_block);
  std::printf("Record size:    %u\n", h.record_size);
  std::printf("Header size:    %u\n", h.header_size);
  if (h.code_page != 0)
    std::printf("Code page:      %d\n", h.code_page);
  else
    std::printf("Code page:      none (read as %d)\n", t->text_code_page());
  std::printf("Sort order:     %u%s%s\n", h.sort_order, h.sort_order_name.empty() ? "" : " ",
              h.sort_order_name.c_str());
  std::printf("Key fields:     %u\n", h.primary_key_fields);
  if (h.autoinc != 0 && h.version >= 5) std::printf("Last AutoInc:   %u\n", h.autoinc);
  std::printf("Fields:         %u\n", h.num_fields);
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const Field& f = h.fields[i];
    std::string name;
    AppendUtf8(t->text_code_page(), f.name, &name);
    std::printf("  %3zu  %-24s %c %-9s %u%s\n", i + 1, name.c_str(), FieldLetter(f.type), FieldTypeName(f.type),
                f.type == FieldType::kBcd ? f.declared : f.size, i < h.primary_key_fields ? "  key" : "");
  }
  const CompanionFiles& c = t->companions();
  std::printf("Index file:     %s\n", c.primary_index.empty() ? (h.keyed() ? "missing" : "none") : c.primary_index.c_str());
  std::printf("Blob file:      %s\n", c.blobs.empty() ? "none" : c.blobs.c_str());
  if (!c.validity.empty()) std::printf("Validity file:  %s\n", c.validity.c_str());
  for (const std::string& s : c.secondary) std::printf("Secondary:      %s\n", s.c_str());
  return 0;
}

int RunDump(const std::string& path, int code_page) {
  OpenOptions options;
  options.code_page = code_page;
  std::unique_ptr<Table> t;
  Status st = Table::Open(FileSystem::Default(), path, options, &t);
  if (st.ok()) st = t->CheckTextCodePage();
  if (!st.ok()) return ReportError(st);

  std::string out;
  std::vector<int> all;
  for (size_t i = 0; i < t->fields().size(); ++i) all.push_back(static_cast<int>(i));
  AppendFieldsJson(*t, all, &out);
  std::unique_ptr<Cursor> c = t->NewCursor();
  bool first = true;
  for (; c->Valid(); c->Next()) {
    out += first ? "\n[" : ",\n[";
    first = false;
    for (size_t i = 0; i < t->fields().size(); ++i) {
      if (i) out += ',';
      st = AppendValue(*t, static_cast<int>(i), c->record(), &out);
      if (!st.ok()) return ReportError(st);
    }
    out += ']';
    if (out.size() > (1u << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  if (!c->status().ok()) return ReportError(c->status());
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : ReportError(Status::Error(ErrorCode::kIoError, "standard output"));
}

}  // namespace tools
