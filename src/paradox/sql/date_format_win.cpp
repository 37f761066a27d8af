// The short date format of the user's regional settings, with the locale's
// names, read through the wide API so that no character is lost.
#ifdef _WIN32

#include <windows.h>

#include "paradox/date_format.h"

#ifndef LOCALE_RETURN_GENITIVE_NAMES
#define LOCALE_RETURN_GENITIVE_NAMES 0x10000000
#endif

namespace paradox {

namespace {

std::string Utf8(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.pop_back();  // the terminating zero
  return s;
}

// A locale text of the user's settings; false (and `*out` kept) when the
// system gives none or an empty one.
bool Info(LCTYPE type, std::string* out) {
  wchar_t buf[128];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 128) <= 0 || buf[0] == 0) return false;
  *out = Utf8(buf);
  return true;
}

}  // namespace

DateFormat SystemDateFormat() {
  DateFormat f;
  if (!Info(LOCALE_SSHORTDATE, &f.pattern)) f.pattern = std::string("M/d/yy");
  if (!Info(LOCALE_SDATE, &f.separator)) f.separator = std::string("/");
  for (LCTYPE i = 0; i < 12; ++i) {
    Info(LOCALE_SMONTHNAME1 + i, &f.month_names[i]);
    Info(LOCALE_SABBREVMONTHNAME1 + i, &f.month_abbreviations[i]);
    // Systems without genitive names leave these empty: the plain names serve.
    Info((LOCALE_SMONTHNAME1 + i) | LOCALE_RETURN_GENITIVE_NAMES, &f.genitive_month_names[i]);
    Info((LOCALE_SABBREVMONTHNAME1 + i) | LOCALE_RETURN_GENITIVE_NAMES, &f.genitive_month_abbreviations[i]);
  }
  for (LCTYPE i = 0; i < 7; ++i) {
    const size_t day = (i + 1) % 7;  // the system counts from Monday, the format from Sunday
    Info(LOCALE_SDAYNAME1 + i, &f.day_names[day]);
    Info(LOCALE_SABBREVDAYNAME1 + i, &f.day_abbreviations[day]);
  }
  wchar_t era[64];
  if (GetCalendarInfoW(LOCALE_USER_DEFAULT, CAL_GREGORIAN, CAL_SERASTRING, era, 64, nullptr) > 0 && era[0] != 0)
    f.era = Utf8(era);
  return f;
}

}  // namespace paradox

#endif  // _WIN32
