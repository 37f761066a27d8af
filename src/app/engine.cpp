#include "app/engine.h"

#include "paradox/value.h"

namespace app {

double LastProgressTime = 0;

namespace {
std::function<double()> g_clock;
std::function<void(int32_t)> g_sleep;
std::function<void()> g_pump;

std::string EnsureTrailing(const std::string& path, char separator) {
  if (path.empty() || path.back() == separator) return path;
  return path + separator;
}
}  // namespace

std::string EnsureBackslash(const std::string& path) { return EnsureTrailing(path, '\\'); }

std::string TablePath(const std::string& folder) {
#ifdef _WIN32
  return EnsureBackslash(folder) + "AdvBlock.db";
#else
  return EnsureTrailing(folder, '/') + "AdvBlock.db";
#endif
}

void SetClock(std::function<double()> clock) { g_clock = std::move(clock); }
void SetSleep(std::function<void(int32_t)> sleep) { g_sleep = std::move(sleep); }
void SetMessagePump(std::function<void()> pump) { g_pump = std::move(pump); }

double Now() { return g_clock ? g_clock() : SystemNow(); }

void ProcessMessages() {
  if (g_pump) g_pump();
  else SystemProcessMessages();
}

double SecondsOf(double Days) {
  if (!(Days >= 0)) Days = 0;
  return Days * 86400;
}

void PumpAndWait(int32_t Milliseconds) {
  ProcessMessages();
  if (g_sleep) g_sleep(Milliseconds);
  else SystemSleep(Milliseconds);
}

bool ProgressDue() {
  const double elapsed = SecondsOf(Now() - LastProgressTime);
  if (!(elapsed > 0.4) && !(Now() < LastProgressTime)) return false;
  LastProgressTime = Now();
  PumpAndWait(20);
  return true;
}

double DayCount(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  const int64_t days = paradox::DayFromCivil(year, month, day) - paradox::kDateTimeEpochDay;
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(days) + static_cast<double>(ms) / 86400000.0;
}

}  // namespace app
