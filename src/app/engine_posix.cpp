// The throttle's clock and pause where there are no windows: the pump has
// nothing to do.
#include <time.h>

#include <chrono>
#include <thread>

#include "app/engine.h"

namespace app {

namespace {

// 30 December 1899 to 1 January 1970.
constexpr int64_t kUnixEpochDay = 25569;

// The offset of local time from UTC changes only at whole quarter hours of
// UTC (time zones and their summer times are whole quarter hours apart), so
// one look-up of the time zone serves every reading up to the next one. The
// clock is read for every row a pass handles; the look-up is not cheap.
struct LocalOffset {
  time_t valid_from = 1;
  time_t valid_until = 0;  // empty at start
  long seconds = 0;
};

long OffsetAt(time_t utc, LocalOffset* cache) {
  if (utc < cache->valid_from || utc >= cache->valid_until) {
    struct tm local;
    localtime_r(&utc, &local);
    cache->seconds = local.tm_gmtoff;
    cache->valid_from = utc - utc % 900;
    cache->valid_until = cache->valid_from + 900;
  }
  return cache->seconds;
}

}  // namespace

// The clock serves the progress throttle, which is asked twice per row and
// looks at whole tenths of a second: the coarse wall clock (a few
// milliseconds' resolution) costs a fraction of the precise one.
double SystemNow() {
  static thread_local LocalOffset cache;
  struct timespec ts;
#ifdef CLOCK_REALTIME_COARSE
  if (clock_gettime(CLOCK_REALTIME_COARSE, &ts) != 0)
#endif
    clock_gettime(CLOCK_REALTIME, &ts);
  const int64_t local = static_cast<int64_t>(ts.tv_sec) + OffsetAt(ts.tv_sec, &cache);
  int64_t day = local / 86400, second = local % 86400;
  if (second < 0) {
    second += 86400;
    --day;
  }
  return static_cast<double>(day + kUnixEpochDay) +
         static_cast<double>(second * 1000 + ts.tv_nsec / 1000000) / 86400000.0;
}

void SystemSleep(int32_t milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SystemProcessMessages() {}

}  // namespace app
