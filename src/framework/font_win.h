// TFont: a font description and the GDI font made from it on demand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "framework/color.h"
#include "framework/font_style.h"
#include "framework/gdi_win.h"

namespace framework {

enum class TFontQuality { fqDefault, fqNonAntialiased };

class TFont {
 public:
  TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  // Takes every property of `other` (one change notification, none when
  // nothing differs; the same face in another colour keeps its GDI font).
  void Assign(const TFont& other);

  const std::u16string& Name() const { return name_; }
  void SetName(std::u16string name);
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return height_; }
  void SetHeight(int height);
  // Points at 96 pixels per inch; sets the height to -size * 96 / 72.
  void SetSize(int points);
  int Size() const;
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  uint8_t Charset() const { return charset_; }
  void SetCharset(uint8_t charset);
  TFontQuality Quality() const { return quality_; }
  void SetQuality(TFontQuality quality);

  // The GDI font; made at first need and after each change. Owned by this.
  HFONT Handle();
  // The GDI font if it is made, else null; makes none.
  HFONT HandleIfMade() const { return handle_.get(); }

  // Called after every change, the colour included.
  std::function<void()> OnChange;

 private:
  void Changed();

  std::u16string name_;
  int height_;
  TFontStyles style_ = 0;
  TColor color_;
  uint8_t charset_ = DEFAULT_CHARSET;
  TFontQuality quality_ = TFontQuality::fqDefault;
  GdiFont handle_;
};

}  // namespace framework
