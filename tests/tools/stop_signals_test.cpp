// The stops a console program is told of: a signal (Linux) or a console
// event (Windows) asks the engine to stop and never kills the process while
// the handlers are in force; the handling from before comes back after. A
// run of advclean told to stop at a random moment ends at a group boundary.
#include "tools/stop_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "../support/raw_table.h"
#include "app/engine.h"
#include "paradox/journal.h"
#include "paradox/stop.h"
#include "tools/advclean.h"
#include "tools/sample_data.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32

// Waits a little for a handler that runs on a thread of its own.
bool StopSoon() {
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!paradox::StopRequested() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return paradox::StopRequested();
}

// What the test program does with the console's events when no
// StopOnSignals is in force: nothing, so that a late event cannot end it.
BOOL WINAPI Ignore(DWORD) { return TRUE; }

class ConsoleEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    SetConsoleCtrlHandler(nullptr, FALSE);  // Ctrl+C is not ignored
    SetConsoleCtrlHandler(Ignore, TRUE);
  }
  void TearDown() override { SetConsoleCtrlHandler(Ignore, FALSE); }
  // A console of the test's own that takes Ctrl+C events. Under Wine with
  // the output piped the process has a console without a window, which
  // takes none; a new one does. A real console is left alone: the event
  // would reach every program on it.
  static bool OwnConsole() {
    static bool own = false;
    if (own || GetConsoleWindow() != nullptr) return own;
    FreeConsole();
    own = AllocConsole() != 0;
    return own;
  }
  // Tells the console tool to stop, as a key press would.
  static void Tell() { GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }
};

TEST_F(ConsoleEvents, CtrlCAndCtrlBreakAskForTheStop) {
  if (!OwnConsole()) GTEST_SKIP() << "no console of the test's own to press Ctrl+C in";
  {
    StopOnSignals stops;
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    EXPECT_TRUE(StopSoon());
    EXPECT_EQ(StopOnSignals::Cause(), "Ctrl+C");
  }
  EXPECT_FALSE(paradox::StopRequested()) << "the request outlived the work";
  StopOnSignals stops;
  EXPECT_EQ(HandleConsoleEvent(CTRL_BREAK_EVENT), 1);
  EXPECT_TRUE(paradox::StopRequested());
  EXPECT_EQ(StopOnSignals::Cause(), "Ctrl+Break");
}

// The process ends soon after the handler of a closing event returns: it
// returns only once the work is over.
TEST_F(ConsoleEvents, ClosingWaitsForTheWorkToEnd) {
  for (DWORD type : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
    SCOPED_TRACE(type);
    auto stops = std::make_unique<StopOnSignals>();
    std::atomic<int> handled{-1};
    std::thread handler([&] { handled = HandleConsoleEvent(type); });
    EXPECT_TRUE(StopSoon());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(handled.load(), -1) << "returned while the work went on";
    stops.reset();
    handler.join();
    EXPECT_EQ(handled.load(), 1);
  }
  EXPECT_EQ(HandleConsoleEvent(CTRL_C_EVENT + 100), 0);
}

#else

std::atomic<int> g_seen{0};
void Count(int) { ++g_seen; }

class ConsoleEvents : public ::testing::Test {
 protected:
  // A late signal, once no StopOnSignals is in force, only counts.
  void SetUp() override {
    struct sigaction sa = {};
    sa.sa_handler = Count;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &sa, &before_[s]);
  }
  void TearDown() override {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &before_[s], nullptr);
  }
  static void Tell() { ::kill(::getpid(), SIGTERM); }
  static bool OwnConsole() { return true; }
  struct sigaction before_[32] = {};
};

TEST_F(ConsoleEvents, SignalsAskForTheStopAndTheHandlingBeforeComesBack) {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    g_seen = 0;
    {
      StopOnSignals stops;
      ::raise(s);
      EXPECT_TRUE(paradox::StopRequested()) << s;
      EXPECT_EQ(StopOnSignals::Cause(), s == SIGINT ? "SIGINT" : s == SIGTERM ? "SIGTERM" : "SIGHUP");
    }
    EXPECT_FALSE(paradox::StopRequested()) << "the request outlived the work";
    ::raise(s);
    EXPECT_EQ(g_seen.load(), 1) << "the handling from before is not back for " << s;
  }
  // A signal the program was started ignoring stays ignored (nohup).
  signal(SIGHUP, SIG_IGN);
  {
    StopOnSignals stops;
    ::raise(SIGHUP);
    EXPECT_FALSE(paradox::StopRequested());
  }
}

#endif

// advclean told to stop at moments spread over a clean: each run ends with
// exit status 3 and its message, or had finished; the table is left
// consistent for a reader of its bytes, without a journal.
TEST_F(ConsoleEvents, AdvcleanToldToStopEndsAtAGroupBoundary) {
  if (!OwnConsole()) GTEST_SKIP() << "no console of the test's own to press Ctrl+C in";
  const fs::path root = testsupport::FreshFolder("advclean_told_to_stop");
  const fs::path source = root / "source", work = root / "work";
  fs::create_directories(source);
  SampleOptions so;
  so.rows = 60000;
  so.keyed = true;
  so.repeat_percent = 12;
  const std::string db = app::TablePath(work.string());
  ASSERT_OK(WriteSampleTable(paradox::FileSystem::Default(), app::TablePath(source.string()), so, nullptr));
  const size_t rows_before = testsupport::ReadRawTable(app::TablePath(source.string())).rows.size();

  auto run = [&](double delay, std::string* err) {
    fs::remove_all(work);
    fs::create_directories(work);
    for (const auto& e : fs::directory_iterator(source)) fs::copy_file(e.path(), work / e.path().filename());
    std::FILE* out = std::fopen((root / "out.txt").string().c_str(), "w+b");
    std::FILE* errf = std::fopen((root / "err.txt").string().c_str(), "w+b");
    std::thread teller;
    if (delay >= 0)
      teller = std::thread([delay] {
        std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        Tell();
      });
    const int code = RunAdvclean({"clean", work.string()}, out, errf, false);
    if (teller.joinable()) teller.join();
    std::rewind(errf);
    char buf[4096];
    size_t n;
    err->clear();
    while ((n = std::fread(buf, 1, sizeof buf, errf)) > 0) err->append(buf, n);
    std::fclose(out);
    std::fclose(errf);
    return code;
  };

  std::string err;
  const auto t0 = Clock::now();
  ASSERT_EQ(run(-1, &err), 0) << err;
  const double whole = std::chrono::duration<double>(Clock::now() - t0).count();
  const size_t rows_after = testsupport::ReadRawTable(db).rows.size();
  int stopped = 0;
  for (double share : {0.1, 0.4, 0.7, 0.9}) {
    SCOPED_TRACE("told after " + std::to_string(int(whole * share * 1000)) + " ms of " +
                 std::to_string(int(whole * 1000)));
    const int code = run(whole * share, &err);
    const testsupport::RawTable left = testsupport::ReadRawTable(db);
    for (const std::string& p : left.problems) ADD_FAILURE() << p;
    EXPECT_FALSE(paradox::JournalExists(paradox::FileSystem::Default(), db));
    EXPECT_FALSE(paradox::StopRequested());
    if (code == 3) {
      ++stopped;
      EXPECT_NE(err.find("the table is consistent"), std::string::npos) << err;
      EXPECT_GE(left.rows.size(), rows_after);
      EXPECT_LE(left.rows.size(), rows_before);
    } else {
      EXPECT_EQ(code, 0) << err;
      EXPECT_EQ(left.rows.size(), rows_after);
    }
  }
  EXPECT_GT(stopped, 0) << "no run was stopped; nothing was tested";
  fs::remove_all(root);
}

}  // namespace
}  // namespace tools
