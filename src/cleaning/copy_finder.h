// Matching table rows to listed records during the deletion pass.
//
// A row may only be deleted when a listed record equals it in all six
// fields; the list's key leaves Order and YearOrder out. The finder groups
// the list's identical records into classes and counts how many of each
// class have been used, so a look-up costs one bisection however many
// records share a key. Used records stay in the list until Finish, which
// removes them all in one pass: removing them one by one would cost a shift
// of the list per deleted row.
#pragma once

#include <cstdint>
#include <vector>

#include "cleaning/dup_list.h"

namespace cleaning {

class TCopyFinder {
 public:
  // The list must not change while the finder is in use, except by Finish.
  explicit TCopyFinder(TDupList& list);
  TCopyFinder(const TCopyFinder&) = delete;
  TCopyFinder& operator=(const TCopyFinder&) = delete;
  // Removes the used records when Finish has not run (an error is
  // unwinding the pass), so the list never keeps a record whose row went.
  ~TCopyFinder();

  // False when no record of the list equals `rec` in all six fields; true
  // when one may (then Find tells). Costs one hash of `rec`, where a
  // search costs a bisection: most rows of a table are no copies.
  bool MayHold(const TBlockRec& rec) const;
  // The position of an unused record equal to `rec` in all six fields, or
  // -1 when there is none.
  int Find(const TBlockRec& rec) const;
  // Marks the record at `position` used; it must be what Find just gave.
  void Use(int position);
  // Gives back the last `n` records marked used: their rows came back
  // (a group of deletions that could not be written).
  void GiveBack(int n);
  int Used() const { return used_total_; }
  // Removes the used records from the list, keeping the order of the rest.
  void Finish();

 private:
  TDupList& list_;
  std::vector<int> order_;        // list positions by key, Order, YearOrder
  std::vector<int> class_start_;  // per list position: its class's first index in order_
  std::vector<int> used_;         // per index of order_ that starts a class: records used
  std::vector<char> marked_;      // per list position: used
  std::vector<int> uses_;         // list positions in the order they were used
  std::vector<uint64_t> hashed_;  // a bit per hash value (mod its size) of a listed record
  int used_total_ = 0;
  bool finished_ = false;
};

}  // namespace cleaning
