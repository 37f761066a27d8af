#include "cleaning/date_text.h"

#include <cmath>
#include <cstdint>

#include "paradox/value.h"

namespace cleaning {

namespace {

void AppendNumber(std::string* out, int value, int min_digits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < min_digits) out->append(static_cast<size_t>(min_digits) - digits.size(), '0');
  *out += digits;
}

// Length of the run of `c` starting at `i`.
size_t RunOf(const std::string& s, size_t i, char c) {
  size_t n = 0;
  while (i + n < s.size() && s[i + n] == c) ++n;
  return n;
}

// Copies a quoted text; returns the index after the closing quote.
size_t CopyQuoted(const std::string& s, size_t i, std::string* out) {
  const char quote = s[i++];
  while (i < s.size() && s[i] != quote) out->push_back(s[i++]);
  return i < s.size() ? i + 1 : i;
}

}  // namespace

std::string FormatDateText(double date, const paradox::DateFormat& format) {
  return paradox::WriteDate(static_cast<int64_t>(std::floor(date)) + paradox::kDateTimeEpochDay, format);
}

std::string FormatTimeText(double time, const std::string& p) {
  const double fraction = time - std::floor(time);
  int64_t ms = std::llround(fraction * 86400000.0) % 86400000;
  const int hour = static_cast<int>(ms / 3600000);
  const int minute = static_cast<int>(ms / 60000 % 60);
  const int second = static_cast<int>(ms / 1000 % 60);
  std::string out;
  for (size_t i = 0; i < p.size();) {
    const char c = p[i];
    if (c == '\'' || c == '"') {
      i = CopyQuoted(p, i, &out);
      continue;
    }
    if (c != 'h' && c != 'H' && c != 'm' && c != 's' && c != 't') {
      out.push_back(p[i++]);
      continue;
    }
    const size_t n = RunOf(p, i, c);
    i += n;
    const int digits = n >= 2 ? 2 : 1;
    switch (c) {
      case 'h': AppendNumber(&out, hour % 12 == 0 ? 12 : hour % 12, digits); break;
      case 'H': AppendNumber(&out, hour, digits); break;
      case 'm': AppendNumber(&out, minute, digits); break;
      case 's': AppendNumber(&out, second, digits); break;
      default: out += n >= 2 ? (hour < 12 ? "AM" : "PM") : (hour < 12 ? "A" : "P"); break;
    }
  }
  return out;
}

std::string PurgeDateLiteral(const paradox::DateFormat& format) { return FormatDateText(kPurgeBefore, format); }

}  // namespace cleaning
