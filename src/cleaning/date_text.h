// Dates and times as text, in the system's short date and long time
// formats, and the purge's date literal.
#pragma once

#include <string>

#include "paradox/date_format.h"

namespace cleaning {

// 1 January 2011 as a day count from 30 December 1899: rows dated before it
// are purged.
inline constexpr double kPurgeBefore = 40544;

// A day count (its whole part) in the short date format (see
// paradox::WriteDate), as UTF-8.
std::string FormatDateText(double date, const paradox::DateFormat& format);

// A time of day (the fraction of a day count) in a long time pattern: h hh
// (12-hour), H HH (24-hour), m mm, s ss, t tt (AM/PM); quoted text and every
// other character are copied; UTF-8 in, UTF-8 out.
std::string FormatTimeText(double time, const std::string& pattern);

// The purge's date literal D: kPurgeBefore in the short date format; the
// engine reads it back by the same format.
std::string PurgeDateLiteral(const paradox::DateFormat& format);

}  // namespace cleaning
