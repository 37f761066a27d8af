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

// The system time in file time ticks: the precise clock where the system
// has one (a fraction of the other's cost under some hosts), else the
// plain one (Windows 7).
int64_t UtcTicks() {
  using Reader = void(WINAPI*)(LPFILETIME);
  static const Reader precise = reinterpret_cast<Reader>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME t;
  if (precise != nullptr) precise(&t);
  else GetSystemTimeAsFileTime(&t);
  return Ticks(t);
}

// The offset of local time from the system time changes only at whole
// quarter hours (time zones and their summer times are whole quarter hours
// apart), so one conversion serves every reading up to the next one. The
// clock is read for every row a pass handles; breaking a time into its
// calendar fields, as the local time comes, costs many times more.
struct LocalOffset {
  int64_t valid_from = 1;
  int64_t valid_until = 0;  // empty at start
  int64_t ticks = 0;
};

}  // namespace

double SystemNow() {
  static thread_local LocalOffset cache;
  const int64_t utc = UtcTicks();
  if (utc < cache.valid_from || utc >= cache.valid_until) {
    FILETIME system, local;
    system.dwLowDateTime = static_cast<DWORD>(utc);
    system.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(utc) >> 32);
    cache.ticks = FileTimeToLocalFileTime(&system, &local) ? Ticks(local) - utc : 0;
    cache.valid_from = utc - utc % kQuarterHour;
    cache.valid_until = cache.valid_from + kQuarterHour;
  }
  const int64_t ms = (utc + cache.ticks) / kTicksPerMillisecond;
  return static_cast<double>(ms / kMillisecondsPerDay - kFileTimeEpochDay) +
         static_cast<double>(ms % kMillisecondsPerDay) / 86400000.0;
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
