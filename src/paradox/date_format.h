// The short date format of the regional settings: dates written in it, and
// date literals read back by the same pattern.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/status.h"

namespace paradox {

// A short date format with the locale's names its pattern may use, all in
// UTF-8. The pattern letters are those of the Windows regional settings, in
// their letter case: d dd (day), ddd dddd (weekday name), M MM (month), MMM
// (abbreviated month name), MMMM (month name), y yy (year in two digits),
// yyy yyyy and longer (the whole year), g gg (era). "/" stands for
// `separator`. Text in single quotes is copied ('' in it gives one quote);
// every other character is copied. Month names after a day number take
// their genitive forms ("1 января", but "январь 2011") where the locale has
// them.
struct DateFormat {
  std::string pattern = "dd.MM.yyyy";
  std::string separator = ".";
  std::array<std::string, 12> month_names = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  std::array<std::string, 12> month_abbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Empty where the locale has no genitive form.
  std::array<std::string, 12> genitive_month_names;
  std::array<std::string, 12> genitive_month_abbreviations;
  std::array<std::string, 7> day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::array<std::string, 7> day_abbreviations = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::string era = "A.D.";
};

// Day number `day` (day 1 = 1 January of the year 1) in `format`, as Windows
// writes it for the Gregorian calendar.
std::string WriteDate(int64_t day, const DateFormat& format);

// Reads `text` by the pattern of `format`: what WriteDate writes, and more.
// Numbers may have one digit or two where the pattern's neighbours allow it,
// a year of one or two digits is 1950..2049, names ignore letter case and
// may take any form the format holds, and blanks (spaces, no-break spaces)
// may be more, fewer or none. Gives the day number. Fails with kBadLiteral,
// naming the text and the pattern, when the text does not follow the
// pattern, reads as more than one date, names no real date, or when the
// pattern lacks a day, a month or a year.
Status ReadDate(std::string_view text, const DateFormat& format, int32_t* day);

// The system's short date format: on Windows the user's regional settings,
// with the locale's month, weekday and era names ("M/d/yy" when the system
// gives no format); elsewhere DateFormat's own.
DateFormat SystemDateFormat();

}  // namespace paradox
