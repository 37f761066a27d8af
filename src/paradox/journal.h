// Undo journal for changes to a table's files. Before a change writes a byte
// it saves the bytes it will overwrite (and each file's length) in a file
// beside the table; once the change is complete the journal is cleared. A
// journal found intact at the next open means a change was cut short: its
// saved bytes are written back, so the table reads as it was before. It is
// written back only over the files as the change left them: should another
// program have changed them since, nothing is written and the journal is
// kept aside for the operator to settle (see SettleKeptJournal). A change
// is written through the journal by ApplyChange (store/journal_write.h).
//
// Journal layout (little-endian):
//   0   8  magic "PXUNDO03"
//   8   4  length of the journal, checksum included
//  12   4  number of files n, then per file: u16 name length, name, u64
//          length before the change, u64 least and u64 most length that the
//          change can leave the file at, wherever it is cut short
//      4  number of ranges m, then per range: u16 file, u64 offset, u32
//          size, u8 kind (0: bytes the change overwrites, 1: bytes a
//          shortening cuts off, 2: bytes the change writes past the file's
//          old end), the old bytes (kinds 0 and 1), then (kinds 0 and 2) a
//          u32 check of the new bytes of each piece of the range, the range
//          being cut into pieces at every multiple of 512 of the file offset
//          (the low half of JournalChecksum of the piece's new bytes)
//      8  checksum of everything before it (JournalChecksum)
// Journals of the earlier layouts ("PXUNDO02": files with their lengths
// before the change only, ranges without kind or checks; "PXUNDO01", the
// same with FNV-1a 64 as the checksum) are still undone, as they always
// were: they hold nothing to tell a later change by.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"

namespace paradox {

// The journal's path for a table's data file.
std::string JournalPath(const std::string& db_path);

// Undoes a change cut short, if the journal beside `db_path` holds one. The
// table must be held first: `held` is its data file opened kExclusive by
// the caller (written through), or null to have it opened so here. The
// other files the journal names (in the table's folder) are opened
// exclusively. Before a byte is written, every piece of every saved range
// must hold its old bytes or the bytes the change was writing (a write cut
// short by a crash ends on a sector, so a piece is one or the other), and
// every file a length the change could leave; otherwise nothing is written, the journal is renamed to
// KeptJournalPath and kJournalKept says what happened and what to do. Once
// written back, the files are forced to stable storage, the journal cleared
// and removed and the folder synced. `*undone` tells whether a change was
// undone. A journal that is not intact (cleared, or the change never began
// writing) is removed. Refuses with kJournalKept while a kept journal lies
// beside the table.
Status RecoverJournal(FileSystem* fs, const std::string& db_path, File* held, bool* undone);

// For an open that only reads the table: when a journal lies beside it,
// takes the table for a moment and recovers (see RecoverJournal). When the
// table cannot be taken (another program has it, or it is read-only), a
// journal of a change cut short is left alone and the open refused
// (kTableBusy, kReadOnly); any other journal is another user's at work, and
// reading goes on. Refuses with kJournalKept while a kept journal lies
// beside the table. Writes nothing else.
Status RecoverBeforeReading(FileSystem* fs, const std::string& db_path);

// Where a journal that could not be written back is kept.
std::string KeptJournalPath(const std::string& db_path);
bool KeptJournalExists(FileSystem* fs, const std::string& db_path);
// The error every open of the table gives while a kept journal lies there.
Status KeptJournalError(const std::string& db_path);

// What a journal (the kept one, or the hot one) says of the files now: one
// line per file taking part, and why it would be kept, if it would.
struct JournalReport {
  bool intact = false;     // a journal of a change cut short
  bool would_undo = true;  // the files are as the change left them
  std::string why;         // when not: what differs
  std::vector<std::string> lines;
};
// Reports on the journal at `journal_path` for the table at `db_path`,
// whose data file the caller holds (`held`, or null: opened here).
Status InspectJournal(FileSystem* fs, const std::string& db_path, const std::string& journal_path, File* held,
                      JournalReport* out);

// For the checker: one line per finding about the journals beside the
// table (a kept one, one of a change cut short and whether opening the
// table would undo it), each starting with the journal's path. Looks into
// them only while it can hold the table for a moment.
void DescribeJournals(FileSystem* fs, const std::string& db_path, std::vector<std::string>* problems);

// Settles a kept journal, holding the table meanwhile: kApply writes its
// saved bytes and the files' lengths back whatever the files hold now
// (another program's later change to those bytes is lost), kDiscard leaves
// the files as they are; either way the kept journal is then removed.
// kNotFound when there is none.
enum class KeptJournalAction { kApply, kDiscard };
Status SettleKeptJournal(FileSystem* fs, const std::string& db_path, KeptJournalAction action);

// The journal's checksum: a hash of 64-bit words in four lanes, quick
// enough to run over every change of a deletion walk. It catches a journal
// whose writing was cut short; it is no defence against deliberate change.
uint64_t JournalChecksum(const uint8_t* p, size_t n);

// True when a journal file lies beside the table (intact or not).
bool JournalExists(FileSystem* fs, const std::string& db_path);
// True when the journal beside the table holds a change cut short.
bool JournalIsHot(FileSystem* fs, const std::string& db_path);

}  // namespace paradox
