#include "cleaning/copy_finder.h"

#include <algorithm>
#include <cstring>

namespace cleaning {

namespace {

// Key order, then Order and YearOrder: records of one class are neighbours.
int CompareWhole(const TBlockRec& a, const TBlockRec& b) {
  int c = CompareBlocks(a, b);
  if (c != 0) return c;
  if (a.Order != b.Order) return a.Order < b.Order ? -1 : 1;
  if (a.YearOrder != b.YearOrder) return a.YearOrder < b.YearOrder ? -1 : 1;
  return 0;
}

// A hash of the six fields: records equal in all six hash alike (a zero
// of either sign counts as the same value). Of the name only its length
// and first eight characters take part: the hash is asked of every row.
uint64_t HashWhole(const TBlockRec& r) {
  auto bits = [](double d) {
    uint64_t u = 0;
    if (d != 0) std::memcpy(&u, &d, sizeof u);
    return u;
  };
  uint64_t head = 0;
  std::memcpy(&head, r.Name.Chars, r.Name.Length < 8 ? r.Name.Length : 8);
  uint64_t h = (bits(r.Date) ^ head) * 0x9E3779B97F4A7C15ull;
  h ^= bits(r.Time) * 0xC2B2AE3D27D4EB4Full;
  h ^= ((uint64_t(uint16_t(r.Number)) << 48) ^ (uint64_t(uint32_t(r.Order)) << 16) ^ r.Name.Length) *
       0x165667B19E3779F9ull;
  h ^= uint64_t(uint32_t(r.YearOrder)) * 0x27D4EB2F165667C5ull;
  // Every bit of the fields reaches every bit of the hash.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

}  // namespace

bool TCopyFinder::MayHold(const TBlockRec& rec) const {
  const uint64_t h = HashWhole(rec) & (hashed_.size() * 64 - 1);
  return (hashed_[h >> 6] >> (h & 63)) & 1;
}

TCopyFinder::TCopyFinder(TDupList& list) : list_(list) {
  const int n = list.Count();
  order_.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order_[static_cast<size_t>(i)] = i;
  std::sort(order_.begin(), order_.end(), [&](int a, int b) {
    int c = CompareWhole(*list_[a], *list_[b]);
    return c != 0 ? c < 0 : a < b;
  });
  // At least 32 bits per record: at most one row in 32 that is no copy
  // passes on to the searches.
  size_t words = 16;
  while (words * 2 < static_cast<size_t>(n)) words *= 2;
  hashed_.assign(words, 0);
  for (int i = 0; i < n; ++i) {
    const uint64_t h = HashWhole(*list_[i]) & (words * 64 - 1);
    hashed_[h >> 6] |= uint64_t{1} << (h & 63);
  }
  class_start_.resize(static_cast<size_t>(n));
  used_.assign(static_cast<size_t>(n), 0);
  marked_.assign(static_cast<size_t>(n), 0);
  int start = 0;
  for (int k = 0; k < n; ++k) {
    if (k > 0 && CompareWhole(*list_[order_[k - 1]], *list_[order_[k]]) != 0) start = k;
    class_start_[static_cast<size_t>(order_[k])] = start;
  }
}

TCopyFinder::~TCopyFinder() {
  if (!finished_) Finish();
}

int TCopyFinder::Find(const TBlockRec& rec) const {
  auto first = std::lower_bound(order_.begin(), order_.end(), rec,
                                [this](int a, const TBlockRec& b) { return CompareWhole(*list_[a], b) < 0; });
  if (first == order_.end() || CompareWhole(*list_[*first], rec) != 0) return -1;
  const int start = static_cast<int>(first - order_.begin());
  // A class is a run of records equal to each other; the used ones are the
  // first of the run.
  const int next = start + used_[static_cast<size_t>(start)];
  if (next >= static_cast<int>(order_.size()) || class_start_[static_cast<size_t>(order_[next])] != start) return -1;
  return order_[static_cast<size_t>(next)];
}

void TCopyFinder::Use(int position) {
  const int start = class_start_[static_cast<size_t>(position)];
  ++used_[static_cast<size_t>(start)];
  marked_[static_cast<size_t>(position)] = 1;
  uses_.push_back(position);
  ++used_total_;
}

void TCopyFinder::GiveBack(int n) {
  // Each class hands out its records in order, so the last one used of a
  // class is the one given back first.
  for (; n > 0 && !uses_.empty(); --n) {
    const int position = uses_.back();
    uses_.pop_back();
    --used_[static_cast<size_t>(class_start_[static_cast<size_t>(position)])];
    marked_[static_cast<size_t>(position)] = 0;
    --used_total_;
  }
}

void TCopyFinder::Finish() {
  finished_ = true;
  if (used_total_ > 0) list_.DeleteMarked(marked_);
}

}  // namespace cleaning
