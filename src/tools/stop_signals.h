// The stops a console program is told of, turned into the engine's stop
// request (paradox/stop.h): a change in progress then ends at its next group
// boundary with the table's files consistent, instead of being killed part
// way. On Windows: Ctrl+C, Ctrl+Break, the console window closing, log-off
// and shutdown; elsewhere SIGINT, SIGTERM and SIGHUP (a signal the program
// was started ignoring stays ignored).
#pragma once

#include <string>

namespace tools {

// Holds the handlers for the work of its lifetime. One at a time.
class StopOnSignals {
 public:
  StopOnSignals();
  // The work is over: the handling from before comes back, a stop request
  // is withdrawn, and on Windows a console close waiting for the work lets
  // the process end.
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

  // What asked for the stop ("SIGTERM", "Ctrl+C", ...), or empty.
  static std::string Cause();
};

#ifdef _WIN32
// What the console handler does with an event of `type` (CTRL_C_EVENT ...):
// nonzero when handled. For the closing events it returns only once the
// StopOnSignals in force is gone, since the process ends right after.
int HandleConsoleEvent(unsigned long type);
#endif

}  // namespace tools
