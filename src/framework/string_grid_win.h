// TStringGrid: a grid of texts with fixed (header) rows and columns, grid
// lines, whole-row selection and scroll bars that come and go as needed.
// It shows and selects; it does not edit.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/grid_texts.h"
#include "framework/string_grid_layout.h"
#include "framework/win_control_win.h"

namespace framework {

enum TGridOption : unsigned {
  goFixedVertLine = 1,
  goFixedHorzLine = 2,
  goVertLine = 4,
  goHorzLine = 8,
  goRowSelect = 16,
};
using TGridOptions = unsigned;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(TComponent* owner);

  int ColCount() const { return static_cast<int>(col_widths_.size()); }
  void SetColCount(int count);
  int RowCount() const { return static_cast<int>(row_heights_.size()); }
  void SetRowCount(int count);
  int FixedRows() const { return fixed_rows_; }
  void SetFixedRows(int count);
  int FixedCols() const { return fixed_cols_; }
  void SetFixedCols(int count);

  int DefaultColWidth() const { return default_col_width_; }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return default_row_height_; }
  // Every row takes the new height.
  void SetDefaultRowHeight(int height);
  int ColWidths(int col) const { return col_widths_.at(static_cast<size_t>(col)); }
  void SetColWidths(int col, int width);
  int RowHeights(int row) const { return row_heights_.at(static_cast<size_t>(row)); }
  int GridLineWidth() const { return 1; }

  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);
  void SetScrollBars(TScrollStyle style);

  std::u16string Cells(int col, int row) const { return texts_.Get(col, row); }
  void SetCells(int col, int row, std::u16string_view text);
  void SetCells(int col, int row, std::string_view cp1251);
  void SetCells(int col, int row, std::u8string_view utf8);
  // The row's first cells get `texts`, the others the empty text.
  void SetRowCells(int row, std::span<const std::u16string_view> texts);

  // The selected row (the first scrolling row at start) and the first
  // scrolling row shown.
  int Row() const { return row_; }
  void SetRow(int row);
  int TopRow() const { return top_row_; }
  void SetTopRow(int row);

  // Changes between these two take effect on the scroll bars once, at the
  // end: a grid that grows by many rows and then has its columns fitted
  // shows the bars of the final layout only. Meanwhile ClientWidth and
  // ClientHeight give the client area that layout will leave.
  void BeginUpdate();
  void EndUpdate();
  int ClientWidth() override;
  int ClientHeight() override;

  bool VerticalScrollBarShown() const;
  bool HorizontalScrollBarShown() const;

  // Asks for the visible cells to be drawn again when messages are next
  // handled. One request stands until that paint, so further ones (a cell
  // filled after another) cost nothing.
  void Invalidate() override;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void PaintWindow(TCanvas& canvas) override;

 private:
  struct Layout {
    GridScrollBars bars;
    int client_w = 0, client_h = 0;  // the client area those bars leave
  };
  // The bars the content needs now, whatever the window shows.
  Layout PlannedLayout();
  void LayoutChanged();
  void UpdateScrollBars();
  // Sets a bar's range 0..max, page and position, if they differ.
  void SetBar(int bar, int max, int page, int pos);
  int FixedHeight() const;
  // True when some of `row` lies in the client area.
  bool RowShown(int row);
  int FixedWidth() const;
  int MaxTopRow();
  int MaxLeftOffset();
  int RowAt(int y) const;
  void MoveRow(int row);
  void Scroll(int bar, int code);
  void DrawCell(TCanvas& canvas, int col, int row, const TRect& cell, bool fixed);
  // After a change of row `row`'s texts.
  void TextChanged(int row);

  std::vector<int> col_widths_;
  std::vector<int> row_heights_;
  int rows_extent_ = 0;  // every row's height and grid line, summed
  GridTexts texts_;
  int fixed_rows_ = 1;
  int fixed_cols_ = 1;
  int default_col_width_ = 64;
  int default_row_height_ = 24;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
  TScrollStyle scroll_bars_ = TScrollStyle::ssBoth;
  int row_ = 1;
  int top_row_ = 1;
  int left_offset_ = 0;  // pixels the scrolling columns are moved left
  bool updating_bars_ = false;
  int updating_ = 0;             // BeginUpdate calls not yet ended
  bool layout_pending_ = false;  // the bars wait for EndUpdate
  bool repaint_pending_ = false;  // the whole client is invalid until painted
};

}  // namespace framework
