// The files that make up a table, found beside its data file: which names
// of its folder belong to it and what each is, and whether another program
// holds its lock files. The reader, the editor, the checker and the safety
// copy all find a table's files here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox {

// What a file beside a data file is to its table. Names match the data
// file's name up to its extension, ASCII letter case ignored.
enum class FileRole {
  kNone,            // not the table's
  kPrimaryIndex,    // .PX
  kBlobs,           // .MB
  kValidity,        // .VAL
  kSecondary,       // .Xnn/.Ynn (nn hexadecimal) or .XGn/.YGn (n a digit)
  kUnknownIndex,    // .Xg?/.Yg? or .Xh?/.Yh? of no kind the engine knows
  kView,            // .TV
  kFamily,          // .FAM
  kLock,            // the table's own .LCK, or a folder's PDOXUSRS.LCK/PARADOX.LCK
  kJournal,         // the undo journal, or one kept aside
};

// The role of the file `name` for the table whose data file is named
// `db_name` (both names without their folder). The data file itself is
// kNone.
FileRole RoleOf(std::string_view db_name, std::string_view name);

// For a secondary index file: true for the data half (.Xnn/.XGn), false
// for the index (.Ynn/.YGn); `*number` gets what follows the letter ("02",
// "g0"), which pairs the two halves.
bool IsSecondaryData(std::string_view name, std::string* number);

// One file of the table, as the folder spells its name.
struct TableFileName {
  std::string name;
  FileRole role = FileRole::kNone;
};

// The files beside the data file `db_path` that belong to its table (every
// role but kNone), sorted by name; `*dir` gets the folder.
Status ListTableFiles(FileSystem* fs, const std::string& db_path, std::string* dir, std::vector<TableFileName>* out);

// Fails with kTableBusy when another program holds one of the lock files
// among `files` (of the folder `dir`). A lock file nobody holds is only
// left over and means nothing.
Status CheckLockFiles(FileSystem* fs, const std::string& db_path, const std::string& dir,
                      const std::vector<TableFileName>& files);

}  // namespace paradox
