// advclean's --backup: a copy of the table and its files taken before the
// passes change anything.
#pragma once

#include <ctime>
#include <string>

#include "paradox/file.h"
#include "paradox/status.h"
#include "tools/table_copy.h"

namespace tools {

// The copy's folder name for the local time `when`: 2024-05-01_02-00-00,
// so that a folder's copies sort by age.
std::string BackupFolderName(const std::tm& when);

// Copies the table at `table` into a new folder inside `dir` named after
// the local time now (see paradox::CopyTable). Fails with the engine's
// status; the table is never written.
paradox::Status TakeBackup(paradox::FileSystem* fs, paradox::Folders* folders, const std::string& table,
                           const std::string& dir, paradox::TableCopy* copy);

}  // namespace tools
