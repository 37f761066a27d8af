// The order of a keyed file's records (a keyed table's .DB, a secondary
// index's .Xnn/.XGn), as far as the stored bytes decide it. The reader, the
// editor and the checker all judge keys by it.
//
// Numbers, dates, times and the like are stored so that byte order is value
// order. An Alpha value is its text up to the first zero byte; texts are
// ordered by the table's collation, which is plain byte order only for the
// "ascii" sort order. Under any other the order of two differing texts is
// not known here, but equal texts are equal under every collation, and
// every collation is a total order: so along the chain the keys must still
// be distinct, and the records that share the leading fields up to such a
// field must follow one another. Secondary indexes may sort a field
// descending: its field number carries bit 15; an index whose header marks
// a descending direction (byte 0x55, bit 0x10) without saying which field
// is judged like an undecidable collation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "paradox/format/header.h"
#include "paradox/format/block.h"

namespace paradox {

class RecordChain;

class KeyOrder {
 public:
  enum Result { kBefore, kSame, kAfter, kUndecided };

  // `head` holds the file's header bytes; `secondary` for an .Xnn/.XGn.
  void Setup(const TableHeader& h, const std::vector<uint8_t>& head, bool secondary);
  size_t fields() const { return fields_.size(); }
  // Bytes from a record's start to the end of its last key field.
  size_t key_bytes() const { return key_bytes_; }
  // Whether the bytes decide the order of two differing values of key
  // field `i`.
  bool decided(size_t i) const { return fields_[i].dir != kUnknown; }

  // Where record `b` stands relative to record `a`. `*differ`, when given,
  // gets the first key field in which they differ (fields() when none).
  Result Compare(const uint8_t* a, const uint8_t* b, size_t* differ = nullptr) const;
  // Whether the first `n` key fields of `a` and `b` hold the same values.
  bool Same(const uint8_t* a, const uint8_t* b, size_t n) const;
  // A hash of the values of the first `n` key fields.
  uint64_t Hash(const uint8_t* rec, size_t n) const;

 private:
  enum Dir { kAsc, kDesc, kUnknown };
  struct KeyField {
    uint16_t offset, size;
    bool alpha;
    Dir dir;
  };
  int CompareField(const KeyField& k, const uint8_t* a, const uint8_t* b) const;
  std::vector<KeyField> fields_;
  size_t key_bytes_ = 0;
};

// Follows the records of a keyed file in chain order and tells where they
// break the key order: a record whose key sorts before, or equals, the key
// of the record before it (Add), and records that begin a second run of
// values which an earlier run began (Candidates, to be confirmed with
// KeyOrder::Same, since runs are matched by hash).
class KeyOrderCheck {
 public:
  explicit KeyOrderCheck(const KeyOrder& order) : order_(order) {}
  // The next record, at `at`; kBefore or kSame when it breaks the order
  // against the record before it.
  KeyOrder::Result Add(const uint8_t* rec, RowPos at);

  struct Repeat {
    RowPos first, second;  // where the two runs begin, in chain order
    size_t fields;         // the leading key fields the runs share
  };
  std::vector<Repeat> Candidates();

 private:
  struct Run {
    uint64_t hash;
    uint32_t seq;
    uint16_t fields;
    RowPos at;
  };
  const KeyOrder& order_;
  std::vector<uint8_t> last_;
  std::vector<Run> runs_;
  uint32_t seq_ = 0;
};

// The problem texts, "block B, record R: ..." (R counted from 1).
std::string KeyOrderProblem(KeyOrder::Result r, RowPos at);
std::string KeyRepeatProblem(const KeyOrderCheck::Repeat& r);

// Checks the key order of every record of `chain` (a keyed .DB, or with
// `secondary` an .Xnn/.XGn): kCorruptBlock naming the first record out of
// order. Reads every block once.
Status CheckChainKeyOrder(const RecordChain& chain, bool secondary);

}  // namespace paradox
