#include "framework/bitmap_win.h"

#include <cstring>

#include "framework/wide_win.h"

namespace framework {

TBitmap::TBitmap() : canvas_(std::make_unique<TCanvas>()) {}

TBitmap::~TBitmap() { Release(); }

void TBitmap::Release() {
  canvas_->SetHandle(nullptr);
  if (old_bitmap_) {
    SelectObject(dc_.get(), old_bitmap_);
    old_bitmap_ = nullptr;
  }
  bitmap_.Reset();
  bits_ = nullptr;
  width_ = height_ = 0;
}

void TBitmap::SetSize(int width, int height) {
  Release();
  if (width <= 0 || height <= 0) return;
  void* bits = nullptr;
  bitmap_.Reset(CreateDib32(width, height, &bits));
  if (!bitmap_) return;
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  old_bitmap_ = SelectObject(dc_.get(), bitmap_.get());
  canvas_->SetHandle(dc_.get());
}

TCanvas& TBitmap::Canvas() { return *canvas_; }

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  SetSize(other.width_, other.height_);
  if (bits_ && other.bits_) {
    GdiFlush();
    std::memcpy(bits_, other.bits_, static_cast<size_t>(width_) * height_ * 4);
  }
  transparent_ = other.transparent_;
  transparent_color_set_ = other.transparent_color_set_;
  transparent_color_ = other.transparent_color_;
}

bool TBitmap::LoadFromResourceName(HINSTANCE module, const std::u16string& name) {
  return LoadFrom(static_cast<HBITMAP>(LoadImageW(module, Wide(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

bool TBitmap::LoadFromResourceID(HINSTANCE module, int id) {
  return LoadFrom(static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, module ? LR_CREATEDIBSECTION : 0)));
}

bool TBitmap::LoadFrom(HBITMAP bitmap) {
  GdiBitmap loaded(bitmap);
  if (!loaded) return false;
  BITMAP info{};
  GetObjectW(loaded.get(), sizeof(info), &info);
  SetSize(info.bmWidth, info.bmHeight);
  MemoryDC source;
  SelectScope select(source.get(), loaded.get());
  BitBlt(dc_.get(), 0, 0, width_, height_, source.get(), 0, 0, SRCCOPY);
  return true;
}

TColor TBitmap::TransparentColor() const {
  if (transparent_color_set_) return transparent_color_;
  if (!bits_) return clNone;
  GdiFlush();
  uint32_t px = bits_[static_cast<size_t>(height_ - 1) * width_];
  return static_cast<TColor>(RGBValue((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparent_color_ = color;
  transparent_color_set_ = true;
}

void TBitmap::Draw(TCanvas& target, int x, int y) const {
  StretchDraw(target, Bounds(x, y, width_, height_));
}

void TBitmap::StretchDraw(TCanvas& target, const TRect& r) const {
  Blit(target, r, Bounds(0, 0, width_, height_), transparent_);
}

void TBitmap::StretchDrawTransparent(TCanvas& target, const TRect& r, const TRect& source) const {
  Blit(target, r, source, true);
}

void TBitmap::DrawPart(TCanvas& target, int x, int y, const TRect& source) const {
  Blit(target, Bounds(x, y, source.Width(), source.Height()), source, transparent_);
}

void TBitmap::Blit(TCanvas& target, const TRect& r, const TRect& source, bool transparent) const {
  if (Empty() || r.Width() <= 0 || r.Height() <= 0 || source.Width() <= 0 || source.Height() <= 0) return;
  HDC dc = target.Handle();
  if (!dc) return;
  if (transparent) {
    TransparentBlt(dc, r.Left, r.Top, r.Width(), r.Height(), dc_.get(), source.Left, source.Top, source.Width(),
                   source.Height(), ColorToRGB(TransparentColor()));
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, r.Left, r.Top, r.Width(), r.Height(), dc_.get(), source.Left, source.Top, source.Width(),
               source.Height(), SRCCOPY);
  }
}

}  // namespace framework
