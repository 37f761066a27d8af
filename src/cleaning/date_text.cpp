#include "cleaning/date_text.h"

#include <cmath>
#include <cstdint>

#include "paradox/value.h"

namespace cleaning {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

void AppendNumber(std::string* out, int value, int min_digits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < min_digits) out->append(static_cast<size_t>(min_digits) - digits.size(), '0');
  *out += digits;
}

// Length of the run of `c` (letter case as given) starting at `i`.
size_t RunOf(const std::string& s, size_t i, char c, bool ignore_case) {
  size_t n = 0;
  while (i + n < s.size() && (ignore_case ? Lower(s[i + n]) == c : s[i + n] == c)) ++n;
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
  const int64_t day = static_cast<int64_t>(std::floor(date));
  int year = 0, month = 0, mday = 0;
  paradox::CivilFromDay(day + paradox::kDateTimeEpochDay, &year, &month, &mday);
  const int weekday = static_cast<int>(((day % 7) + 7 + 6) % 7);  // day 0 was a Saturday
  const std::string& p = format.pattern;
  std::string out;
  for (size_t i = 0; i < p.size();) {
    const char c = Lower(p[i]);
    if (c == '\'' || c == '"') {
      i = CopyQuoted(p, i, &out);
      continue;
    }
    if (c == '/') {
      out.push_back(format.separator);
      ++i;
      continue;
    }
    if (c != 'd' && c != 'm' && c != 'y') {
      out.push_back(p[i++]);
      continue;
    }
    const size_t n = RunOf(p, i, c, true);
    i += n;
    if (c == 'd') {
      if (n <= 2) AppendNumber(&out, mday, static_cast<int>(n));
      else if (n == 3) out.append(kWeekdays[weekday], 3);
      else out += kWeekdays[weekday];
    } else if (c == 'm') {
      if (n <= 2) AppendNumber(&out, month, static_cast<int>(n));
      else if (n == 3) out.append(kMonths[month - 1], 3);
      else out += kMonths[month - 1];
    } else {
      if (n <= 2) AppendNumber(&out, ((year % 100) + 100) % 100, 2);
      else AppendNumber(&out, year, 4);
    }
  }
  return out;
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
    const size_t n = RunOf(p, i, c, false);
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
