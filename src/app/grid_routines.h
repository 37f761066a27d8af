// The grid routines of the main window: emptying the grid down to one blank
// row, and fitting column widths by percentages of the width left over.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace app {

// What the fit needs to know of a grid.
struct GridMetrics {
  int outer_width = 0;  // the grid's own width, borders included
  int client_width = 0;
  int client_height = 0;
  int line_width = 1;
  std::vector<int> row_heights;
  std::vector<int> col_widths;
};

// The column widths after fitting by `percents` (one per column from
// column 0; positions at or past the column count are ignored). A 0 keeps
// the column's width; any other p makes it trunc(p × w ÷ 100) − 1, where w
// is the room the kept columns leave: the outer width − 4 when every row
// fits in the client height (no vertical scroll bar), else the client
// width, less each kept column's width and its grid line.
std::vector<int> FitColumnWidths(const GridMetrics& grid, std::span<const int16_t> percents);

}  // namespace app
