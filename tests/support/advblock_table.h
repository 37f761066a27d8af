// AdvBlock tables with rows the test chooses, in the sample's field layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/status.h"
#include "tools/sample_data.h"

namespace testsupport {

// One row. A day or time of -1 leaves the field empty, and so does an
// empty name. `tag` goes into a last field FTag, when the table has one,
// that the passes do not read, so that identical rows can be told apart.
struct AdvRow {
  std::string name;
  int32_t day = -1;  // days since 30 December 1899
  int32_t ms = -1;   // milliseconds since midnight
  int32_t number = 0, order = 0, year = 0;
  int32_t tag = 0;
  const char* number_text = nullptr;  // FNumber as text: this, else number
};

struct AdvBlockOptions {
  bool keyed = false;  // an AutoInc key ahead of the six fields
  tools::NumberField number = tools::NumberField::kShort;
  bool tag = true;  // the FTag field
};

// Writes the table `path` (UTF-8) on the system's file system.
paradox::Status WriteAdvBlock(const std::string& path, const std::vector<AdvRow>& rows,
                              const AdvBlockOptions& options);

}  // namespace testsupport
