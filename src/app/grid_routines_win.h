// ClearGrid and FitGridColumns on a string grid.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "framework/string_grid_win.h"

namespace app {

// Row count := fixed rows + 1, and that last row's cells emptied; the
// header rows keep their texts.
void ClearGrid(framework::TStringGrid& grid);

// See FitColumnWidths: the grid's own measures, then the new widths set.
void FitGridColumns(framework::TStringGrid& grid, std::initializer_list<int16_t> percents);

}  // namespace app
