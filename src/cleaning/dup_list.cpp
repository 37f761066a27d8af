#include "cleaning/dup_list.h"

#include <cstring>

namespace cleaning {

TBlockRec* TDupList::Add(const TBlockRec& rec) {
  items_.push_back(std::make_unique<TBlockRec>(rec));
  return items_.back().get();
}

void TDupList::Delete(int i) { items_.erase(items_.begin() + i); }

void TDupList::DeleteMarked(const std::vector<char>& marked) {
  size_t kept = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i < marked.size() && marked[i]) continue;
    if (kept != i) items_[kept] = std::move(items_[i]);
    ++kept;
  }
  items_.resize(kept);
}

int CompareBlocks(const TBlockRec& a, const TBlockRec& b) {
  if (a.Date < b.Date) return -1;
  if (a.Date > b.Date) return 1;
  if (a.Time < b.Time) return -1;
  if (a.Time > b.Time) return 1;
  if (a.Number < b.Number) return -1;
  if (a.Number > b.Number) return 1;
  const size_t la = a.Name.Length, lb = b.Name.Length;
  // memcmp compares as unsigned bytes: Windows-1251 codes, no collation.
  int c = std::memcmp(a.Name.Chars, b.Name.Chars, la < lb ? la : lb);
  if (c != 0) return c < 0 ? -1 : 1;
  if (la != lb) return la < lb ? -1 : 1;
  return 0;
}

bool SameBlock(const TBlockRec& a, const TBlockRec& b) {
  return a.Name.Length == b.Name.Length && std::memcmp(a.Name.Chars, b.Name.Chars, a.Name.Length) == 0 &&
         a.Date == b.Date && a.Time == b.Time && a.Number == b.Number && a.Order == b.Order &&
         a.YearOrder == b.YearOrder;
}

}  // namespace cleaning
