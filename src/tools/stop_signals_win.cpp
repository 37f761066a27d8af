#include <windows.h>

#include <atomic>

#include "paradox/stop.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

std::atomic<long> g_cause{-1};
// Set while no work is guarded: a closing console waits for it. Lives for
// the process, as the handler threads that wait on it may.
HANDLE WorkOver() {
  static HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return event;
}

BOOL WINAPI OnConsoleEvent(DWORD type) { return HandleConsoleEvent(type) ? TRUE : FALSE; }

}  // namespace

int HandleConsoleEvent(unsigned long type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_cause.store(static_cast<long>(type));
      paradox::RequestStop();
      return 1;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The handler runs on a thread of its own, and the process is ended
      // soon after it returns: it waits for the main thread to reach the
      // boundary and let the table go. The system ends the process anyway
      // after its own time-out.
      g_cause.store(static_cast<long>(type));
      paradox::RequestStop();
      WaitForSingleObject(WorkOver(), INFINITE);
      return 1;
  }
  return 0;
}

StopOnSignals::StopOnSignals() {
  g_cause.store(-1);
  ResetEvent(WorkOver());
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopOnSignals::~StopOnSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  paradox::ClearStopRequest();
  SetEvent(WorkOver());
}

std::string StopOnSignals::Cause() {
  switch (g_cause.load()) {
    case CTRL_C_EVENT: return "Ctrl+C";
    case CTRL_BREAK_EVENT: return "Ctrl+Break";
    case CTRL_CLOSE_EVENT: return "the console closing";
    case CTRL_LOGOFF_EVENT: return "log-off";
    case CTRL_SHUTDOWN_EVENT: return "shutdown";
  }
  return std::string();
}

}  // namespace tools
