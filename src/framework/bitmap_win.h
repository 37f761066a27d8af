// TBitmap: a 32-bit image with its own canvas, drawn onto other canvases
// plainly or with a transparent colour.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/canvas_win.h"
#include "framework/gdi_win.h"

namespace framework {

class TBitmap {
 public:
  TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  ~TBitmap();

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // A new picture of the given size (contents black); 0 x 0 empties it.
  void SetSize(int width, int height);
  // A copy of the picture and its transparency settings.
  void Assign(const TBitmap& other);
  // Loads a BITMAP resource of `module`. Returns false (and leaves the
  // picture as it was) when there is none.
  bool LoadFromResourceName(HINSTANCE module, const std::u16string& name);
  // The same by number; a null module gives the system's own bitmaps
  // (OBM_ numbers).
  bool LoadFromResourceID(HINSTANCE module, int id);

  // Drawing into the picture.
  TCanvas& Canvas();

  // Whether Draw and StretchDraw leave out the transparent colour. Unless
  // set, that colour is the one of the bottom-left pixel.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on) { transparent_ = on; }
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);

  void Draw(TCanvas& target, int x, int y) const;
  void StretchDraw(TCanvas& target, const TRect& r) const;
  // Stretches the part `source` of the picture into `r`, leaving out the
  // transparent colour whatever Transparent says (one frame of a strip).
  void StretchDrawTransparent(TCanvas& target, const TRect& r, const TRect& source) const;
  // The part `source` of the picture at (x, y), unscaled.
  void DrawPart(TCanvas& target, int x, int y, const TRect& source) const;

 private:
  void Release();
  bool LoadFrom(HBITMAP bitmap);
  void Blit(TCanvas& target, const TRect& dest, const TRect& source, bool transparent) const;

  int width_ = 0;
  int height_ = 0;
  GdiBitmap bitmap_;
  uint32_t* bits_ = nullptr;  // top-down 32-bit pixels, $00RRGGBB each
  MemoryDC dc_;
  HGDIOBJ old_bitmap_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
  bool transparent_ = false;
  bool transparent_color_set_ = false;
  TColor transparent_color_ = clNone;
};

}  // namespace framework
