// The duplicate list: records owned one by one, their order, the sort and
// the search by bisection.
#pragma once

#include <memory>
#include <vector>

#include "table/block_rec.h"

namespace cleaning {

class ProgressReport;
using dataset::TBlockRec;

class TDupList {
 public:
  TDupList() = default;
  TDupList(const TDupList&) = delete;
  TDupList& operator=(const TDupList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TBlockRec* operator[](int i) const { return items_[static_cast<size_t>(i)].get(); }

  // Appends a fresh copy of `rec`, which the list owns from now on.
  TBlockRec* Add(const TBlockRec& rec);
  // Removes entry `i` and releases its record.
  void Delete(int i);
  // Removes every entry whose flag in `marked` is set, keeping the order of
  // the rest; one pass over the list.
  void DeleteMarked(const std::vector<char>& marked);
  void Clear() { items_.clear(); }
  // Swaps the records at two positions; the records themselves stay put.
  void Exchange(int i, int j) { items_[static_cast<size_t>(i)].swap(items_[static_cast<size_t>(j)]); }

 private:
  std::vector<std::unique_ptr<TBlockRec>> items_;
};

// Order by Date, Time, Number, then Name byte by byte: -1, 0 or 1.
// Order and YearOrder take no part.
int CompareBlocks(const TBlockRec& a, const TBlockRec& b);

// True when all six fields are equal: the test for a repeated row.
bool SameBlock(const TBlockRec& a, const TBlockRec& b);

// Sorts the list with CompareBlocks, not stably. Above 1024 records it first
// shows "Сортировка" at 0 % and leaves the display open for the grid fill
// that follows.
void SortList(TDupList& list, ProgressReport& progress);

// A position whose record has the key of `rec`, or -1. The list must be
// sorted by CompareBlocks. When `comparisons` is given, the number of
// comparisons made is added to it.
int FindIndex(const TDupList& list, const TBlockRec& rec, long* comparisons = nullptr);

}  // namespace cleaning
