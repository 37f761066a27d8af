// Fuzz target for the table reader and for deleting rows. The input is a
// data file, optionally followed by kMarker and the table's blob file, so
// that the fuzzer reaches the blob code too. Everything a client can ask of
// a table is asked: open, walk every record twice, decode every field, read
// every blob. Then, on copies in memory: a purge by the first date or number
// field, a DELETE of every row, and a walk deleting every third row. Besides
// crashes, the target aborts when the engine breaks its own promises (more
// records than counted, an error without text, a changed file, a change
// that leaves a table damaged or unreadable, a refused change that wrote).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "paradox/check.h"
#include "paradox/codepage.h"
#include "paradox/delete_statement.h"
#include "paradox/env/file_mem.h"
#include "paradox/file.h"
#include "paradox/sql.h"
#include "paradox/status.h"
#include "paradox/table.h"
#include "paradox/table_walk.h"
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

using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Every file of a file system that the target knows of.
Files Snapshot(paradox::MemFileSystem& fs) {
  Files out;
  for (const char* name : {"t.db", "t.mb", "t.PX", "t.db-journal"})
    if (fs.FileExists(name)) out.push_back({name, fs.Contents(name)});
  return out;
}

std::unique_ptr<paradox::MemFileSystem> Copy(const Files& files) {
  auto fs = std::make_unique<paradox::MemFileSystem>();
  for (const auto& [name, bytes] : files) fs->SetContents(name, bytes);
  return fs;
}

// What CheckTable finds, less a missing primary index, which the engine
// builds before it changes a keyed table.
std::vector<std::string> Problems(paradox::FileSystem* fs) {
  std::vector<std::string> problems, out;
  paradox::Status st = paradox::CheckTable(fs, "t.db", &problems);
  CheckExplained(st);
  if (!st.ok()) return {st.ToString()};
  for (const std::string& p : problems)
    if (p.find("primary index (.PX) is missing") == std::string::npos) out.push_back(p);
  return out;
}

// A fresh open and a full walk of a changed table; its records.
uint64_t ReadAfterChange(paradox::FileSystem* fs) {
  using namespace paradox;
  std::unique_ptr<Table> table;
  Status st = Table::Open(fs, "t.db", OpenOptions{}, &table);
  CheckExplained(st);
  Check(st.ok());
  auto cursor = table->NewCursor();
  Walk w = WalkAll(*table, cursor.get());
  Check(w.end == ErrorCode::kOk);
  return w.records;
}

// After a change on a copy: a refusal wrote nothing; a change done leaves a
// table that reads, and that checks exact when the original did.
void ExpectSound(paradox::MemFileSystem* fs, const paradox::Status& st, const Files& before, bool was_exact) {
  CheckExplained(st);
  Check(!fs->FileExists("t.db-journal"));
  if (!st.ok()) {
    // A primary index built on opening may stay; nothing else changes.
    for (const auto& [name, bytes] : before) Check(fs->FileExists(name) && fs->Contents(name) == bytes);
    return;
  }
  (void)ReadAfterChange(fs);
  if (was_exact) Check(Problems(fs).empty());
}

// The purge's condition on the record in the middle of the table: its
// first date or number field below that record's value.
struct Purge {
  int field = -1;
  std::string sql;
  double value = 0;
  bool Matches(const paradox::Field& f, const uint8_t* rec) const {
    using namespace paradox;
    if (IsNull(f, rec)) return false;
    double v = (f.type == FieldType::kNumber || f.type == FieldType::kMoney) ? GetDouble(f, rec) : GetInt(f, rec);
    return v < value;
  }
};

Purge ChoosePurge(const paradox::Table& table, const uint8_t* middle) {
  using namespace paradox;
  Purge p;
  const std::vector<Field>& fields = table.fields();
  for (int pass = 0; pass < 2 && p.field < 0; ++pass)
    for (size_t i = 0; i < fields.size() && p.field < 0; ++i) {
      FieldType t = fields[i].type;
      bool number = t == FieldType::kShort || t == FieldType::kLong || t == FieldType::kAutoInc ||
                    t == FieldType::kNumber || t == FieldType::kMoney;
      if (pass == 0 ? t == FieldType::kDate : number) p.field = static_cast<int>(i);
    }
  if (p.field < 0 || middle == nullptr) return Purge();
  const Field& f = fields[static_cast<size_t>(p.field)];
  // A field without a name, or with a quote in it, cannot be named in a
  // statement.
  if (f.name.empty() || f.name.find('"') != std::string::npos || f.name.find('\0') != std::string::npos)
    return Purge();
  char literal[64];
  if (f.type == FieldType::kDate) {
    int y, m, d;
    int32_t day = GetInt(f, middle);
    CivilFromDay(day, &y, &m, &d);
    if (day < 1 || y > 9999) return Purge();
    std::snprintf(literal, sizeof literal, "%02d.%02d.%04d", d, m, y);
    p.value = day;
  } else {
    p.value = (f.type == FieldType::kNumber || f.type == FieldType::kMoney) ? GetDouble(f, middle) : GetInt(f, middle);
    if (!std::isfinite(p.value)) return Purge();
    std::snprintf(literal, sizeof literal, "%.17g", p.value);
  }
  p.sql = "DELETE FROM \"t.db\" WHERE \"" + f.name + "\"<\"" + literal + "\"";
  return p;
}

void ChangeCopies(const Files& files, bool read_cleanly) {
  using namespace paradox;
  auto fs = Copy(files);
  const bool exact = Problems(fs.get()).empty();
  const Files before = Snapshot(*fs);

  // A table whose chain the reader rejects is not changed.
  if (!read_cleanly) {
    Statement st;
    Check(ParseStatement("DELETE FROM \"t.db\"", &st).ok());
    uint32_t deleted = 0;
    Status s = ExecuteDelete(fs.get(), st, DateFormat(), &deleted);
    CheckExplained(s);
    Check(!s.ok() && deleted == 0 && Snapshot(*fs) == before);
    return;
  }

  // The purge, checked for leaving no matching row behind.
  Purge purge;
  std::vector<uint8_t> middle;
  uint64_t rows = 0;
  {
    std::unique_ptr<Table> table;
    Check(Table::Open(fs.get(), "t.db", OpenOptions{}, &table).ok());
    auto cursor = table->NewCursor();
    const uint64_t half = table->record_count() / 2;
    for (; cursor->Valid(); cursor->Next(), ++rows)
      if (rows == half) middle.assign(cursor->record(), cursor->record() + table->header().record_size);
    purge = ChoosePurge(*table, middle.empty() ? nullptr : middle.data());
  }
  if (purge.field >= 0) {
    Statement st;
    Check(ParseStatement(purge.sql, &st).ok());
    uint32_t deleted = 0;
    Status s = ExecuteDelete(fs.get(), st, DateFormat(), &deleted);
    ExpectSound(fs.get(), s, before, exact);
    if (s.ok()) {
      std::unique_ptr<Table> table;
      Check(Table::Open(fs.get(), "t.db", OpenOptions{}, &table).ok());
      const Field& f = table->fields()[static_cast<size_t>(purge.field)];
      uint64_t left = 0;
      for (auto c = table->NewCursor(); c->Valid(); c->Next(), ++left) Check(!purge.Matches(f, c->record()));
      Check(left + deleted == rows);
    }
  }

  // Every row.
  {
    auto all = Copy(files);
    Statement st;
    Check(ParseStatement("DELETE FROM \"t.db\"", &st).ok());
    uint32_t deleted = 0;
    Status s = ExecuteDelete(all.get(), st, DateFormat(), &deleted);
    ExpectSound(all.get(), s, before, exact);
    if (s.ok()) Check(deleted == rows && ReadAfterChange(all.get()) == 0);
  }

  // A walk deleting every third row, as the deletion pass walks, its
  // deletions written in groups of a block's worth.
  {
    auto walk = Copy(files);
    std::unique_ptr<TableWalk> w;
    Check(TableWalk::Open(walk.get(), "t.db", GroupBounds{1, 1e9}, &w).ok());
    Status s;
    uint64_t seen = 0, deleted = 0;
    while (w->Valid() && s.ok()) {
      Check(++seen <= rows + 1);  // the step back after the last row visits one row twice
      if (seen % 3 != 1) {
        s = w->Next();
        continue;
      }
      s = w->Delete();
      if (s.ok()) ++deleted;
    }
    if (s.ok()) s = w->Close();
    CheckExplained(s);
    // A walk whose first deletion was refused must not have written; a
    // deletion that fails after others went through is a fault in itself.
    const bool refused = !s.ok() && deleted == 0;
    Check(s.ok() || refused);
    w.reset();
    ExpectSound(walk.get(), refused ? s : Status::OK(), before, exact);
    if (s.ok()) Check(ReadAfterChange(walk.get()) == rows - deleted);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace paradox;
  std::vector<uint8_t> db(data, data + size), mb;
  const uint8_t* m = std::search(data, data + size, kMarker, kMarker + kMarkerSize);
  if (m != data + size) {
    size_t at = static_cast<size_t>(m - data);
    db.assign(data, data + at);
    mb.assign(data + at + kMarkerSize, data + size);
  }

  MemFileSystem fs;
  fs.SetContents("t.db", db);
  if (!mb.empty()) fs.SetContents("t.mb", mb);

  bool opened = false, read_cleanly = false;
  {
    std::unique_ptr<Table> table;
    Status st = Table::Open(&fs, "t.db", OpenOptions{}, &table);
    CheckExplained(st);
    if (st.ok()) {
      opened = true;
      auto cursor = table->NewCursor();
      Walk first = WalkAll(*table, cursor.get());
      // Starting over must give the same walk.
      cursor->SeekToFirst();
      Walk again = WalkAll(*table, cursor.get());
      Check(first.records == again.records && first.end == again.end);
      read_cleanly = first.end == ErrorCode::kOk;
    }
  }

  // Reading writes nothing.
  Check(fs.Contents("t.db") == db);
  if (!mb.empty()) Check(fs.Contents("t.mb") == mb);

  if (opened) ChangeCopies(Snapshot(fs), read_cleanly);
  return 0;
}
