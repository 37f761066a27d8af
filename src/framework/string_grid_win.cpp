#include "framework/string_grid_win.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/string_grid_layout.h"
#include "framework/text.h"

namespace framework {

TStringGrid::TStringGrid(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 320, 120);
  SetTabStop(true);
  SetColor(clWindow);
  SetColCount(5);
  SetRowCount(5);
}

void TStringGrid::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->ex_style |= WS_EX_CLIENTEDGE;
}

void TStringGrid::HandleCreated() {
  repaint_pending_ = false;  // a new window has no request of ours yet
  UpdateScrollBars();
}

void TStringGrid::Invalidate() {
  if (repaint_pending_ || !HandleAllocated()) return;
  TWinControl::Invalidate();
  repaint_pending_ = true;
}

void TStringGrid::SetColCount(int count) {
  if (count < 1) count = 1;
  col_widths_.resize(static_cast<size_t>(count), default_col_width_);
  texts_.Resize(RowCount(), count);
  if (fixed_cols_ >= count) fixed_cols_ = count - 1;
  LayoutChanged();
}

void TStringGrid::SetRowCount(int count) {
  if (count < 1) count = 1;
  for (int r = count; r < RowCount(); ++r) rows_extent_ -= row_heights_[static_cast<size_t>(r)] + GridLineWidth();
  if (count > RowCount()) rows_extent_ += (count - RowCount()) * (default_row_height_ + GridLineWidth());
  row_heights_.resize(static_cast<size_t>(count), default_row_height_);
  texts_.Resize(count, ColCount());
  if (fixed_rows_ >= count) fixed_rows_ = count - 1;
  row_ = std::clamp(row_, fixed_rows_, count - 1);
  LayoutChanged();
}

void TStringGrid::SetFixedRows(int count) {
  fixed_rows_ = std::clamp(count, 0, RowCount() - 1);
  row_ = std::max(row_, fixed_rows_);
  top_row_ = std::max(top_row_, fixed_rows_);
  LayoutChanged();
}

void TStringGrid::SetFixedCols(int count) {
  fixed_cols_ = std::clamp(count, 0, ColCount() - 1);
  LayoutChanged();
}

void TStringGrid::SetDefaultColWidth(int width) {
  default_col_width_ = width;
  std::fill(col_widths_.begin(), col_widths_.end(), width);
  LayoutChanged();
}

void TStringGrid::SetDefaultRowHeight(int height) {
  default_row_height_ = height;
  std::fill(row_heights_.begin(), row_heights_.end(), height);
  rows_extent_ = RowCount() * (height + GridLineWidth());
  LayoutChanged();
}

void TStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  if (width < 0) width = 0;
  if (col_widths_[static_cast<size_t>(col)] == width) return;
  col_widths_[static_cast<size_t>(col)] = width;
  LayoutChanged();
}

void TStringGrid::SetOptions(TGridOptions options) {
  if (options == options_) return;
  options_ = options;
  Invalidate();
}

void TStringGrid::SetScrollBars(TScrollStyle style) {
  if (style == scroll_bars_) return;
  scroll_bars_ = style;
  LayoutChanged();
}

void TStringGrid::SetCells(int col, int row, std::u16string_view text) {
  if (texts_.Set(col, row, text)) TextChanged(row);
}

void TStringGrid::SetRowCells(int row, std::span<const std::u16string_view> texts) {
  if (texts_.SetRow(row, texts)) TextChanged(row);
}

void TStringGrid::TextChanged(int row) {
  // A fill of many rows asks the system once, and only for rows in view.
  if (!repaint_pending_ && RowShown(row)) Invalidate();
}

void TStringGrid::SetCells(int col, int row, std::string_view cp1251) { SetCells(col, row, FromCp1251(cp1251)); }
void TStringGrid::SetCells(int col, int row, std::u8string_view utf8) { SetCells(col, row, FromUtf8(utf8)); }

void TStringGrid::SetRow(int row) { MoveRow(row); }

void TStringGrid::SetTopRow(int row) {
  int top = std::clamp(row, fixed_rows_, std::max(fixed_rows_, MaxTopRow()));
  if (top == top_row_) return;
  top_row_ = top;
  UpdateScrollBars();
  Invalidate();
}

bool TStringGrid::VerticalScrollBarShown() const {
  HWND window = WindowHandle();
  return window && (GetWindowLongPtrW(window, GWL_STYLE) & WS_VSCROLL);
}

bool TStringGrid::HorizontalScrollBarShown() const {
  HWND window = WindowHandle();
  return window && (GetWindowLongPtrW(window, GWL_STYLE) & WS_HSCROLL);
}

bool TStringGrid::RowShown(int row) {
  if (row < fixed_rows_) return true;
  if (row < top_row_ || !HandleAllocated()) return false;
  // A row takes at least its line: one further down than the grid is high
  // is out of view without asking the system. (A fill asks for each row.)
  if (row - top_row_ > Height()) return false;
  // Whole rows that fit, and the one cut off at the bottom.
  return row - top_row_ <= CellsThatFit(row_heights_, top_row_, ClientHeight() - FixedHeight(), GridLineWidth());
}

int TStringGrid::FixedHeight() const { return CellsExtent(row_heights_, 0, fixed_rows_, GridLineWidth()); }
int TStringGrid::FixedWidth() const { return CellsExtent(col_widths_, 0, fixed_cols_, GridLineWidth()); }

int TStringGrid::MaxTopRow() {
  if (!HandleAllocated()) return fixed_rows_;
  return MaxFirstCell(row_heights_, fixed_rows_, ClientHeight() - FixedHeight(), GridLineWidth());
}

int TStringGrid::MaxLeftOffset() {
  if (!HandleAllocated()) return 0;
  int content = CellsExtent(col_widths_, fixed_cols_, ColCount(), GridLineWidth());
  return std::max(0, content - (ClientWidth() - FixedWidth()));
}

void TStringGrid::LayoutChanged() {
  top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, RowCount() - 1));
  UpdateScrollBars();
  Invalidate();
}

TStringGrid::Layout TStringGrid::PlannedLayout() {
  Layout layout;
  HWND window = WindowHandle();
  RECT client;
  GetClientRect(window, &client);
  const int bar_w = GetSystemMetrics(SM_CXVSCROLL);
  const int bar_h = GetSystemMetrics(SM_CYHSCROLL);
  // The client area with no bar shown.
  const int client_w = client.right + (VerticalScrollBarShown() ? bar_w : 0);
  const int client_h = client.bottom + (HorizontalScrollBarShown() ? bar_h : 0);
  const int content_w = CellsExtent(col_widths_, 0, ColCount(), GridLineWidth());
  layout.bars = ScrollBarsNeeded(content_w, rows_extent_, client_w, client_h, bar_w, bar_h);
  if (scroll_bars_ == TScrollStyle::ssNone || scroll_bars_ == TScrollStyle::ssHorizontal) layout.bars.vertical = false;
  if (scroll_bars_ == TScrollStyle::ssNone || scroll_bars_ == TScrollStyle::ssVertical) layout.bars.horizontal = false;
  layout.client_w = client_w - (layout.bars.vertical ? bar_w : 0);
  layout.client_h = client_h - (layout.bars.horizontal ? bar_h : 0);
  return layout;
}

int TStringGrid::ClientWidth() {
  if (updating_ > 0 && HandleAllocated()) return PlannedLayout().client_w;
  return TWinControl::ClientWidth();
}

int TStringGrid::ClientHeight() {
  if (updating_ > 0 && HandleAllocated()) return PlannedLayout().client_h;
  return TWinControl::ClientHeight();
}

void TStringGrid::BeginUpdate() { ++updating_; }

void TStringGrid::EndUpdate() {
  if (updating_ == 0 || --updating_ > 0) return;
  if (layout_pending_) LayoutChanged();
}

void TStringGrid::UpdateScrollBars() {
  HWND window = WindowHandle();
  if (!window || updating_bars_) return;
  if (updating_ > 0) {
    layout_pending_ = true;
    return;
  }
  layout_pending_ = false;
  updating_bars_ = true;
  const GridScrollBars bars = PlannedLayout().bars;
  const bool vertical = VerticalScrollBarShown(), horizontal = HorizontalScrollBarShown();
  // One frame change for both bars where it can: each costs a round of
  // window messages and a repaint of the frame.
  if (bars.vertical != vertical && bars.horizontal != horizontal && bars.vertical == bars.horizontal) {
    ShowScrollBar(window, SB_BOTH, bars.vertical);
  } else {
    if (bars.vertical != vertical) ShowScrollBar(window, SB_VERT, bars.vertical);
    if (bars.horizontal != horizontal) ShowScrollBar(window, SB_HORZ, bars.horizontal);
  }

  int max_top = MaxTopRow();
  top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, max_top));
  left_offset_ = std::clamp(left_offset_, 0, MaxLeftOffset());

  // A bar is told only what changed: setting it redraws it at once.
  if (bars.vertical) {
    SetBar(SB_VERT, RowCount() - fixed_rows_ - 1, RowCount() - max_top, top_row_ - fixed_rows_);
  }
  if (bars.horizontal) {
    SetBar(SB_HORZ, CellsExtent(col_widths_, fixed_cols_, ColCount(), GridLineWidth()) - 1,
           std::max(1, ClientWidth() - FixedWidth()), left_offset_);
  }
  updating_bars_ = false;
}

void TStringGrid::SetBar(int bar, int max, int page, int pos) {
  HWND window = Handle();
  SCROLLINFO now{sizeof(now), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  if (GetScrollInfo(window, bar, &now) && now.nMin == 0 && now.nMax == max && now.nPage == static_cast<UINT>(page) &&
      now.nPos == pos) {
    return;
  }
  SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, max, static_cast<UINT>(page), pos, 0};
  SetScrollInfo(window, bar, &si, TRUE);
}

int TStringGrid::RowAt(int y) const {
  const int line = GridLineWidth();
  int pos = 0;
  for (int r = 0; r < fixed_rows_; ++r) {
    pos += row_heights_[static_cast<size_t>(r)] + line;
    if (y < pos) return r;
  }
  for (int r = top_row_; r < RowCount(); ++r) {
    pos += row_heights_[static_cast<size_t>(r)] + line;
    if (y < pos) return r;
  }
  return -1;
}

void TStringGrid::MoveRow(int row) {
  if (RowCount() <= fixed_rows_) return;
  row = std::clamp(row, fixed_rows_, RowCount() - 1);
  if (row == row_) return;
  row_ = row;
  // Keep the selected row in view.
  if (HandleAllocated()) {
    if (row_ < top_row_) {
      SetTopRow(row_);
    } else {
      int room = ClientHeight() - FixedHeight();
      int visible = CellsThatFit(row_heights_, top_row_, room, GridLineWidth());
      if (row_ >= top_row_ + visible) {
        int top = row_;
        while (top > fixed_rows_ && CellsThatFit(row_heights_, top - 1, room, GridLineWidth()) > row_ - (top - 1))
          --top;
        SetTopRow(top);
      }
    }
  }
  Invalidate();
}

void TStringGrid::Scroll(int bar, int code) {
  if (bar == SB_VERT) {
    int page = std::max(1, CellsThatFit(row_heights_, top_row_, ClientHeight() - FixedHeight(), GridLineWidth()));
    int top = top_row_;
    switch (code) {
      case SB_LINEUP: --top; break;
      case SB_LINEDOWN: ++top; break;
      case SB_PAGEUP: top -= page; break;
      case SB_PAGEDOWN: top += page; break;
      case SB_TOP: top = fixed_rows_; break;
      case SB_BOTTOM: top = RowCount(); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(Handle(), SB_VERT, &si);
        top = fixed_rows_ + si.nTrackPos;
        break;
      }
      default: return;
    }
    SetTopRow(top);
  } else {
    int offset = left_offset_;
    int page = std::max(1, ClientWidth() - FixedWidth());
    switch (code) {
      case SB_LINELEFT: offset -= default_col_width_; break;
      case SB_LINERIGHT: offset += default_col_width_; break;
      case SB_PAGELEFT: offset -= page; break;
      case SB_PAGERIGHT: offset += page; break;
      case SB_LEFT: offset = 0; break;
      case SB_RIGHT: offset = MaxLeftOffset(); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(Handle(), SB_HORZ, &si);
        offset = si.nTrackPos;
        break;
      }
      default: return;
    }
    offset = std::clamp(offset, 0, MaxLeftOffset());
    if (offset == left_offset_) return;
    left_offset_ = offset;
    UpdateScrollBars();
    Invalidate();
  }
}

LRESULT TStringGrid::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SIZE:
      UpdateScrollBars();
      Invalidate();
      break;
    case WM_VSCROLL:
      Scroll(SB_VERT, LOWORD(wparam));
      return 0;
    case WM_HSCROLL:
      Scroll(SB_HORZ, LOWORD(wparam));
      return 0;
    case WM_MOUSEWHEEL: {
      int steps = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
      SetTopRow(top_row_ - 3 * steps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetFocus();
      int row = RowAt(GET_Y_LPARAM(lparam));
      if (row >= fixed_rows_) MoveRow(row);
      return 0;
    }
    case WM_KEYDOWN: {
      int page = std::max(1, CellsThatFit(row_heights_, top_row_, ClientHeight() - FixedHeight(), GridLineWidth()));
      switch (wparam) {
        case VK_UP: MoveRow(row_ - 1); return 0;
        case VK_DOWN: MoveRow(row_ + 1); return 0;
        case VK_PRIOR: MoveRow(row_ - page); return 0;
        case VK_NEXT: MoveRow(row_ + page); return 0;
        case VK_HOME: MoveRow(fixed_rows_); return 0;
        case VK_END: MoveRow(RowCount() - 1); return 0;
        default: break;
      }
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_PAINT:
      repaint_pending_ = false;  // this paint draws everything asked for
      break;
    default:
      break;
  }
  return TWinControl::WndProc(message, wparam, lparam);
}

void TStringGrid::DrawCell(TCanvas& canvas, int col, int row, const TRect& cell, bool fixed) {
  const bool selected = !fixed && row == row_ && (options_ & goRowSelect);
  const TGridOptions vert = fixed ? goFixedVertLine : goVertLine;
  const TGridOptions horz = fixed ? goFixedHorzLine : goHorzLine;
  const TColor background = fixed ? clBtnFace : (selected ? clHighlight : Color());
  const TColor line = fixed ? clBlack : clSilver;

  // The line pixels right of and below the cell.
  canvas.SetBrushColor((options_ & vert) ? line : background);
  canvas.FillRect(Rect(cell.Right, cell.Top, cell.Right + 1, cell.Bottom + 1));
  canvas.SetBrushColor((options_ & horz) ? line : background);
  canvas.FillRect(Rect(cell.Left, cell.Bottom, cell.Right, cell.Bottom + 1));

  canvas.SetBrushColor(background);
  canvas.Font().Assign(Font());
  if (selected) canvas.Font().SetColor(clHighlightText);
  canvas.TextRect(cell, cell.Left + 2, cell.Top + 2, Cells(col, row));
  if (fixed) {
    TRect edge = cell;
    Frame3D(canvas, &edge, clBtnHighlight, clBtnShadow, 1);
  }
}

void TStringGrid::PaintWindow(TCanvas& canvas) {
  RECT client;
  GetClientRect(Handle(), &client);
  const int line = GridLineWidth();
  const int fixed_w = FixedWidth();
  HDC dc = canvas.Handle();

  canvas.SetBrushColor(Color());
  canvas.FillRect(Rect(client.left, client.top, client.right, client.bottom));

  // The fixed rows, then the scrolling ones from the top row down to the
  // bottom of the client area: a paint costs what is visible, however many
  // rows the grid holds.
  struct Shown {
    int row, y;
  };
  std::vector<Shown> shown;
  auto next = [this](int r) { return r + 1 < fixed_rows_ ? r + 1 : std::max(r + 1, top_row_); };
  for (int r = fixed_rows_ > 0 ? 0 : top_row_, y = 0; r < RowCount() && y < client.bottom; r = next(r)) {
    shown.push_back({r, y});
    y += row_heights_[static_cast<size_t>(r)] + line;
  }
  // Fixed columns first, then the scrolling ones under one clip that keeps
  // them right of the fixed ones. Each cell draws inside its own row.
  for (const Shown& s : shown) {
    int x = 0;
    for (int c = 0; c < fixed_cols_; ++c) {
      const int w = col_widths_[static_cast<size_t>(c)];
      DrawCell(canvas, c, s.row, Bounds(x, s.y, w, row_heights_[static_cast<size_t>(s.row)]), true);
      x += w + line;
    }
  }
  {
    SavedDC saved(dc);
    IntersectClipRect(dc, fixed_w, 0, client.right, client.bottom);
    for (const Shown& s : shown) {
      const int h = row_heights_[static_cast<size_t>(s.row)];
      int x = fixed_w - left_offset_;
      for (int c = fixed_cols_; c < ColCount() && x < client.right; ++c) {
        const int w = col_widths_[static_cast<size_t>(c)];
        if (x + w + line > fixed_w) DrawCell(canvas, c, s.row, Bounds(x, s.y, w, h), s.row < fixed_rows_);
        x += w + line;
      }
    }
  }
  for (const Shown& s : shown) {
    if (s.row >= fixed_rows_ && s.row == row_ && (options_ & goRowSelect) && Focused()) {
      int right = std::min<int>(client.right, fixed_w - left_offset_ +
                                                  CellsExtent(col_widths_, fixed_cols_, ColCount(), line) - line);
      RECT focus{fixed_w, s.y, right, s.y + row_heights_[static_cast<size_t>(s.row)]};
      DrawFocusRect(dc, &focus);
    }
  }
}

}  // namespace framework
