// TCanvas: drawing on a device context with a font, a pen and a brush that
// are selected when needed and deselected when the DC goes. The canvas never
// owns the DC it draws on; subclasses may fetch one on demand.
#pragma once

#include <windows.h>

#include <string>

#include "framework/color.h"
#include "framework/font_win.h"
#include "framework/gdi_win.h"
#include "framework/geometry.h"

namespace framework {

enum class TBrushStyle { bsSolid, bsClear };

class TCanvas {
 public:
  TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  virtual ~TCanvas();

  // The DC, fetched by CreateHandle when none is attached.
  HDC Handle();
  bool HandleAllocated() const { return dc_ != nullptr; }
  // Attaches `dc` (not owned); null detaches. Our objects leave the old DC.
  void SetHandle(HDC dc);

  TFont& Font() { return font_; }
  TColor BrushColor() const { return brush_color_; }
  void SetBrushColor(TColor color);
  TBrushStyle BrushStyle() const { return brush_style_; }
  void SetBrushStyle(TBrushStyle style);
  TColor PenColor() const { return pen_color_; }
  void SetPenColor(TColor color);

  // Fills with the brush (right and bottom edges exclusive).
  void FillRect(const TRect& r);
  // A 1-pixel frame in the brush colour.
  void FrameRect(const TRect& r);
  // 1-pixel lines in the pen colour; the end point is not drawn.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);

  int TextWidth(std::u16string_view text);
  int TextHeight(std::u16string_view text);
  // Text at (x, y) in the font's colour; the background is filled with the
  // brush unless the brush style is clear.
  void TextOut(int x, int y, std::u16string_view text);
  // TextOut clipped to `r`.
  void TextRect(const TRect& r, int x, int y, std::u16string_view text);
  // DrawText with the given DT_ flags; returns the text height.
  int DrawText(TRect* r, std::u16string_view text, UINT flags);

  uint32_t Pixel(int x, int y);

  // Copies `source` of `from` to `dest` with the raster operation `rop`.
  void CopyRect(const TRect& dest, TCanvas& from, const TRect& source, DWORD rop = SRCCOPY);

 protected:
  // Called when a DC is needed and none is attached; may call SetHandle.
  virtual void CreateHandle() {}

 private:
  void RequireFont();
  void RequirePen();
  void RequireBrush();
  void DeselectAll();

  HDC dc_ = nullptr;
  TFont font_;
  TColor brush_color_ = clWhite;
  TBrushStyle brush_style_ = TBrushStyle::bsSolid;
  TColor pen_color_ = clBlack;

  GdiPen pen_;
  GdiBrush brush_;
  // What the DC held before we selected ours; restored on detach.
  HGDIOBJ old_font_ = nullptr;
  HFONT selected_font_ = nullptr;  // our font in the DC, while font_selected_
  HGDIOBJ old_pen_ = nullptr;
  HGDIOBJ old_brush_ = nullptr;
  bool font_selected_ = false;
  bool pen_selected_ = false;
  bool brush_selected_ = false;
};

// A raised or sunken frame `width` pixels wide just inside `r`: the top and
// left sides in `top`, the right and bottom sides in `bottom`. `r` shrinks
// by the width on every side.
void Frame3D(TCanvas& canvas, TRect* r, TColor top, TColor bottom, int width);

}  // namespace framework
