// Tables and fakes for the pass tests: AdvBlock tables written with the
// engine in a fresh folder per test, a progress display that records what
// it is asked to show, and a fixture holding a cleaner over them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/cleaner.h"
#include "cleaning/progress.h"
#include "paradox/engine.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "../support/advblock_table.h"

namespace cleaning::testing {

// One row: a day or time of -1, or an empty name, leaves the field empty;
// the tag tells identical rows apart afterwards.
using Row = testsupport::AdvRow;

struct TableOptions {
  bool long_number = false;   // FNumber as Long rather than Short
  bool alpha_number = false;  // FNumber as text (Row::number_text, else number)
  bool keyed = false;         // an AutoInc key ahead of the six fields
  bool without_number = false;  // no FNumber field at all
};

// Writes AdvBlock.db into a fresh folder named after `test`; returns its path.
std::string WriteTable(const std::string& test, const std::vector<Row>& rows, const TableOptions& options = {});

// The tags of a table's rows in its own order.
std::vector<int32_t> Tags(const std::string& path);

// Rows for the purge: dates around 1 January 2011 and around the century of
// two-digit years, and an empty date, so that a literal read as another day,
// or a century off, deletes another set of rows. The rows tagged 1..5 lie
// before 1 January 2011; PurgeKept() gives the tags of the others.
std::vector<Row> PurgeRows();
std::vector<int32_t> PurgeKept();

// A file's bytes, to see that nothing changed.
std::vector<uint8_t> FileBytes(const std::string& path);

// True when no row of the ordered read repeats the row before it.
bool NoAdjacentRepeats(const std::string& path);

struct RecordedProgress : ProgressReport {
  std::vector<std::pair<std::string, double>> shown;
  int due_calls = 0;
  bool due = true;  // the answer ProgressDue gives
  // Called with the number of each ProgressDue call; may throw, as
  // something that goes wrong in the middle of a pass would.
  std::function<void(int)> on_due;
  void ShowProgress(const std::string& text, double percent) override { shown.emplace_back(text, percent); }
  bool ProgressDue() override {
    ++due_calls;
    if (on_due) on_due(due_calls);
    return due;
  }
  // The percentages of the updates (empty text, above 0).
  std::vector<double> Updates() const;
  bool Closed() const { return !shown.empty() && shown.back().first.empty() && shown.back().second < 0; }
};

struct RecordedMessages : OperatorMessages {
  std::vector<std::pair<MessageKind, std::string>> shown;
  void ShowMessage(MessageKind kind, const std::string& text) override { shown.emplace_back(kind, text); }
};

// The passes' state and data sets, as the main window holds them, with a
// cleaner over them that reports to a recorded progress display.
class PassTest : public ::testing::Test {
 protected:
  TPassState state;
  dataset::TQuery Query;
  dataset::TTable Table;
  RecordedProgress progress;
  TCleaner cleaner{state, Query, Table, progress, paradox::SystemDateFormat()};
};

// Day counts used by the tests.
inline constexpr int32_t k2011 = 40544;  // 1 January 2011

}  // namespace cleaning::testing
