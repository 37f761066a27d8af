// Fuzz target for the table reader. The input is a data file, optionally
// followed by kMarker and the table's blob file, so that the fuzzer reaches
// the blob code too. Everything a client can ask of a table is asked: open,
// walk every record twice, decode every field, read every blob. Besides
// crashes, the target aborts when the reader breaks its own promises (more
// records than counted, an error without text, a changed file, ...).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "paradox/codepage.h"
#include "paradox/file.h"
#include "paradox/status.h"
#include "paradox/table.h"
#include "paradox/value.h"

namespace {

// Separates the data file from the blob file in an input.
constexpr char kMarker[] = "\xFF" "MB-FILE" "\xFF";
constexpr size_t kMarkerSize = sizeof kMarker - 1;

void Check(bool ok) {
  if (!ok) std::abort();
}

// An error must carry its code's text.
void CheckExplained(const paradox::Status& st) {
  if (st.ok()) return;
  Check(!st.texts().empty());
  Check(st.texts()[0] == paradox::ErrorText(st.code()));
}

struct Walk {
  uint64_t records = 0;
  paradox::ErrorCode end = paradox::ErrorCode::kOk;
};

Walk WalkAll(const paradox::Table& table, paradox::Cursor* cursor) {
  using namespace paradox;
  Walk w;
  const std::vector<Field>& fields = table.fields();
  std::string text, converted, utf8, bcd, blob;
  for (; cursor->Valid(); cursor->Next()) {
    // The cursor promises never to yield more records than the header counts.
    Check(++w.records <= table.record_count());
    const uint8_t* rec = cursor->record();
    for (size_t i = 0; i < fields.size(); ++i) {
      const Field& f = fields[i];
      bool null = IsNull(f, rec);
      int32_t n = GetInt(f, rec);
      double d = GetDouble(f, rec);
      switch (f.type) {
        case FieldType::kDate: (void)FormatDate(n); break;
        case FieldType::kTime: (void)FormatTime(n); break;
        case FieldType::kTimestamp: (void)FormatTimestamp(d); break;
        case FieldType::kBcd: (void)GetBcd(f, rec, &bcd); break;
        default: break;
      }
      std::string_view alpha = GetAlpha(f, rec);
      Check(alpha.size() <= f.size);
      table.To1251(alpha, &converted);
      Check(converted.size() == alpha.size());
      utf8.clear();
      AppendUtf8(table.text_code_page(), alpha, &utf8);
      utf8.clear();
      AppendUtf8(1251, converted, &utf8);
      if (IsBlobType(f.type)) {
        BlobRef ref = GetBlobRef(f, rec);
        Status st = table.ReadBlob(static_cast<int>(i), rec, &blob);
        CheckExplained(st);
        if (st.ok()) {
          // The value is as long as the record says (graphics lose their
          // 8-byte prefix); a null value is empty.
          size_t want = f.type == FieldType::kGraphic && ref.length > 0 ? ref.length - 8 : ref.length;
          Check(blob.size() == want);
          Check(!null || blob.empty());
          if (f.type == FieldType::kMemo || f.type == FieldType::kFmtMemo) {
            utf8.clear();
            AppendUtf8(table.text_code_page(), blob, &utf8);
          }
        }
      }
    }
  }
  CheckExplained(cursor->status());
  // A walk that ends cleanly has met every record the header counts.
  if (cursor->status().ok()) Check(w.records == table.record_count());
  w.end = cursor->status().code();
  return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace paradox;
  std::vector<uint8_t> db(data, data + size), mb;
  if (const void* m = memmem(data, size, kMarker, kMarkerSize)) {
    size_t at = static_cast<size_t>(static_cast<const uint8_t*>(m) - data);
    db.assign(data, data + at);
    mb.assign(data + at + kMarkerSize, data + size);
  }

  MemFileSystem fs;
  fs.SetContents("t.db", db);
  if (!mb.empty()) fs.SetContents("t.mb", mb);

  {
    std::unique_ptr<Table> table;
    Status st = Table::Open(&fs, "t.db", OpenOptions{}, &table);
    CheckExplained(st);
    if (st.ok()) {
      auto cursor = table->NewCursor();
      Walk first = WalkAll(*table, cursor.get());
      // Starting over must give the same walk.
      cursor->SeekToFirst();
      Walk again = WalkAll(*table, cursor.get());
      Check(first.records == again.records && first.end == again.end);
    }
  }

  // Reading writes nothing.
  Check(fs.Contents("t.db") == db);
  if (!mb.empty()) Check(fs.Contents("t.mb") == mb);
  return 0;
}
