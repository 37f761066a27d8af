// Grid arithmetic that needs no window: the extent of cells with their
// grid lines, which scroll bars a grid needs, and how far it can scroll.
#pragma once

#include <vector>

namespace framework {

// The pixels that `sizes` cells take, from `first` up to (not including)
// `last`, each followed by a grid line of `line` pixels.
int CellsExtent(const std::vector<int>& sizes, int first, int last, int line);

struct GridScrollBars {
  bool vertical = false;
  bool horizontal = false;
};

// Which bars a grid needs: content_w x content_h is everything (cells and
// lines), client_w x client_h the client area with no bar shown, bar_w the
// width of a vertical bar and bar_h the height of a horizontal one. A bar
// that appears takes room from the other direction.
GridScrollBars ScrollBarsNeeded(int content_w, int content_h, int client_w, int client_h, int bar_w, int bar_h);

// The number of cells, starting at `first`, whose pixels fit whole into
// `room` (the line after the last one may fall outside); at least 1 when
// `first` is a cell and room > 0, else 0.
int CellsThatFit(const std::vector<int>& sizes, int first, int room, int line);

// The largest first scrolling cell (at least `fixed`) from which every cell
// down to the last one fits whole into `room`; the last cell when even it
// alone does not.
int MaxFirstCell(const std::vector<int>& sizes, int fixed, int room, int line);

}  // namespace framework
