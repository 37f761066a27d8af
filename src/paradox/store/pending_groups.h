// What this process keeps of a table between calls, and how it makes way
// before the table is read or taken anew: the groups of deletions editors
// have gathered but not written, and the walks that hold a table open.
// Kept apart from the editor, so that the reader and the checker, which
// only make way, do not depend on it.
#pragma once

#include <string>

namespace paradox {

// Deletions gathered and not yet written (an editor's group).
class PendingGroup {
 public:
  virtual ~PendingGroup() = default;
  // Writes the group; errors reach the group's own user.
  virtual void WriteGroup() = 0;
};
// A group is listed from its first deletion until it is written or dropped.
void AddPendingGroup(PendingGroup* group);
void RemovePendingGroup(PendingGroup* group);

// Writes the groups every editor of this process has gathered: called
// before the table is read through another handle (a reader, a checker or
// another editor), so that what is read is what the data sets show. Errors
// reach the editors' own users (see TableEditor::failure).
void FlushPendingGroups();

// Something of this process that keeps a table open between its calls (a
// deletion walk). Before the table is opened anew in this process it is
// asked to let the table go: it writes what it gathered and closes its
// files, to take them again (and find its row afresh) when next used; so
// the process's own open table is never "another program" to it. A holder
// lets go only between its own calls.
class TableHolder {
 public:
  virtual ~TableHolder() = default;
  virtual const std::string& held_path() const = 0;
  virtual void LetGo() = 0;
};
void AddTableHolder(TableHolder* holder);
void RemoveTableHolder(TableHolder* holder);

// Before the table at `db_path` is opened by a reader, an editor or the
// checker: writes every gathered group (FlushPendingGroups) and asks the
// holders of that table to let it go.
void MakeWayFor(const std::string& db_path);

}  // namespace paradox
