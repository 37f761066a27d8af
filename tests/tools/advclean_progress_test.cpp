// advclean's progress line follows the calls of the window's display.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

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

}  // namespace
}  // namespace tools
