// The throttle's clock and pause where there are no windows: the pump has
// nothing to do.
#include <sys/time.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "app/engine.h"

namespace app {

double SystemNow() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm local;
  time_t seconds = tv.tv_sec;
  localtime_r(&seconds, &local);
  return DayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(tv.tv_usec / 1000));
}

void SystemSleep(int32_t milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SystemProcessMessages() {}

}  // namespace app
