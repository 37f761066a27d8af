// A table's files read as bytes, without the engine: what another program
// that knows only the file format finds on disk. Tests of stops and crashes
// look with it, so that no recovery of the engine tidies up first.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct RawTable {
  std::vector<std::string> rows;      // records in chain order, as bytes
  std::vector<std::string> problems;  // broken rules of the format, one per line
};

// Reads the data file at `db_path` and, for a keyed table, the .PX beside
// it, checking: the block chain and its links, the header's record and
// block counts and last block against the chain, and every entry of the
// primary index (one per data block in chain order, with its first key
// and record count; counts summed upward; the header's entry count).
RawTable ReadRawTable(const std::string& db_path);

}  // namespace testsupport
