// Helpers the table tests share: writing a table row by row and reading
// back the first field of every row of "t.db".
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fault_file_system.h"
#include "paradox/env/file_mem.h"
#include "paradox/file.h"
#include "paradox/sql.h"
#include "paradox/table_writer.h"
#include "status_assert.h"

namespace paradox {

// Writes a table of `rows` records, each filled by `fill` (with its index
// from 0) after the builder is cleared.
void WriteTable(FileSystem* fs, const std::string& path, std::vector<FieldDef> fields, const CreateOptions& o, int rows,
                const std::function<void(RecordBuilder*, int)>& fill);

// The first field (an integer) of every row of "t.db", in the table's order.
std::vector<int> Ids(FileSystem* fs);

// "t.db" with 40 rows, ID 1..40 with an empty Pad of 200 bytes, four to a
// 1 KB block; keyed or not.
void FortyRows(MemFileSystem* fs, bool keyed);

// from, from + 1, ... to, leaving out every number n with n % skip_every
// == 1 when skip_every is given.
std::vector<int> Range(int from, int to, int skip_every = 0);

// The files of "t.db" (and its "t.PX" when keyed): rows with ID 1..rows and
// a Pad "row N" of 200 bytes, four to a 1 KB block, the index in 1 KB
// blocks, so that a few hundred rows give an index of several blocks.
std::map<std::string, std::vector<uint8_t>> PaddedTable(bool keyed, int rows);

// Runs a DELETE statement, with the dates of the system's format.
Status RunDelete(FileSystem* fs, const Statement& st);

// The fault-injecting file system and the forwarding layers, under the
// engine's names as the table tests use them.
using testsupport::Fault;
using testsupport::FaultFileSystem;
using testsupport::FaultPlan;
using testsupport::FaultPoint;
using testsupport::ForEachFaultPoint;
using testsupport::ForwardingFile;
using testsupport::ForwardingFileSystem;
using testsupport::kCreations;
using testsupport::kSyncs;
using testsupport::kWrites;

}  // namespace paradox
