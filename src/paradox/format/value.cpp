#include "paradox/value.h"

#include <cstring>

#include <cmath>
#include <cstdio>

#include "paradox/format/bytes.h"

namespace paradox {

double GetDouble(const Field& f, const uint8_t* record) {
  const uint8_t* p = record + f.offset;
  switch (f.type) {
    case FieldType::kNumber: case FieldType::kMoney: case FieldType::kTimestamp:
      return AllZero(p, 8) ? 0.0 : DecodeFlippedDouble(p);
    default:
      return GetInt(f, record);
  }
}

std::string_view GetAlpha(const Field& f, const uint8_t* record) {
  const char* p = reinterpret_cast<const char*>(record + f.offset);
  const void* end = std::memchr(p, 0, f.size);
  return std::string_view(p, end == nullptr ? f.size : static_cast<size_t>(static_cast<const char*>(end) - p));
}

bool GetBcd(const Field& f, const uint8_t* record, std::string* out) {
  // Byte 0: bit 7 set for non-negative values, low 6 bits the scale. Then
  // 32 nibbles, high nibble first, inverted for negative values; the point
  // sits before the last `scale` nibbles.
  const uint8_t* p = record + f.offset;
  bool negative = (p[0] & 0x80) == 0;
  int scale = f.declared;
  std::string digits;
  digits.reserve(32);
  for (int i = 0; i < 32; ++i) {
    uint8_t byte = p[1 + i / 2];
    uint8_t nib = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
    if (negative) nib ^= 0x0F;
    if (nib > 9) return false;
    digits.push_back(static_cast<char>('0' + nib));
  }
  std::string whole = digits.substr(0, 32 - scale);
  std::string frac = digits.substr(32 - scale);
  size_t nz = whole.find_first_not_of('0');
  whole = nz == std::string::npos ? "0" : whole.substr(nz);
  bool zero = whole == "0" && frac.find_first_not_of('0') == std::string::npos;
  out->clear();
  if (negative && !zero) out->push_back('-');
  *out += whole;
  if (scale > 0) *out += "." + frac;
  return true;
}

BlobRef GetBlobRef(const Field& f, const uint8_t* record) {
  const uint8_t* p = record + f.offset;
  BlobRef r;
  r.leader = p;
  r.leader_size = f.size - 10u;
  r.mb_offset = LoadLE32(p + r.leader_size);
  r.length = LoadLE32(p + r.leader_size + 4);
  r.modification = LoadLE16(p + r.leader_size + 8);
  return r;
}

// Civil calendar conversions after the well-known days-from-civil algorithm,
// shifted so that 0001-01-01 is day 1.
namespace {
constexpr int64_t kUnixToDay = 719163;  // day number of 1970-01-01
}

int64_t DayFromCivil(int y, int m, int d) {
  int64_t yy = y - (m <= 2);
  int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
  int64_t yoe = yy - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + kUnixToDay;
}

void CivilFromDay(int64_t day, int* year, int* month, int* dayOfMonth) {
  int64_t z = day - kUnixToDay + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *dayOfMonth = static_cast<int>(d);
}

std::string FormatDate(int64_t day) {
  int y, m, d;
  CivilFromDay(day, &y, &m, &d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string FormatTime(int64_t ms) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return buf;
}

std::string FormatTimestamp(double ms) {
  if (!std::isfinite(ms) || ms < 0 || ms > 1e18) return "invalid";
  int64_t total = static_cast<int64_t>(std::llround(ms));
  return FormatDate(total / 86400000) + "T" + FormatTime(total % 86400000);
}

}  // namespace paradox
