// AdvBlock tables for the main window's tests, written with the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_app {

struct BlockRow {
  std::string name;  // Windows-1251
  int32_t day = 0;   // days since 30 December 1899
  int32_t ms = 0;    // milliseconds since midnight
  int32_t number = 0;
  int32_t order = 0;
  int32_t year = 0;
};

// A fresh folder for one test (emptied when it exists), as a UTF-8 path;
// `name` is UTF-8 too.
std::string FreshFolder(const std::string& name);

// Writes `folder`/AdvBlock.db with FName A80, FDate, FTime, FNumber Short,
// FOrder Long and FYearOrder Short (without FNumber when asked). Returns the
// table's path.
std::string WriteAdvBlock(const std::string& folder, const std::vector<BlockRow>& rows, bool with_number = true);

// The rows of a table in its own order.
std::vector<BlockRow> ReadAdvBlock(const std::string& path);

}  // namespace testing_app
