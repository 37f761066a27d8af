// Proving a table exact: a structural check of a table and every file that
// belongs to it, and the rebuilding of its indexes from their data files.
#pragma once

#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox {

// Checks the table whose data file is `db_path` and the files beside it:
//  - every file's header (file type, version, block size, record size
//    against the fields, block and record counts, chain ends, flags);
//  - every block chain (next and previous pointers, record counts, no
//    loops, no empty block except the one an emptied table keeps) and free
//    list (no loops, no block in use, every block of the file on exactly
//    one of the two);
//  - keyed files: key order along the chain, as far as it can be decided
//    without collation tables, which the files do not hold;
//  - the primary index (.PX) and each secondary index pair (.Xnn/.Ynn,
//    .XGn/.YGn): the index tree against its data file's chain, record
//    counts, and the stamps that tie each file to the table;
//  - the .VAL stamp and every blob reference into the .MB.
// Appends one English line per problem to `*problems`, each starting with
// the name of the file concerned; lines of one kind that repeat many times
// are cut short by a line that counts the rest.
//
// Returns OK whenever the check could run, whether or not it found
// problems. Fails only when the data file cannot be read at all (kNotFound,
// kIoError, kTableBusy, ...) or is password protected (kEncrypted: its
// blocks cannot be read without the password). Only reads. Memory stays
// bounded by the sizes of the files, whatever their bytes say.
Status CheckTable(FileSystem* fs, const std::string& db_path, std::vector<std::string>* problems);

// Rebuilds every index of the table that CheckTable finds missing or wrong:
// the .PX from the .DB's chain, each .Ynn/.YGn from its .Xnn/.XGn's chain.
// A rebuilt index keeps its old header (block size, version, counters) and
// gets the stamp that matches its data file; a missing one is made new
// (the .PX named after the table, e.g. AdvBlock.PX). Indexes that check
// clean are left as they are. Appends one line per file written to
// `*done`.
//
// Holds the data file against every other user while it works (kTableBusy
// when another program has it open; kReadOnly when it may not be written).
// Refuses with kCorruptBlock, writing nothing, when the .DB or an .Xnn/.XGn
// is itself damaged (header, chain, free list or key order): an index
// built from a damaged chain would only hide the damage. Data files are
// never written.
//
// Each index is written so that a crash at any moment leaves either the
// new index complete, or an index whose stamp marks it out of date (which
// this function then rebuilds the next time it runs).
Status RepairIndexes(FileSystem* fs, const std::string& db_path, std::vector<std::string>* done);

}  // namespace paradox
