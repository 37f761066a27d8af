#include "table/dataset.h"

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "paradox/codepage.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "table/errors.h"

namespace dataset {

using paradox::FieldType;

namespace {

// Field names compare without regard to the case of ASCII letters.
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

constexpr double kMsPerDay = 86400000.0;

}  // namespace

// ---------------------------------------------------------------------------
// TField

TField::TField(const TDataSet* owner, const paradox::Table* table, int index)
    : owner_(owner),
      table_(table),
      index_(index),
      name_(table->fields()[static_cast<size_t>(index)].name),
      meta_(std::make_unique<paradox::Field>(table->fields()[static_cast<size_t>(index)])) {}

TField::~TField() = default;

const uint8_t* TField::Record() const { return owner_->CurrentRecord(); }

void TField::CannotRead(const char* as) const {
  owner_->BeforeRaise();
  throw EDatabaseError::For(owner_->Name(), "Field '" + FieldName() + "' cannot be read as " + as);
}

bool TField::IsNull() const {
  const uint8_t* r = Record();
  return r == nullptr || paradox::IsNull(meta(), r);
}

std::string TField::AsString() const {
  std::string out;
  GetText(&out);
  return out;
}

void TField::GetText(std::string* text) const {
  const uint8_t* r = Record();
  const paradox::Field& f = meta();
  text->clear();
  if (r == nullptr || paradox::IsNull(f, r)) return;
  if (f.type == FieldType::kAlpha) {
    table_->To1251(paradox::GetAlpha(f, r), text);
    return;
  }
  *text = FormatOther(f, r);
}

std::string TField::FormatOther(const paradox::Field& f, const uint8_t* r) const {
  std::string out;
  switch (f.type) {
    case FieldType::kMemo: case FieldType::kFmtMemo: {
      std::string bytes;
      paradox::Status st = table_->ReadBlob(index_, r, &bytes);
      if (!st.ok()) owner_->BeforeRaise();
      Check(st);
      table_->To1251(bytes, &out);
      return out;
    }
    case FieldType::kShort: case FieldType::kLong: case FieldType::kAutoInc:
      return std::to_string(paradox::GetInt(f, r));
    case FieldType::kLogical:
      return paradox::GetInt(f, r) ? "True" : "False";
    case FieldType::kNumber: case FieldType::kMoney: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", paradox::GetDouble(f, r));
      return buf;
    }
    case FieldType::kDate:
      return paradox::FormatDate(paradox::GetInt(f, r));
    case FieldType::kTime:
      return paradox::FormatTime(paradox::GetInt(f, r));
    case FieldType::kTimestamp:
      return paradox::FormatTimestamp(paradox::GetDouble(f, r));
    case FieldType::kBcd:
      if (!paradox::GetBcd(f, r, &out)) CannotRead("text");
      return out;
    default:
      CannotRead("text");
  }
}

double TField::AsDateTime() const { return AsDateTimeAt(Record()); }

double TField::AsDateTimeAt(const uint8_t* r) const {
  const paradox::Field& f = meta();
  switch (f.type) {
    case FieldType::kDate:
      if (r == nullptr || paradox::IsNull(f, r)) return 0;
      return static_cast<double>(paradox::GetInt(f, r) - paradox::kDateTimeEpochDay);
    case FieldType::kTime:
      // An empty time reads as 0, which is what GetInt gives it.
      if (r == nullptr) return 0;
      return paradox::GetInt(f, r) / kMsPerDay;
    case FieldType::kTimestamp:
      if (r == nullptr || paradox::IsNull(f, r)) return 0;
      return paradox::GetDouble(f, r) / kMsPerDay - static_cast<double>(paradox::kDateTimeEpochDay);
    default:
      CannotRead("a date");
  }
}

int32_t TField::AsInteger() const { return AsIntegerAt(Record()); }

int32_t TField::AsIntegerAt(const uint8_t* r) const {
  const paradox::Field& f = meta();
  // An empty integer reads as 0, which is what GetInt gives it.
  if (r != nullptr && (f.type == FieldType::kShort || f.type == FieldType::kLong || f.type == FieldType::kAutoInc ||
                       f.type == FieldType::kLogical))
    return paradox::GetInt(f, r);
  bool null = r == nullptr || paradox::IsNull(f, r);
  switch (f.type) {
    case FieldType::kShort: case FieldType::kLong: case FieldType::kAutoInc: case FieldType::kLogical:
      return 0;
    case FieldType::kNumber: case FieldType::kMoney: {
      if (null) return 0;
      double d = std::nearbyint(paradox::GetDouble(f, r));
      if (!(d >= -2147483648.0 && d <= 2147483647.0)) CannotRead("an integer");
      return static_cast<int32_t>(d);
    }
    case FieldType::kAlpha: {
      if (null) return 0;
      std::string s(paradox::GetAlpha(f, r));
      char* end = nullptr;
      long long v = std::strtoll(s.c_str(), &end, 10);
      if (end == s.c_str() || *end != '\0' || v < INT32_MIN || v > INT32_MAX) {
        owner_->BeforeRaise();
        std::string text;
        table_->To1251(s, &text);
        throw EDatabaseError::For(owner_->Name(), "'" + paradox::Cp1251ToUtf8(text) + "' is not a valid integer value");
      }
      return static_cast<int32_t>(v);
    }
    default:
      CannotRead("an integer");
  }
}

double TField::AsFloat() const {
  const uint8_t* r = Record();
  const paradox::Field& f = meta();
  if (r == nullptr || paradox::IsNull(f, r)) return 0;
  switch (f.type) {
    case FieldType::kNumber: case FieldType::kMoney: case FieldType::kShort: case FieldType::kLong:
    case FieldType::kAutoInc:
      return paradox::GetDouble(f, r);
    default:
      return AsDateTime();
  }
}

// ---------------------------------------------------------------------------
// TDataSet

void TDataSet::Open() {
  if (active_) return;
  lookups_.clear();
  fields_.clear();
  InternalOpen();
  active_ = true;
}

void TDataSet::Close() {
  if (!active_) return;
  // A set that cannot let go (changes it could not write) stays open as it was.
  InternalClose();
  lookups_.clear();
  next_lookup_ = 0;
  fields_.clear();
  binding_ = 0;
  active_ = false;
}

bool TDataSet::Eof() const { return !active_ || InternalEof(); }

void TDataSet::Next() {
  CheckActive();
  if (!InternalEof()) InternalNext();
}

int TDataSet::RecordCount() const {
  CheckActive();
  return InternalRecordCount();
}

// Names are short: an inline comparison beats a library call here, and the
// passes look up six names for every row.
static bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

TField* TDataSet::FieldByName(std::string_view name) {
  const size_t n = lookups_.size();
  for (size_t k = 0; k < n; ++k) {
    const size_t i = next_lookup_ + k < n ? next_lookup_ + k : next_lookup_ + k - n;
    if (!SameBytes(lookups_[i].first, name)) continue;
    next_lookup_ = i + 1 == n ? 0 : i + 1;
    return lookups_[i].second;
  }
  for (auto& f : fields_) {
    if (SameIgnoringCase(f->FieldName(), name)) {
      lookups_.emplace_back(std::string(name), f.get());
      next_lookup_ = 0;
      return f.get();
    }
  }
  RaiseError("Field '" + std::string(name) + "' not found");
}

void TDataSet::BindFields(const paradox::Table* table, const std::vector<int>& columns) {
  // Every binding of every set gets a number of its own.
  static std::atomic<uint64_t> next_binding{0};
  binding_ = ++next_binding;
  fields_.clear();
  lookups_.clear();
  next_lookup_ = 0;
  for (int c : columns) fields_.push_back(std::make_unique<TField>(this, table, c));
}

void TDataSet::RaiseError(const std::string& text) const {
  BeforeRaise();
  throw EDatabaseError::For(name_, text);
}

void TDataSet::CheckActive() const {
  if (!active_) RaiseError("Cannot perform this operation on a closed dataset");
}

}  // namespace dataset
