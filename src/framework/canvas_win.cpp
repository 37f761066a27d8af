#include "framework/canvas_win.h"

#include "framework/wide_win.h"

namespace framework {

TCanvas::TCanvas() {
  // A new colour keeps the GDI font, which stays selected (the text colour
  // is set at each use): selecting a font again costs more than drawing a
  // cell of text under some hosts.
  font_.OnChange = [this] {
    if (font_selected_ && dc_ && font_.HandleIfMade() != selected_font_) {
      SelectObject(dc_, old_font_);
      font_selected_ = false;
    }
  };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  if (dc_) DeselectAll();
  dc_ = dc;
}

void TCanvas::DeselectAll() {
  if (font_selected_) SelectObject(dc_, old_font_);
  if (pen_selected_) SelectObject(dc_, old_pen_);
  if (brush_selected_) SelectObject(dc_, old_brush_);
  font_selected_ = pen_selected_ = brush_selected_ = false;
}

void TCanvas::SetBrushColor(TColor color) {
  if (color == brush_color_ && brush_style_ == TBrushStyle::bsSolid) return;
  brush_color_ = color;
  brush_style_ = TBrushStyle::bsSolid;
  if (brush_selected_) {
    SelectObject(dc_, old_brush_);
    brush_selected_ = false;
  }
  brush_.Reset();
}

void TCanvas::SetBrushStyle(TBrushStyle style) {
  if (style == brush_style_) return;
  brush_style_ = style;
  if (brush_selected_) {
    SelectObject(dc_, old_brush_);
    brush_selected_ = false;
  }
  brush_.Reset();
}

void TCanvas::SetPenColor(TColor color) {
  if (color == pen_color_) return;
  pen_color_ = color;
  if (pen_selected_) {
    SelectObject(dc_, old_pen_);
    pen_selected_ = false;
  }
  pen_.Reset();
}

void TCanvas::RequireFont() {
  HDC dc = Handle();
  if (!dc) return;
  if (!font_selected_) {
    selected_font_ = font_.Handle();
    old_font_ = SelectObject(dc, selected_font_);
    font_selected_ = true;
  }
  SetTextColor(dc, ColorToRGB(font_.Color()));
}

void TCanvas::RequirePen() {
  HDC dc = Handle();
  if (!dc) return;
  if (!pen_) pen_.Reset(CreatePen(PS_SOLID, 1, ColorToRGB(pen_color_)));
  if (!pen_selected_) {
    old_pen_ = SelectObject(dc, pen_.get());
    pen_selected_ = true;
  }
}

void TCanvas::RequireBrush() {
  HDC dc = Handle();
  if (!dc) return;
  if (!brush_) {
    if (brush_style_ == TBrushStyle::bsClear) {
      LOGBRUSH lb{BS_HOLLOW, 0, 0};
      brush_.Reset(CreateBrushIndirect(&lb));
    } else {
      brush_.Reset(CreateSolidBrush(ColorToRGB(brush_color_)));
    }
  }
  if (!brush_selected_) {
    old_brush_ = SelectObject(dc, brush_.get());
    brush_selected_ = true;
  }
  if (brush_style_ == TBrushStyle::bsClear) {
    SetBkMode(dc, TRANSPARENT);
  } else {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, ColorToRGB(brush_color_));
  }
}

void TCanvas::FillRect(const TRect& r) {
  RequireBrush();
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  if (dc_ && brush_style_ == TBrushStyle::bsSolid) ::FillRect(dc_, &rc, brush_.get());
}

void TCanvas::FrameRect(const TRect& r) {
  RequireBrush();
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  if (dc_ && brush_style_ == TBrushStyle::bsSolid) ::FrameRect(dc_, &rc, brush_.get());
}

void TCanvas::MoveTo(int x, int y) {
  if (HDC dc = Handle()) MoveToEx(dc, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  RequirePen();
  if (dc_) ::LineTo(dc_, x, y);
}

int TCanvas::TextWidth(std::u16string_view text) {
  RequireFont();
  SIZE size{};
  if (dc_) GetTextExtentPoint32W(dc_, WideData(text), static_cast<int>(text.size()), &size);
  return size.cx;
}

int TCanvas::TextHeight(std::u16string_view text) {
  RequireFont();
  SIZE size{};
  if (dc_) GetTextExtentPoint32W(dc_, WideData(text), static_cast<int>(text.size()), &size);
  return size.cy;
}

void TCanvas::TextOut(int x, int y, std::u16string_view text) {
  RequireFont();
  RequireBrush();
  if (dc_) ExtTextOutW(dc_, x, y, 0, nullptr, WideData(text), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::u16string_view text) {
  RequireFont();
  RequireBrush();
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  UINT options = ETO_CLIPPED | (brush_style_ == TBrushStyle::bsSolid ? ETO_OPAQUE : 0);
  if (dc_) ExtTextOutW(dc_, x, y, options, &rc, WideData(text), static_cast<UINT>(text.size()), nullptr);
}

int TCanvas::DrawText(TRect* r, std::u16string_view text, UINT flags) {
  RequireFont();
  RequireBrush();
  RECT rc{r->Left, r->Top, r->Right, r->Bottom};
  int h = dc_ ? ::DrawTextW(dc_, WideData(text), static_cast<int>(text.size()), &rc, flags) : 0;
  *r = TRect{rc.left, rc.top, rc.right, rc.bottom};
  return h;
}

uint32_t TCanvas::Pixel(int x, int y) {
  HDC dc = Handle();
  return dc ? static_cast<uint32_t>(GetPixel(dc, x, y)) : CLR_INVALID;
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& from, const TRect& source, DWORD rop) {
  HDC dc = Handle();
  HDC src = from.Handle();
  if (!dc || !src) return;
  if (dest.Width() == source.Width() && dest.Height() == source.Height()) {
    BitBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), src, source.Left, source.Top, rop);
  } else {
    StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), src, source.Left, source.Top,
               source.Width(), source.Height(), rop);
  }
}

void Frame3D(TCanvas& canvas, TRect* r, TColor top, TColor bottom, int width) {
  for (int i = 0; i < width && r->Width() > 0 && r->Height() > 0; ++i) {
    int right = r->Right - 1;
    int bottom_y = r->Bottom - 1;
    canvas.SetPenColor(top);
    canvas.MoveTo(r->Left, bottom_y);
    canvas.LineTo(r->Left, r->Top);
    canvas.LineTo(right, r->Top);
    canvas.SetPenColor(bottom);
    canvas.MoveTo(right, r->Top);
    canvas.LineTo(right, bottom_y);
    canvas.LineTo(r->Left - 1, bottom_y);
    *r = Rect(r->Left + 1, r->Top + 1, r->Right - 1, r->Bottom - 1);
  }
}

}  // namespace framework
