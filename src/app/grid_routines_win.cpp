#include "app/grid_routines_win.h"

#include <span>
#include <vector>

#include "app/grid_routines.h"

namespace app {

void ClearGrid(framework::TStringGrid& grid) {
  grid.SetRowCount(grid.FixedRows() + 1);
  const int last = grid.RowCount() - 1;
  for (int col = 0; col < grid.ColCount(); ++col) grid.SetCells(col, last, std::u16string());
}

void FitGridColumns(framework::TStringGrid& grid, std::initializer_list<int16_t> percents) {
  GridMetrics m;
  m.outer_width = grid.Width();
  m.client_width = grid.ClientWidth();
  m.client_height = grid.ClientHeight();
  m.line_width = grid.GridLineWidth();
  for (int r = 0; r < grid.RowCount(); ++r) m.row_heights.push_back(grid.RowHeights(r));
  for (int c = 0; c < grid.ColCount(); ++c) m.col_widths.push_back(grid.ColWidths(c));
  std::vector<int> widths = FitColumnWidths(m, std::span<const int16_t>(percents.begin(), percents.size()));
  for (int c = 0; c < grid.ColCount(); ++c) grid.SetColWidths(c, widths[static_cast<size_t>(c)]);
}

}  // namespace app
