// Decoding field values from the bytes of a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/format/bytes.h"
#include "paradox/format/field.h"

namespace paradox {

// True when the field holds no value. Alpha: first byte 0; BCD: first byte
// 0; blobs: length 0; everything else: all bytes 0. (Inline: every row
// read asks it of several fields.)
inline bool IsNull(const Field& f, const uint8_t* record);

// Short, Long, AutoInc (sign-extended), Logical (0 or 1), Date (day number,
// day 1 = 0001-01-01), Time (milliseconds since midnight). 0 when empty.
inline int32_t GetInt(const Field& f, const uint8_t* record);
// Number, Money, Timestamp (milliseconds, day 1 = 0001-01-01). 0 when empty.
double GetDouble(const Field& f, const uint8_t* record);
// Alpha bytes up to the first zero byte, in the table's code page.
std::string_view GetAlpha(const Field& f, const uint8_t* record);
// BCD as a decimal string with exactly the field's scale of fraction digits.
// Returns false when a stored nibble is not a decimal digit.
bool GetBcd(const Field& f, const uint8_t* record, std::string* out);

// Where a blob field's value lives.
struct BlobRef {
  const uint8_t* leader = nullptr;  // first bytes of the value, kept in the record
  uint32_t leader_size = 0;
  uint32_t mb_offset = 0;           // 0: the whole value is in the leader
  uint32_t length = 0;              // 0: empty
  uint16_t modification = 0;
};
BlobRef GetBlobRef(const Field& f, const uint8_t* record);

// Calendar conversions for day numbers (day 1 = 0001-01-01, proleptic
// Gregorian).
void CivilFromDay(int64_t day, int* year, int* month, int* dayOfMonth);
int64_t DayFromCivil(int year, int month, int dayOfMonth);
// Day number of 30 December 1899, day 0 of the date-time values the data
// sets hand out.
constexpr int64_t kDateTimeEpochDay = 693594;

// "YYYY-MM-DD", "HH:MM:SS.mmm" and "YYYY-MM-DDTHH:MM:SS.mmm".
std::string FormatDate(int64_t day);
std::string FormatTime(int64_t ms);
std::string FormatTimestamp(double ms);


inline bool IsNull(const Field& f, const uint8_t* record) {
  const uint8_t* p = record + f.offset;
  switch (f.type) {
    case FieldType::kAlpha:
    case FieldType::kBcd:
      return p[0] == 0;
    case FieldType::kMemo: case FieldType::kBlob: case FieldType::kFmtMemo:
    case FieldType::kOle: case FieldType::kGraphic:
      return LoadLE32(p + f.size - 6) == 0;
    default:
      return AllZero(p, f.size);
  }
}

inline int32_t GetInt(const Field& f, const uint8_t* record) {
  const uint8_t* p = record + f.offset;
  switch (f.type) {
    case FieldType::kShort:
      return AllZero(p, 2) ? 0 : DecodeFlippedInt(p, 2);
    case FieldType::kLong: case FieldType::kAutoInc: case FieldType::kDate:
    case FieldType::kTime:
      return AllZero(p, 4) ? 0 : DecodeFlippedInt(p, 4);
    case FieldType::kLogical:
      return p[0] == 0x81 ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace paradox
