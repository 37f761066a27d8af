// The gradient heading label apart from any window: its palette and bands,
// caption fitting, glyph geometry, bounds fitting, and its settings with
// the rules of their assignment. The control (head_label_win.h) measures
// text, draws and handles the mouse.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "framework/align.h"
#include "framework/color.h"
#include "framework/font_style.h"
#include "framework/geometry.h"

namespace ui {

enum class TGradientStyle { gsNone, gsBottom, gsLeft, gsRight, gsTop, dsBound };
enum class TGlyphMode { gmNormal, gmOverlayed };
enum class TTextAlignmt { taCenter, taLeft, taRight };

// A set of the label's edges, one bit each.
enum TBoundLine : uint8_t { blLeft = 1, blTop = 2, blRight = 4, blBottom = 8 };
using TBoundLines = uint8_t;

using TColorSteps = uint8_t;  // 1 to 255
using TNumGlyphs = uint8_t;   // 1 to 4

// A value outside the range of the property it was given to.
class ERangeError : public std::range_error {
 public:
  using std::range_error::range_error;
};

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c);

// The label's colour slots 1 to 255 ($00BBGGRR); band k is painted with
// slot k + 1. Slots a build does not reach keep what they held; all start
// black.
class GradientPalette {
 public:
  static constexpr int kSlots = 255;

  uint32_t Slot(int index) const { return slots_.at(static_cast<size_t>(index)); }

  // Slots 1 to n from `first` toward `far`, which is never reached; each
  // channel is truncated, then its `round_bit` low bits are cleared.
  void BuildRamp(framework::TColor first, framework::TColor far, int n, int round_bit);
  // The ramp of h colours from `outer` toward `inner` in slots 1 to h and
  // mirrored back in slots h + 1 to 2h.
  void BuildMirroredRamp(framework::TColor outer, framework::TColor inner, int h, int round_bit);
  // The palette of `style` for n bands; gsNone builds nothing. An odd
  // dsBound gradient gives its last band the outer colour, like its first.
  void Build(TGradientStyle style, framework::TColor start, framework::TColor end, int n, int round_bit);

 private:
  std::array<uint32_t, kSlots + 1> slots_{};  // [0] is not a slot
};

// The pixels of band k of n on a face of the given size: a run of columns
// over the full height for gsLeft and gsRight, a run of rows over the full
// width otherwise. Empty when two bands meet on one pixel.
framework::TRect BandRect(TGradientStyle style, int k, int n, int width, int height);

// The width of a text in the font being measured with.
using TextWidthFn = std::function<int(std::u16string_view)>;

// What a shortened caption ends with, and the room kept for it at the right.
inline constexpr std::u16string_view kDots = u"...";
inline constexpr std::u16string_view kDotsRoom = u"... ";

// The sub-caption as drawn: the text, with "..." when `ellipsis` is on.
std::u16string SubCaptionText(std::u16string_view caption, bool ellipsis);

// The caption to draw from `left` on a label `label_width` wide: the whole
// caption when it fits the room left of the sub-caption, its margin and
// "... ", else its longest fitting prefix followed by "...", else nothing.
std::u16string FitCaption(std::u16string_view caption, std::u16string_view sub_text, int left, int label_width,
                          int sub_margin, const TextWidthFn& width);

// Whether a sub-caption of this width is drawn on a label this wide.
bool SubCaptionFits(int sub_width, int label_width);

// Where the first frame of a glyph is stretched to, and where the caption
// starts after it. A glyph shrunk to nothing by a small label is not drawn
// and takes no room (the caption then starts after Spacing alone).
struct GlyphPlace {
  framework::TRect rect;  // empty: nothing is drawn
  int text_start = 0;
};
GlyphPlace PlaceGlyph(int glyph_width, int glyph_height, int num_glyphs, int label_width, int label_height,
                      int margin, int spacing, TGlyphMode mode);

// Frames in a glyph strip: width div height when the width is an exact
// multiple of the height, else 1. Not limited to 4.
int GlyphFrames(int width, int height);

// The glyph's hit zone: from the margin to the margin plus the whole strip
// width, both included, at any height.
bool InGlyphZone(int x, int margin, int glyph_width);

// What FitBounds measures, in the font last used on the label's surface.
struct FitMeasures {
  int caption_width = 0;
  int caption_height = 0;
  int sub_width = 0;  // of SubCaptionText
  int sub_height = 0;
  int dots_width = 0;  // of "... "
  int glyph_width = 0;  // the whole strip; 0 without a glyph
  int glyph_height = 0;
};

struct FittedSize {
  std::optional<int> width;  // unset: that side is left as it is
  std::optional<int> height;
};

FittedSize FitSize(framework::TAlign align, const FitMeasures& m, int margin, int spacing, int sub_margin,
                   TBoundLines lines);

class HeadLabelSettings;

// Gradient settings of a label; every change repaints it.
class TGradient {
 public:
  explicit TGradient(HeadLabelSettings& owner) : owner_(owner) {}
  TGradient(const TGradient&) = delete;
  TGradient& operator=(const TGradient&) = delete;

  TColorSteps ColorSteps() const { return color_steps_; }
  // 1 to 255; anything else raises ERangeError and changes nothing.
  void SetColorSteps(int steps);
  framework::TColor EndColor() const { return end_color_; }
  void SetEndColor(framework::TColor color);
  framework::TColor StartColor() const { return start_color_; }
  void SetStartColor(framework::TColor color);
  TGradientStyle Style() const { return style_; }
  void SetStyle(TGradientStyle style);

 private:
  HeadLabelSettings& owner_;
  TColorSteps color_steps_ = 64;
  framework::TColor end_color_ = framework::clSilver;
  framework::TColor start_color_ = framework::clGray;
  TGradientStyle style_ = TGradientStyle::gsLeft;
};

// Settings of the right-aligned second caption.
class TSubCaption {
 public:
  explicit TSubCaption(HeadLabelSettings& owner) : owner_(owner) {}
  TSubCaption(const TSubCaption&) = delete;
  TSubCaption& operator=(const TSubCaption&) = delete;

  const std::u16string& Caption() const { return caption_; }
  // Any change sets the label's alignment back to taLeft, then fits.
  void SetCaption(std::u16string caption);
  framework::TColor Color() const { return color_; }
  void SetColor(framework::TColor color);
  // Refused (nothing changes) when turned on without a caption.
  bool Ellipsis() const { return ellipsis_; }
  void SetEllipsis(bool on);
  uint8_t Size() const { return size_; }  // points
  void SetSize(uint8_t points);
  uint8_t Margin() const { return margin_; }
  void SetMargin(uint8_t pixels);
  framework::TFontStyles Style() const { return style_; }
  void SetStyle(framework::TFontStyles style);
  // SubCaptionText of these settings.
  std::u16string Text() const { return SubCaptionText(caption_, ellipsis_); }

 private:
  HeadLabelSettings& owner_;
  std::u16string caption_;
  framework::TColor color_ = framework::clWindowText;
  bool ellipsis_ = false;
  uint8_t size_ = 8;
  uint8_t margin_ = 8;
  framework::TFontStyles style_ = 0;
};

// The label's own settings, its gradient and sub-caption and its palette.
// Every assignment does nothing when the value is unchanged, except
// Alignment, NumGlyphs and RoundBit. What a change asks of the control
// (repaint later, fit the bounds, paint the gradient now, dock) goes
// through the hooks at the end.
class HeadLabelSettings {
 public:
  HeadLabelSettings() = default;
  HeadLabelSettings(const HeadLabelSettings&) = delete;
  HeadLabelSettings& operator=(const HeadLabelSettings&) = delete;
  virtual ~HeadLabelSettings() = default;

  TTextAlignmt Alignment() const { return alignment_; }
  // Only taLeft is taken while a sub-caption is set; others are dropped.
  void SetAlignment(TTextAlignmt alignment);
  framework::TAlign Align() const { return align_; }
  // alClient turns AutoBounds off (without fitting).
  void SetAlign(framework::TAlign align);
  bool AutoBounds() const { return auto_bounds_; }
  // Turning it on fits at once; refused while docked alClient.
  void SetAutoBounds(bool on);
  TBoundLines BoundLines() const { return bound_lines_; }
  void SetBoundLines(TBoundLines lines);
  framework::TColor BoundColor() const { return bound_color_; }
  void SetBoundColor(framework::TColor color);
  bool FormMove() const { return form_move_; }
  void SetFormMove(bool on);
  TGlyphMode GlyphMode() const { return glyph_mode_; }
  void SetGlyphMode(TGlyphMode mode);
  TGradient& Gradient() { return gradient_; }
  const TGradient& Gradient() const { return gradient_; }
  uint8_t Margin() const { return margin_; }
  void SetMargin(uint8_t pixels);
  TNumGlyphs NumGlyphs() const { return num_glyphs_; }
  // 1 to 4; anything else raises ERangeError and changes nothing.
  void SetNumGlyphs(int count);
  uint8_t Spacing() const { return spacing_; }
  void SetSpacing(uint8_t pixels);
  TSubCaption& SubCaption() { return sub_caption_; }
  const TSubCaption& SubCaption() const { return sub_caption_; }
  int RoundBit() const { return round_bit_; }
  // Clamped into 0 to 7; the gradient is painted at once (no repaint).
  void SetRoundBit(int bits);

  const GradientPalette& Palette() const { return palette_; }

 protected:
  // NumGlyphs from a new glyph's size; ERangeError for more than 4 frames.
  void CountGlyphs(int glyph_width, int glyph_height);
  // FitBounds, when AutoBounds is on.
  void Fit();
  GradientPalette& MutablePalette() { return palette_; }

  virtual void RepaintLabel() = 0;
  virtual void FitBounds() = 0;
  virtual void PaintGradientNow() = 0;
  virtual void DockChanged(framework::TAlign align) = 0;

 private:
  friend class TGradient;
  friend class TSubCaption;

  void RepaintAndFit();

  // Declared so that the gradient goes before the sub-caption.
  TSubCaption sub_caption_{*this};
  TGradient gradient_{*this};
  GradientPalette palette_;
  TTextAlignmt alignment_ = TTextAlignmt::taLeft;
  framework::TAlign align_ = framework::TAlign::alNone;
  bool auto_bounds_ = true;
  TBoundLines bound_lines_ = 0;
  framework::TColor bound_color_ = framework::clGray;
  bool form_move_ = false;
  TGlyphMode glyph_mode_ = TGlyphMode::gmNormal;
  uint8_t margin_ = 5;
  TNumGlyphs num_glyphs_ = 1;
  uint8_t spacing_ = 5;
  int round_bit_ = 0;
};

}  // namespace ui
