// The Windows clock, pause and message pump of the throttle.
#include <windows.h>

#include "app/engine.h"

namespace app {

namespace {

// 1 January 1601, where file times start, to 30 December 1899.
constexpr int64_t kFileTimeEpochDay = 109205;
constexpr int64_t kTicksPerMillisecond = 10000;  // file times count 100 ns
constexpr int64_t kMillisecondsPerDay = 86400000;
constexpr int64_t kQuarterHour = 900LL * 1000 * kTicksPerMillisecond;

int64_t Ticks(const FILETIME& t) { return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime); }

// The offset of local time from the system time changes only at whole
// quarter hours (time zones and their summer times are whole quarter hours
// apart), so one conversion serves every reading up to the next one. The
// clock is read for every row a pass handles; breaking a time into its
// calendar fields, as the local time comes, costs many times more.
//
// A reading also stands until the system's tick count moves on, or until
// it has been given out kReuses times: the local time the system gives
// advances only with that tick on most systems, and the tick count costs a
// few nanoseconds where the time costs up to some hundreds under some hosts.
struct ClockCache {
  int64_t valid_from = 1;
  int64_t valid_until = 0;  // empty at start
  int64_t offset = 0;       // local time less system time
  ULONGLONG tick = 0;
  int reuses = 0;  // none at start
  double days = 0;
};
constexpr int kReuses = 63;

}  // namespace

double SystemNow() {
  static thread_local ClockCache cache;
  const ULONGLONG tick = GetTickCount64();
  if (cache.reuses > 0 && tick == cache.tick) {
    --cache.reuses;
    return cache.days;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const int64_t utc = Ticks(now);
  if (utc < cache.valid_from || utc >= cache.valid_until) {
    FILETIME local;
    cache.offset = FileTimeToLocalFileTime(&now, &local) ? Ticks(local) - utc : 0;
    cache.valid_from = utc - utc % kQuarterHour;
    cache.valid_until = cache.valid_from + kQuarterHour;
  }
  const int64_t ms = (utc + cache.offset) / kTicksPerMillisecond;
  cache.days = static_cast<double>(ms / kMillisecondsPerDay - kFileTimeEpochDay) +
               static_cast<double>(ms % kMillisecondsPerDay) / 86400000.0;
  cache.tick = tick;
  cache.reuses = kReuses;
  return cache.days;
}

void SystemSleep(int32_t milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }

void SystemProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the message loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace app
