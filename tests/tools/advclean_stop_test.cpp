// advclean stopped by SIGTERM, SIGINT and SIGHUP at random moments of a
// clean, on keyed and unkeyed tables: every run must end at a group
// boundary, leaving no journal and files that a reader of the raw format
// finds consistent, holding the rows of some point between the changes of
// an uninterrupted run. ADVCLEAN_STOP_RUNS sets the runs per table kind
// (12 by default) for longer trials.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "paradox/check.h"
#include "paradox/journal.h"
#include "paradox/value.h"
#include "../support/raw_table.h"
#include "tools/sample_data.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Row = std::string;

struct Outcome {
  bool signalled = false;  // ended by the signal itself
  int exit_code = -1;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, std::string> FolderBytes(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = Slurp(e.path());
  return out;
}

void CopyFolder(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), to / e.path().filename());
}

// Runs `advclean clean FOLDER`, sending `signal` after `delay` seconds
// (none when the delay is negative).
Outcome RunClean(const fs::path& folder, double delay, int signal) {
  const fs::path err_file = folder.parent_path() / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string program = ADVCLEAN_PROGRAM, command = "clean", dir = folder.string();
  char* argv[] = {program.data(), command.data(), dir.data(), nullptr};
  // A shell's background job starts ignoring SIGINT, and advclean keeps a
  // signal ignored: the child gets the default handling of all three.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  Outcome o;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    o.err = "could not start " + program;
    return o;
  }
  if (delay >= 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    ::kill(pid, signal);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  o.signalled = WIFSIGNALED(status);
  if (WIFEXITED(status)) o.exit_code = WEXITSTATUS(status);
  o.err = Slurp(err_file);
  return o;
}

// Each row of `part` matched, in order, to the latest equal row of `whole`
// not taken yet, from the end: among equal rows the earliest count as gone,
// as a walk deletes front to back. False when some row has no match (torn,
// moved or foreign).
bool MatchFromEnd(const std::vector<Row>& whole, const std::vector<Row>& part, std::vector<bool>* kept) {
  kept->assign(whole.size(), false);
  size_t o = whole.size();
  for (size_t l = part.size(); l-- > 0;) {
    while (o > 0 && whole[o - 1] != part[l]) --o;
    if (o == 0) return false;
    (*kept)[--o] = true;
  }
  return true;
}

const char* SignalName(int s) { return s == SIGTERM ? "SIGTERM" : s == SIGINT ? "SIGINT" : "SIGHUP"; }

class AdvcleanStopTest : public ::testing::TestWithParam<bool> {};  // keyed or not

TEST_P(AdvcleanStopTest, SignalsEndTheCleanAtAGroupBoundary) {
  const bool keyed = GetParam();
  const fs::path scratch = testsupport::FreshFolder((keyed ? "stop-keyed-" : "stop-") + std::to_string(::getpid()));
  const fs::path source = scratch / "source", work = scratch / "work";
  fs::create_directories(source);
  tools::SampleOptions so;
  so.rows = 150000;  // a clean of about a second, with thousands of groups' worth of copies
  so.keyed = keyed;
  so.old_percent = 30;
  so.repeat_percent = 12;
  so.seed = keyed ? 5 : 6;
  ASSERT_OK(tools::WriteSampleTable(paradox::FileSystem::Default(), (source / "AdvBlock.db").string(), so, nullptr));
  const std::string db = (work / "AdvBlock.db").string();
  const std::string journal = fs::path(paradox::JournalPath(db)).filename().string();

  testsupport::RawTable original = testsupport::ReadRawTable((source / "AdvBlock.db").string());
  ASSERT_TRUE(original.problems.empty()) << original.problems[0];
  const auto before = FolderBytes(source);
  // FDate is the second field of an unkeyed sample, the third of a keyed one.
  const size_t date_at = keyed ? 4 + 80 : 80;
  const uint32_t cutoff = uint32_t(paradox::DayFromCivil(2011, 1, 1));
  auto old = [&](const Row& r) {
    const uint32_t v = uint32_t(uint8_t(r[date_at])) << 24 | uint32_t(uint8_t(r[date_at + 1])) << 16 |
                       uint32_t(uint8_t(r[date_at + 2])) << 8 | uint8_t(r[date_at + 3]);
    return v != 0 && (v ^ 0x80000000u) < cutoff;  // an empty date is no date before 2011
  };

  // One run left alone: how long the work takes, and what it leaves.
  CopyFolder(source, work);
  const auto t0 = Clock::now();
  Outcome whole_run = RunClean(work, -1, 0);
  // Shortened by every later run that finishes first: on a busy machine
  // the first run may be slow.
  double whole = std::chrono::duration<double>(Clock::now() - t0).count();
  ASSERT_FALSE(whole_run.signalled);
  ASSERT_TRUE(whole_run.exit_code == 0 || whole_run.exit_code == 1) << whole_run.err;
  const std::vector<Row> done = testsupport::ReadRawTable(db).rows;
  std::vector<bool> kept_at_end;
  ASSERT_TRUE(MatchFromEnd(original.rows, done, &kept_at_end));
  size_t purged = 0, walked = 0;
  for (size_t i = 0; i < original.rows.size(); ++i) {
    purged += old(original.rows[i]);
    walked += !kept_at_end[i] && !old(original.rows[i]);
  }
  ASSERT_GT(purged, 0u);
  ASSERT_GT(walked, 1000u);
  ASSERT_EQ(original.rows.size() - done.size(), purged + walked) << "the whole run deleted other rows";

  const char* env = std::getenv("ADVCLEAN_STOP_RUNS");
  const int runs = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 12;
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  std::map<std::string, int> phases;
  uint32_t x = keyed ? 0x2545F491u : 0x9E3779B9u;
  fs::path last_stopped;
  for (int k = 0; k < runs && !HasFailure(); ++k) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    const double delay = whole * 1.05 * (x % 10000) / 10000.0;
    const int sig = signals[k % 3];
    const std::string run = "run " + std::to_string(k) + " (" + SignalName(sig) + " after " +
                            std::to_string(int(delay * 1000)) + " ms)";
    CopyFolder(source, work);
    const auto started = Clock::now();
    const Outcome o = RunClean(work, delay, sig);
    const double took = std::chrono::duration<double>(Clock::now() - started).count();

    // No journal, nothing left beside the table's own files.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(work)) names.insert(e.path().filename().string());
    EXPECT_EQ(names.count(journal), 0u) << run << ": the journal is left";
    for (const auto& [name, bytes] : before) EXPECT_EQ(names.count(name), 1u) << run << ": " << name << " is gone";
    EXPECT_EQ(names.size(), before.size()) << run << ": files were left beside the table";

    const testsupport::RawTable left = testsupport::ReadRawTable(db);
    for (const std::string& p : left.problems) ADD_FAILURE() << run << ": " << p;
    // With no journal there is nothing the engine's checker could undo
    // first: its finer rules (the index's stamp) may be asked too.
    if (names.count(journal) == 0) {
      std::vector<std::string> problems;
      EXPECT_OK(paradox::CheckTable(paradox::FileSystem::Default(), db, &problems)) << run;
      for (const std::string& p : problems) ADD_FAILURE() << run << ": check: " << p;
    }
    std::vector<bool> kept;
    if (!MatchFromEnd(original.rows, left.rows, &kept)) {
      ADD_FAILURE() << run << ": a row left is no original row in the original order";
      continue;
    }
    // The rows deleted: rows the work deletes, the purge's from the front
    // of the chain, the walk's only after the whole purge and from the
    // front of the walk.
    size_t last_old_gone = 0, last_walk_gone = 0, olds_kept = 0, walk_gone = 0;
    bool any_old_gone = false;
    for (size_t i = 0; i < kept.size(); ++i) {
      const bool is_old = old(original.rows[i]);
      if (kept[i]) {
        olds_kept += is_old;
        continue;
      }
      if (is_old) {
        last_old_gone = i, any_old_gone = true;
      } else if (kept_at_end[i]) {
        ADD_FAILURE() << run << ": row " << i << " is gone, though the work keeps it";
        break;
      } else {
        last_walk_gone = i, ++walk_gone;
      }
    }
    for (size_t i = 0; i < kept.size(); ++i) {
      if (!kept[i]) continue;
      if (old(original.rows[i]) && any_old_gone && i < last_old_gone) {
        ADD_FAILURE() << run << ": the purge kept row " << i << " but deleted row " << last_old_gone;
        break;
      }
      if (walk_gone > 0 && !kept_at_end[i] && !old(original.rows[i]) && i < last_walk_gone) {
        ADD_FAILURE() << run << ": the walk kept row " << i << " but deleted row " << last_walk_gone;
        break;
      }
    }
    if (walk_gone > 0) {
      EXPECT_EQ(olds_kept, 0u) << run << ": the walk deleted before the purge was through";
    }

    std::string phase;
    if (o.signalled && FolderBytes(work) == before) {
      // Before advclean took the signals: nothing was changed.
      phase = "killed before the start";
    } else if (o.signalled) {
      // After it let them go again, on its way out: the work was through.
      phase = "killed after the end";
      EXPECT_TRUE(left.rows == done) << run << ": killed by the signal while changing the table";
    } else if (o.exit_code == 0 || o.exit_code == 1) {
      phase = "finished first";
      whole = std::min(whole, took);
      EXPECT_TRUE(left.rows == done) << run << ": finished, but not as the whole run";
    } else {
      ASSERT_EQ(o.exit_code, 3) << run << ": " << o.err;
      EXPECT_NE(o.err.find(std::string("stopped by ") + SignalName(sig)), std::string::npos) << run << ": " << o.err;
      EXPECT_NE(o.err.find("the table is consistent"), std::string::npos) << run << ": " << o.err;
      if (o.err.find("while deleting the copies") != std::string::npos) {
        phase = "stopped deleting the copies";
        EXPECT_EQ(olds_kept, 0u) << run;
      } else {
        EXPECT_NE(o.err.find("during the analysis"), std::string::npos) << run << ": " << o.err;
        EXPECT_EQ(walk_gone, 0u) << run << ": stopped in the analysis after deleting copies";
        phase = olds_kept > 0 ? "stopped in the purge" : "stopped in the read";
      }
      last_stopped = scratch / ("stopped-" + std::to_string(k));
      CopyFolder(work, last_stopped);
    }
    ++phases[phase];
  }

  // Running again goes on from the stop: a clean that completes, leaving
  // a consistent table and no journal. (It need not leave what one whole
  // run leaves: with rows gone, the read finds other neighbours.)
  if (!last_stopped.empty() && !HasFailure()) {
    CopyFolder(last_stopped, work);
    const std::vector<Row> stopped = testsupport::ReadRawTable(db).rows;
    const Outcome again = RunClean(work, -1, 0);
    EXPECT_TRUE(again.exit_code == 0 || again.exit_code == 1) << again.err;
    const testsupport::RawTable after = testsupport::ReadRawTable(db);
    for (const std::string& p : after.problems) ADD_FAILURE() << "running again: " << p;
    std::vector<bool> kept;
    EXPECT_TRUE(MatchFromEnd(stopped, after.rows, &kept)) << "running again: a row left is no row of before";
    if (stopped.size() > done.size()) {
      EXPECT_LT(after.rows.size(), stopped.size()) << "running again deleted nothing";
    }
    EXPECT_FALSE(fs::exists(work / journal));
  }

  std::printf("%s table: the clean takes %.0f ms; %d runs:", keyed ? "keyed" : "unkeyed", whole * 1000, runs);
  for (const auto& [phase, n] : phases) std::printf(" %d %s;", n, phase.c_str());
  std::printf("\n");
  EXPECT_GT(phases["stopped deleting the copies"] + phases["stopped in the purge"] + phases["stopped in the read"], 0)
      << "no run was stopped part way; nothing was tested";
  if (!HasFailure()) fs::remove_all(scratch);
}

INSTANTIATE_TEST_SUITE_P(KeyedAndNot, AdvcleanStopTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keyed" : "NotKeyed"; });

}  // namespace

#endif  // _WIN32
