#include "framework/string_grid_layout.h"

#include <cstddef>

namespace framework {

int CellsExtent(const std::vector<int>& sizes, int first, int last, int line) {
  int total = 0;
  for (int i = first; i < last && i < static_cast<int>(sizes.size()); ++i) {
    if (i >= 0) total += sizes[static_cast<std::size_t>(i)] + line;
  }
  return total;
}

GridScrollBars ScrollBarsNeeded(int content_w, int content_h, int client_w, int client_h, int bar_w, int bar_h) {
  GridScrollBars bars;
  // Twice round: a horizontal bar can make a vertical one necessary and the
  // other way round; after two rounds the answer no longer changes.
  for (int round = 0; round < 2; ++round) {
    bars.vertical = content_h > client_h - (bars.horizontal ? bar_h : 0);
    bars.horizontal = content_w > client_w - (bars.vertical ? bar_w : 0);
  }
  bars.vertical = content_h > client_h - (bars.horizontal ? bar_h : 0);
  return bars;
}

int CellsThatFit(const std::vector<int>& sizes, int first, int room, int line) {
  const int count = static_cast<int>(sizes.size());
  if (first < 0 || first >= count || room <= 0) return 0;
  int n = 0;
  int pos = 0;
  for (int i = first; i < count; ++i) {
    if (pos + sizes[static_cast<std::size_t>(i)] > room) break;
    pos += sizes[static_cast<std::size_t>(i)] + line;
    ++n;
  }
  return n > 0 ? n : 1;
}

int MaxFirstCell(const std::vector<int>& sizes, int fixed, int room, int line) {
  const int count = static_cast<int>(sizes.size());
  if (count <= fixed) return fixed;
  int first = count - 1;
  int used = sizes[static_cast<std::size_t>(first)];  // the last cell, its line may fall outside
  while (first > fixed) {
    int next = used + sizes[static_cast<std::size_t>(first - 1)] + line;
    if (next > room) break;
    used = next;
    --first;
  }
  return first;
}

}  // namespace framework
