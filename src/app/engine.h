// Helper unit Engine: the folder rule that names the table file, and the
// progress throttle with its clock, pause and message pump.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// The path with one trailing backslash: an empty text stays empty, a text
// ending in "\" is returned as it is, any other gets "\" appended.
std::string EnsureBackslash(const std::string& path);

// The table file of a folder: the folder with its trailing separator,
// followed by "AdvBlock.db"; an empty folder names "AdvBlock.db" in the
// current folder. On Windows the separator is the backslash of
// EnsureBackslash; elsewhere, where a backslash is an ordinary character of
// a file name, it is "/".
std::string TablePath(const std::string& folder);

// The clock reading of the last due tick, as a day count from 30 December
// 1899 (0 at start, so the first tick of a run is always due). One value
// for the whole run, shared by every pass.
extern double LastProgressTime;

// True when a progress update is due: more than 0.4 s after the last due
// tick, or at once when the clock has been set back before it. A due tick
// restarts from the clock and has run PumpAndWait(20).
bool ProgressDue();

// Processes all pending window messages, then sleeps.
void PumpAndWait(int32_t Milliseconds);

// Days as seconds; a negative count (or not a number) as 0.
double SecondsOf(double Days);

// The local date and time as a day count with millisecond resolution.
double Now();

// Processes all pending window messages of the application without waiting
// for new ones. Only the Windows build has any.
void ProcessMessages();

// Replace the clock, the sleep or the message pump; an empty function
// brings back the system's own. For tests, and for the window framework,
// which pumps messages its own way.
void SetClock(std::function<double()> clock);
void SetSleep(std::function<void(int32_t)> sleep);
void SetMessagePump(std::function<void()> pump);

// The platform's own clock, sleep and pump (engine_win.cpp, engine_posix.cpp).
double SystemNow();
void SystemSleep(int32_t milliseconds);
void SystemProcessMessages();

// A local date and time as a day count from 30 December 1899.
double DayCount(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace app
