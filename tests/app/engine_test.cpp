// The table path rule and the progress throttle with a fake clock.
#include "app/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>
#include <vector>

namespace app {
namespace {

TEST(EnsureBackslashTest, AddsExactlyOneTrailingBackslash) {
  EXPECT_EQ(EnsureBackslash(""), "");
  EXPECT_EQ(EnsureBackslash("C:\\Morvane"), "C:\\Morvane\\");
  EXPECT_EQ(EnsureBackslash("C:\\Morvane\\"), "C:\\Morvane\\");
  EXPECT_EQ(EnsureBackslash("C:"), "C:\\");
  EXPECT_EQ(EnsureBackslash("C:/Morvane/"), "C:/Morvane/\\");
}

TEST(TablePathTest, FolderTextToTableFile) {
  EXPECT_EQ(TablePath(""), "AdvBlock.db");  // relative to the current folder
#ifdef _WIN32
  EXPECT_EQ(TablePath("C:\\Morvane"), "C:\\Morvane\\AdvBlock.db");
  EXPECT_EQ(TablePath("C:\\Morvane\\"), "C:\\Morvane\\AdvBlock.db");
#else
  EXPECT_EQ(TablePath("/srv/morvane"), "/srv/morvane/AdvBlock.db");
  EXPECT_EQ(TablePath("/srv/morvane/"), "/srv/morvane/AdvBlock.db");
  EXPECT_EQ(TablePath("/"), "/AdvBlock.db");
#endif
}

TEST(SecondsOfTest, DaysToSecondsNeverNegative) {
  EXPECT_EQ(SecondsOf(1), 86400);
  EXPECT_EQ(SecondsOf(0.5), 43200);
  EXPECT_EQ(SecondsOf(-0.25), 0);
  EXPECT_EQ(SecondsOf(std::nan("")), 0);
}

// A clock, pause and pump under the test's control, put back afterwards.
class ThrottleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock([this] {
      ++clock_reads;
      return now;
    });
    SetSleep([this](int32_t ms) { sleeps.push_back(ms); });
    SetMessagePump([this] { ++pumps; });
    LastProgressTime = 0;
  }
  void TearDown() override {
    SetClock(nullptr);
    SetSleep(nullptr);
    SetMessagePump(nullptr);
    LastProgressTime = 0;
  }
  static double Seconds(double s) { return s / 86400; }

  double now = 46000.5;  // a day in 2025, noon
  int clock_reads = 0;
  int pumps = 0;
  std::vector<int32_t> sleeps;
};

TEST_F(ThrottleTest, FirstCallDueThenAtMostEveryFourTenths) {
  EXPECT_TRUE(ProgressDue());  // LastProgressTime starts at 0
  EXPECT_EQ(LastProgressTime, now);
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(sleeps, std::vector<int32_t>{20});

  const double tick = now;
  now = tick + Seconds(0.1);
  clock_reads = 0;
  EXPECT_FALSE(ProgressDue());
  EXPECT_EQ(clock_reads, 2);  // elapsed, then the set-back test
  EXPECT_EQ(pumps, 1);        // nothing else happens
  EXPECT_EQ(LastProgressTime, tick);

  now = tick + Seconds(0.39);
  EXPECT_FALSE(ProgressDue());
  now = tick + Seconds(0.5);
  EXPECT_TRUE(ProgressDue());
  EXPECT_EQ(LastProgressTime, now);
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(sleeps.size(), 2u);
}

TEST_F(ThrottleTest, ClockSetBackIsDueAndRestartsFromTheNewTime) {
  ASSERT_TRUE(ProgressDue());
  now -= Seconds(3600);
  EXPECT_TRUE(ProgressDue());
  EXPECT_EQ(LastProgressTime, now);
  now += Seconds(0.1);
  EXPECT_FALSE(ProgressDue());  // the throttle runs from the new time
  now += Seconds(0.4);
  EXPECT_TRUE(ProgressDue());
}

TEST(ClockTest, DayCountsFrom30December1899) {
  EXPECT_EQ(DayCount(1899, 12, 30, 0, 0, 0, 0), 0);
  EXPECT_EQ(DayCount(2011, 1, 1, 12, 0, 0, 0), 40544.5);
  EXPECT_NEAR(DayCount(2011, 1, 1, 0, 0, 0, 1), 40544 + 1 / 86400000.0, 1e-9);
  // The system clock agrees with the local calendar time to the second.
  const time_t t = time(nullptr);
  struct tm local = *localtime(&t);
  const double expected = DayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                   local.tm_min, local.tm_sec, 0);
  EXPECT_NEAR(SystemNow(), expected, 2.0 / 86400);
}

// The system clock moves on with real time, in steps of a few
// milliseconds at most, and never back while nobody sets it.
TEST(ClockTest, SystemClockFollowsRealTime) {
  using Steady = std::chrono::steady_clock;
  const double before = SystemNow();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const double after = SystemNow();
  EXPECT_NEAR(SecondsOf(after - before), 0.2, 0.1);
  double last = after;
  bool moved = false;
  for (const auto start = Steady::now(); !moved && Steady::now() - start < std::chrono::milliseconds(100);) {
    const double now = SystemNow();
    ASSERT_GE(now, last);
    moved = now > after;
    last = now;
  }
  EXPECT_TRUE(moved) << "the clock stood still for 100 ms";
}

}  // namespace
}  // namespace app
