// Start and stop of the engine's shared state: the code-page tables and the
// date format that statement literals are read with.
#pragma once

#include <string>

#include "paradox/status.h"

namespace paradox {

// How dates are written in statement literals: the short date format of the
// system's regional settings ("dd.MM.yyyy", "M/d/yy", ...).
struct DateFormat {
  std::string pattern = "dd.MM.yyyy";
  char separator = '.';
};

class Engine {
 public:
  // Sets up the shared state. Starting a started engine succeeds and does
  // nothing. On failure nothing stays set up and a later call tries again;
  // running out of memory gives kOutOfMemory.
  static Status Start();
  // Releases the shared state; stopping a stopped engine does nothing.
  static void Stop();
  static bool started();

  // The date format literals are read with; fixed at Start.
  static const DateFormat& date_format();
  // The format Start will take; by default the system's short date format.
  static void set_date_format(const DateFormat& format);

  // Makes every Start fail with `code` until called with kOk. For tests.
  static void TEST_SetStartFailure(ErrorCode code);
};

// The system's short date format (Windows regional settings; elsewhere
// dd.MM.yyyy).
DateFormat SystemDateFormat();

}  // namespace paradox
