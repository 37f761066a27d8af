// Sorting and searching the duplicate list.
#include "cleaning/dup_list.h"
#include "cleaning/progress.h"
#include "cleaning/texts.h"

namespace cleaning {

namespace {

// Quicksort with the middle record as pivot. The pivot is held by address,
// so it stays the same record when a swap moves it. After a partition the
// two parts are disjoint and sorted independently, so which one is handled
// first does not change the result; recursing into the smaller one keeps
// the depth logarithmic, whatever the keys.
void QuickSort(TDupList& list, int L, int R) {
  for (;;) {
    int I = L, J = R;
    const TBlockRec* P = list[(L + R) / 2];
    do {
      while (CompareBlocks(*list[I], *P) == -1) ++I;
      while (CompareBlocks(*list[J], *P) == 1) --J;
      if (I <= J) {
        list.Exchange(I, J);
        ++I;
        --J;
      }
    } while (I <= J);
    if (J - L < R - I) {
      if (L < J) QuickSort(list, L, J);
      if (I >= R) return;
      L = I;
    } else {
      if (I < R) QuickSort(list, I, R);
      if (L >= J) return;
      R = J;
    }
  }
}

}  // namespace

void SortList(TDupList& list, ProgressReport& progress) {
  if (list.Count() > 1024) progress.ShowProgress(texts::Sorting(), 0);
  if (list.Count() > 0) QuickSort(list, 0, list.Count() - 1);
}

int FindIndex(const TDupList& list, const TBlockRec& rec, long* comparisons) {
  long made = 0;
  auto cmp = [&](int i) {
    ++made;
    return CompareBlocks(rec, *list[i]);
  };
  auto search = [&]() -> int {
    if (list.Empty()) return -1;
    // The ends first: a key past either end needs no bisection.
    int hi = list.Count() - 1;
    int c = cmp(hi);
    if (c == 0) return hi;
    if (c == 1) return -1;
    int lo = 0;
    c = cmp(lo);
    if (c == -1) return -1;
    if (c == 0) return 0;
    // From here the record at lo sorts before rec and the one at hi after.
    int mid = (lo + hi) / 2;
    for (;;) {
      c = cmp(mid);
      if (c == 0) return mid;
      if (c == -1) hi = mid;
      else lo = mid;
      int next = (lo + hi) / 2;
      if (next == mid) return -1;
      mid = next;
    }
  };
  int found = search();
  if (comparisons != nullptr) *comparisons += made;
  return found;
}

}  // namespace cleaning
