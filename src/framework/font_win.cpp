#include "framework/font_win.h"

#include <utility>

#include "framework/wide_win.h"

namespace framework {

// The forms' font: "MS Sans Serif", 8 points at 96 pixels per inch.
TFont::TFont() : name_(u"MS Sans Serif"), height_(-11), color_(clWindowText) {}

void TFont::Assign(const TFont& other) {
  if (&other == this) return;
  // The same face in another colour keeps its GDI font: making one is slow,
  // and painting assigns the control's font for every cell or line it draws.
  if (name_ == other.name_ && height_ == other.height_ && style_ == other.style_ && charset_ == other.charset_ &&
      quality_ == other.quality_) {
    SetColor(other.color_);
    return;
  }
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  charset_ = other.charset_;
  quality_ = other.quality_;
  Changed();
}

void TFont::SetName(std::u16string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, 96, 72)); }

int TFont::Size() const { return -MulDiv(height_, 72, 96); }

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (OnChange) OnChange();  // the GDI font does not carry the colour
}

void TFont::SetCharset(uint8_t charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetQuality(TFontQuality quality) {
  if (quality == quality_) return;
  quality_ = quality;
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTW lf{};
    lf.lfHeight = height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = charset_;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = quality_ == TFontQuality::fqNonAntialiased ? NONANTIALIASED_QUALITY : DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    size_t n = name_.size() < LF_FACESIZE - 1 ? name_.size() : LF_FACESIZE - 1;
    for (size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<wchar_t>(name_[i]);
    handle_.Reset(CreateFontIndirectW(&lf));
  }
  return handle_.get();
}

void TFont::Changed() {
  // The old font is deleted only after the listener has switched to the new
  // one (a font still selected into a DC cannot be deleted).
  GdiFont old = std::move(handle_);
  if (OnChange) OnChange();
}

}  // namespace framework
