#include "app/grid_routines.h"

#include <cstddef>

namespace app {

std::vector<int> FitColumnWidths(const GridMetrics& grid, std::span<const int16_t> percents) {
  std::vector<int> widths = grid.col_widths;
  int rows_height = 0;
  for (int h : grid.row_heights) rows_height += h + grid.line_width;
  int w = grid.client_height > rows_height ? grid.outer_width - 4 : grid.client_width;

  const std::size_t n = percents.size() < widths.size() ? percents.size() : widths.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (percents[i] == 0) w -= widths[i] + 1;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (percents[i] != 0) widths[i] = static_cast<int>(percents[i] * static_cast<double>(w) / 100) - 1;
  }
  return widths;
}

}  // namespace app
