// The structural check of a table, file by file (see check.h): what it
// finds of each file, kept for the index repair, which rebuilds from it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/format/header.h"
#include "paradox/status.h"
#include "paradox/store/block_file.h"
#include "paradox/store/check_report.h"

namespace paradox::check {

constexpr uint32_t kMaxBlockNumber = 65535;

// What a file is to the table, which decides the file types it may have.
enum class Role { kTable, kSecondaryData, kPrimaryIndex, kSecondaryIndex };

inline bool IsDataRole(Role r) { return r == Role::kTable || r == Role::kSecondaryData; }

struct ChainBlock {
  uint16_t block;
  uint32_t count;  // records, or index entries
  bool valid;      // its record count field made sense
};

// One file of the table as the check found it.
struct TableFile {
  std::string path, name;
  Role role = Role::kTable;
  BlockFile io;
  bool opened = false;          // the file could be opened and read
  TableHeader h;                // fields from the header; counts as stored
  bool usable = false;          // the header describes blocks that can be walked
  bool sound = true;            // no damage of its own (header, chain, free list, keys)
  bool chain_complete = false;  // the chain walk reached its end normally
  bool keys_match = false;      // index files: key fields are the data file's
  uint16_t max_blocks = 0;      // header byte 0x3A
  uint32_t blocks = 0;          // blocks the file holds (at most 65535)
  std::vector<ChainBlock> chain;
  uint64_t chain_count = 0;                // records (entries) along the chain
  std::vector<uint8_t> in_chain, on_free;  // per block number
  uint32_t key_size = 0;                   // bytes of the key at the start of a record

  uint8_t byte(size_t at) const { return at < io.head().size() ? io.head()[at] : 0; }
};

// A lowest-level entry of an index: its key and the data block it names.
struct IndexLeaf {
  std::vector<uint8_t> key;
  uint16_t block;
  uint32_t count;
};

// Called with each chain block of a data file and its records.
using RecordVisitor = std::function<void(uint16_t block, const uint8_t* records, uint32_t count)>;

class TableChecker {
 public:
  TableChecker(FileSystem* fs, const std::string& db_path, File* held_db, std::vector<std::string>* problems)
      : fs_(fs), db_path_(db_path), held_db_(held_db), report_(problems) {}

  Status Run();

  // What the run found, for the repair.
  struct Secondary {
    std::unique_ptr<TableFile> x, y;  // null when missing
    std::string y_path;               // the .Ynn's path, or the one to create
    uint8_t y_type = 4;
  };
  TableFile& db() { return db_; }
  TableFile* px() { return px_.get(); }
  const std::string& px_path() const { return px_path_; }
  std::vector<Secondary>& secondary() { return secondary_; }
  bool exact(const TableFile& f) const { return report_.CountFor(f.name) == 0; }
  // Closes every file the run opened.
  void CloseAll();

 private:
  void Add(TableFile& f, const std::string& text) { report_.Add(f.name, text); }
  void Damage(TableFile& f, const std::string& text) {
    f.sound = false;
    report_.Add(f.name, text);
  }
  void DamageRepeated(TableFile& f, const std::string& kind, const std::string& text) {
    f.sound = false;
    report_.AddRepeated(f.name, kind, text);
  }

  Status OpenFile(TableFile* f, const std::string& path, Role role, File* held);
  bool CheckHeader(TableFile& f);
  bool CheckHeaderFrame(TableFile& f);
  bool ReadHeaderFields(TableFile& f);
  void CheckUsedHeaderLength(TableFile& f);
  void CheckBlockCounts(TableFile& f);
  void WalkBlocks(TableFile& f, const RecordVisitor& visit);
  uint32_t WalkChain(TableFile& f, const RecordVisitor& visit);
  void WalkFreeList(TableFile& f);
  void CheckDataFile(TableFile& f);
  void CheckIndex(TableFile& ix, TableFile& data);
  void CheckIndexTree(TableFile& ix, TableFile& data);
  void CompareLeaves(TableFile& ix, TableFile& data, const std::vector<IndexLeaf>& leaves,
                     const std::vector<const ChainBlock*>& data_blocks);
  void CheckSecondary(Secondary& s);
  void FindCompanions();

  FileSystem* fs_;
  std::string db_path_;
  File* held_db_;
  Report report_;
  TableFile db_;
  std::unique_ptr<TableFile> px_;
  std::string px_path_, mb_path_, val_path_;
  std::vector<Secondary> secondary_;
  std::vector<std::string> orphan_indexes_;  // .Ynn without .Xnn
};

}  // namespace paradox::check
