// Running a DELETE statement on its table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "paradox/engine.h"
#include "paradox/file.h"
#include "paradox/sql.h"

namespace paradox {

// Deletes the rows of `st.table` that match `st.where` (every row without
// a condition). Rows whose field is empty never match. The literal is read
// by the field's type, dates with `format`. The table is only read until a
// row to delete is found: with none, it is never opened for writing (a
// read-only table, or one another program holds, then gives no error) and
// no byte changes. Fails before changing anything when the table cannot be
// changed, the field does not exist or the literal does not parse. Each block is read once and written once: the deletions
// are gathered and written as one journaled change, forced to stable
// storage, whenever the blocks they changed reach `group_bytes`, and at the
// end, so a large deletion is written as several changes, each complete in
// itself; `*deleted` counts the rows written gone. A stop requested (see
// stop.h) ends it between two runs of blocks, after the deletions gathered
// so far are written, with kStopped.
constexpr size_t kStatementGroupBytes = 8u << 20;
Status ExecuteDelete(FileSystem* fs, const Statement& st, const DateFormat& format, uint32_t* deleted,
                     size_t group_bytes = kStatementGroupBytes);

}  // namespace paradox
