#include "table/block_rec.h"

#include <cstring>
#include <string>

#include "paradox/table.h"
#include "paradox/value.h"
#include "table/dataset.h"

namespace dataset {

namespace {

// The six fields of a set's binding, looked up once: while the set keeps
// its binding, the look-ups by name would find the same fields again.
struct BoundFields {
  uint64_t binding = 0;
  TField* fields[6] = {};
  // FName is Alpha: its first 64 bytes are taken from the record itself,
  // through the table's code-page map (null: the bytes pass unchanged).
  bool alpha_name = false;
  const uint8_t* name_map = nullptr;
};

void Bind(TDataSet& ds, BoundFields* b) {
  static const char* const kNames[6] = {"FName", "FDate", "FTime", "FNumber", "FOrder", "FYearOrder"};
  b->binding = 0;
  for (int i = 0; i < 6; ++i) b->fields[i] = ds.FieldByName(kNames[i]);
  b->alpha_name = b->fields[0]->meta().type == paradox::FieldType::kAlpha;
  b->name_map = b->fields[0]->table().to1251_map();
  b->binding = ds.Binding();
}

// The text of an Alpha field up to its first zero byte, cut to 64 bytes:
// the conversion to Windows-1251 is byte for byte, so cutting first gives
// what cutting the converted text gives.
void ReadAlphaName(const paradox::Field& f, const uint8_t* map, const uint8_t* record, TShortName* name) {
  const uint8_t* p = record + f.offset;
  const size_t most = f.size < 64 ? f.size : 64;
  const void* zero = std::memchr(p, 0, most);
  const size_t n = zero == nullptr ? most : static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
  if (map == nullptr) {
    std::memcpy(name->Chars, p, n);
  } else {
    for (size_t i = 0; i < n; ++i) name->Chars[i] = static_cast<char>(map[p[i]]);
  }
  std::memset(name->Chars + n, 0, 64 - n);
  name->Length = static_cast<uint8_t>(n);
}

}  // namespace

void ReadBlockRec(TDataSet& ds, TBlockRec* rec) {
  thread_local BoundFields b;
  thread_local std::string text;  // FName of another type, reusing its storage
  if (ds.Binding() == 0 || ds.Binding() != b.binding) Bind(ds, &b);
  TField* const* f = b.fields;
  // The row once for all six fields; each reads as it would on its own.
  const uint8_t* r = ds.CurrentRecord();
  TBlockRec out;
  if (b.alpha_name && r != nullptr) {
    ReadAlphaName(f[0]->meta(), b.name_map, r, &out.Name);
  } else {
    f[0]->GetText(&text);
    out.Name.Assign(text);
  }
  out.Date = f[1]->AsDateTimeAt(r);
  out.Time = f[2]->AsDateTimeAt(r);
  out.Number = static_cast<int16_t>(static_cast<uint16_t>(f[3]->AsIntegerAt(r)));
  out.Order = f[4]->AsIntegerAt(r);
  out.YearOrder = f[5]->AsIntegerAt(r);
  *rec = out;
}

}  // namespace dataset
