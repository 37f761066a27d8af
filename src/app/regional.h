// The system's regional settings that dates and times are written with,
// read once at the first request (at program start).
#pragma once

#include <string>

#include "paradox/date_format.h"

namespace app {

struct RegionalFormats {
  paradox::DateFormat short_date;  // also the purge's date literal
  std::string long_time;           // such as "H:mm:ss", UTF-8
};

const RegionalFormats& Regional();

// The system's long time format, UTF-8: the user's regional settings on
// Windows, "H:mm:ss" elsewhere.
std::string SystemLongTimeFormat();

}  // namespace app
