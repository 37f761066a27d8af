// advclean's progress line follows the calls of the window's display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/engine.h"
#include "cleaning/texts.h"
#include "tools/advclean_console.h"

namespace tools {
namespace {

class ConsoleProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::path(ADVCLEAN_TEST_TMPDIR) / "progress.txt").string();
    file_ = std::fopen(path_.c_str(), "w+b");
    ASSERT_NE(file_, nullptr);
  }
  void TearDown() override { std::fclose(file_); }
  // What has been written since the last call.
  std::string Written() {
    std::fflush(file_);
    std::string s;
    std::fseek(file_, static_cast<long>(read_), SEEK_SET);
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
    read_ += s.size();
    std::fseek(file_, 0, SEEK_END);
    return s;
  }

  std::string path_;
  std::FILE* file_ = nullptr;
  size_t read_ = 0;
};

TEST_F(ConsoleProgressTest, DrawsTheCallsOfTheWindowsTable) {
  ConsoleProgress p(file_, true);
  p.ShowProgress("", 0);  // closing with nothing shown: nothing at all
  EXPECT_EQ(Written(), "");
  p.ShowProgress("", 0.5);  // a new display: empty line, bar at 0
  EXPECT_EQ(Written(), "\r[------------------------------] 0%");
  p.ShowProgress(cleaning::texts::Sorting(), -1);  // text without a bar
  EXPECT_EQ(Written(), "\rСортировка                         ");
  p.ShowProgress("", 99.99);  // the line stays, the bar comes back truncated
  EXPECT_EQ(Written(), "\rСортировка [#############################-] 99%");
  p.ShowProgress("", 250);
  EXPECT_EQ(Written(), "\rСортировка [##############################] 100%");
  p.ShowProgress("", -1);  // closing wipes the line
  EXPECT_EQ(Written(), "\r" + std::string(48, ' ') + "\r");
  p.ShowProgress("", 10);  // a new display after a close has an empty line
  EXPECT_EQ(Written(), "\r[###---------------------------] 10%");
}

TEST_F(ConsoleProgressTest, DrawsNothingWhenNotATerminal) {
  {
    ConsoleProgress p(file_, false);
    p.ShowProgress(cleaning::texts::Sorting(), 40);
    p.ShowProgress("", -1);
  }
  EXPECT_EQ(Written(), "");
}

// The passes ask for every row: due as often as the window's throttle
// allows, without its pause and without a clock reading per call.
TEST(ConsoleThrottleTest, DueEveryFewTenthsWithoutPausingOrReadingTheClockPerCall) {
  using namespace std::chrono;
  steady_clock::time_point now{hours(1)};
  int reads = 0, sleeps = 0;
  app::SetSleep([&](int32_t) { ++sleeps; });
  ConsoleProgress p(nullptr, false, [&] {
    ++reads;
    return now;
  });
  EXPECT_TRUE(p.ProgressDue());  // the first call of the run
  int due = 0, calls = 0;
  // 0.3 s in steps of 1 ms: nothing more is due.
  for (int i = 0; i < 300; ++i, ++calls, now += milliseconds(1)) due += p.ProgressDue();
  EXPECT_EQ(due, 0);
  // Another 1.3 s: due three times, each at most a few calls late.
  std::vector<int> at;
  for (int i = 0; i < 1300; ++i, ++calls, now += milliseconds(1))
    if (p.ProgressDue()) at.push_back(300 + i);
  ASSERT_EQ(at.size(), 3u);
  for (size_t k = 0, last = 0; k < at.size(); last = static_cast<size_t>(at[k++])) {
    EXPECT_GT(at[k] - static_cast<int>(last), 400) << k;
    EXPECT_LE(at[k] - static_cast<int>(last), 400 + 32) << k;
  }
  EXPECT_LE(reads, calls / 16);
  EXPECT_EQ(sleeps, 0);
  app::SetSleep(nullptr);
}

}  // namespace
}  // namespace tools
