// Running a DELETE statement on its table.
#pragma once

#include <cstdint>

#include "paradox/engine.h"
#include "paradox/file.h"
#include "paradox/sql.h"

namespace paradox {

// Deletes the rows of `st.table` that match `st.where` (every row without
// a condition). Rows whose field is empty never match. The literal is read
// by the field's type, dates with `format`. Fails before changing anything
// when the table cannot be changed, the field does not exist or the literal
// does not parse. Large deletions are written in several changes, each
// complete in itself; `*deleted` counts the rows gone.
Status ExecuteDelete(FileSystem* fs, const Statement& st, const DateFormat& format, uint32_t* deleted);

}  // namespace paradox
