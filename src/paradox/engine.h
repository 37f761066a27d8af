// Start and stop of the engine's shared state: the code-page tables and the
// date format that statement literals are read with.
#pragma once

#include "paradox/date_format.h"
#include "paradox/status.h"

namespace paradox {

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

}  // namespace paradox
