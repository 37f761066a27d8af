#include "ui/head_label.h"

#include <algorithm>
#include <cstdlib>

using framework::TAlign;
using framework::TColor;
using framework::TRect;

namespace ui {

namespace {

// The sub-caption is drawn only when it is narrower than the label by more
// than this.
constexpr int kSubCaptionSlack = 8;

constexpr int kMaxGlyphs = 4;

uint8_t Quantised(int value, int round_bit) { return static_cast<uint8_t>((value >> round_bit) << round_bit); }

uint32_t QuantisedRGB(uint32_t rgb, int round_bit) {
  using framework::BlueOf, framework::GreenOf, framework::RedOf;
  return framework::RGBValue(Quantised(RedOf(rgb), round_bit), Quantised(GreenOf(rgb), round_bit),
                             Quantised(BlueOf(rgb), round_bit));
}

// The colours of a ramp of n steps from `first` toward `far`, one by one.
class Ramp {
 public:
  Ramp(TColor first, TColor far, int n, int round_bit)
      : a_(framework::ColorToRGB(first)), round_bit_(round_bit) {
    const uint32_t b = framework::ColorToRGB(far);
    step_r_ = (double(framework::RedOf(b)) - framework::RedOf(a_)) / n;
    step_g_ = (double(framework::GreenOf(b)) - framework::GreenOf(a_)) / n;
    step_b_ = (double(framework::BlueOf(b)) - framework::BlueOf(a_)) / n;
  }
  uint32_t operator()(int i) const {
    return framework::RGBValue(Channel(i, step_r_, framework::RedOf(a_)), Channel(i, step_g_, framework::GreenOf(a_)),
                               Channel(i, step_b_, framework::BlueOf(a_)));
  }

 private:
  uint8_t Channel(int i, double step, int a) const {
    // Truncated, not rounded; it stays between the two channel values.
    return Quantised(static_cast<int>(i * step + a), round_bit_);
  }

  uint32_t a_;
  int round_bit_;
  double step_r_, step_g_, step_b_;
};

void DropLastCharacter(std::u16string* text) {
  text->pop_back();
  // Never leave half of a surrogate pair.
  if (!text->empty() && text->back() >= 0xD800 && text->back() <= 0xDBFF) text->pop_back();
}

// Stores `value`; false when it was there already (the assignment then
// does nothing).
template <typename T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = std::move(value);
  return true;
}

int CountOf(TBoundLines lines, TBoundLines a, TBoundLines b) { return ((lines & a) ? 1 : 0) + ((lines & b) ? 1 : 0); }

}  // namespace

int MulDivRounded(int a, int b, int c) {
  if (c == 0) return -1;  // as the system's MulDiv
  const int64_t p = int64_t{a} * b;
  const int64_t magnitude = (2 * std::llabs(p) + std::llabs(c)) / (2 * std::llabs(c));
  return static_cast<int>((p < 0) != (c < 0) ? -magnitude : magnitude);
}

void GradientPalette::BuildRamp(TColor first, TColor far, int n, int round_bit) {
  n = std::clamp(n, 0, kSlots);
  const Ramp ramp(first, far, n, round_bit);
  for (int i = 0; i < n; ++i) slots_[static_cast<size_t>(i + 1)] = ramp(i);
}

void GradientPalette::BuildMirroredRamp(TColor outer, TColor inner, int h, int round_bit) {
  h = std::clamp(h, 0, kSlots / 2);
  const Ramp ramp(outer, inner, h, round_bit);
  for (int i = 0; i < h; ++i) {
    const uint32_t c = ramp(i);
    slots_[static_cast<size_t>(i + 1)] = c;
    slots_[static_cast<size_t>(2 * h - i)] = c;
  }
}

void GradientPalette::Build(TGradientStyle style, TColor start, TColor end, int n, int round_bit) {
  switch (style) {
    case TGradientStyle::gsNone:
      return;
    case TGradientStyle::gsBottom:
    case TGradientStyle::gsRight:
      BuildRamp(end, start, n, round_bit);
      return;
    case TGradientStyle::gsLeft:
    case TGradientStyle::gsTop:
      BuildRamp(start, end, n, round_bit);
      return;
    case TGradientStyle::dsBound:
      BuildMirroredRamp(end, start, n / 2, round_bit);
      // The mirror leaves the last of an odd count without a colour: it
      // gets the outer one, so both edges match.
      if (n % 2 == 1 && n <= kSlots) slots_[static_cast<size_t>(n)] = QuantisedRGB(framework::ColorToRGB(end), round_bit);
      return;
  }
}

TRect BandRect(TGradientStyle style, int k, int n, int width, int height) {
  if (style == TGradientStyle::gsLeft || style == TGradientStyle::gsRight) {
    return framework::Rect(MulDivRounded(k, width, n), 0, MulDivRounded(k + 1, width, n), height);
  }
  return framework::Rect(0, MulDivRounded(k, height, n), width, MulDivRounded(k + 1, height, n));
}

std::u16string SubCaptionText(std::u16string_view caption, bool ellipsis) {
  std::u16string text(caption);
  if (ellipsis) text += kDots;
  return text;
}

std::u16string FitCaption(std::u16string_view caption, std::u16string_view sub_text, int left, int label_width,
                          int sub_margin, const TextWidthFn& width) {
  // The margin and "... " are kept free even without a sub-caption.
  const int room = label_width - (width(sub_text) + left + sub_margin + width(kDotsRoom));
  std::u16string text(caption);
  while (!text.empty() && width(text) > room) DropLastCharacter(&text);
  if (!text.empty() && text.size() < caption.size()) text += kDots;
  return text;
}

bool SubCaptionFits(int sub_width, int label_width) { return sub_width + kSubCaptionSlack < label_width; }

GlyphPlace PlaceGlyph(int glyph_width, int glyph_height, int num_glyphs, int label_width, int label_height,
                      int margin, int spacing, TGlyphMode mode) {
  const int frame = glyph_width / std::max(num_glyphs, 1);
  int w = frame;
  int h = glyph_height;
  // A label smaller than the glyph shrinks it, by these (uneven) rules.
  if (label_width < w) {
    w = label_width - 2;
    h -= 4 * (frame - w);
  }
  if (label_height < h) {
    h = label_height - 2;
    w -= (glyph_height - h) / 4;
  }
  GlyphPlace place;
  if (w > 0 && h > 0) {
    place.rect = framework::Bounds(margin, (label_height - h) / 2, w, h);
  } else {
    w = 0;
  }
  place.text_start = margin + (mode == TGlyphMode::gmNormal ? spacing + w : 0);
  return place;
}

int GlyphFrames(int width, int height) {
  if (width <= 0 || height <= 0 || width % height != 0) return 1;
  return width / height;
}

bool InGlyphZone(int x, int margin, int glyph_width) { return margin <= x && x <= margin + glyph_width; }

FittedSize FitSize(TAlign align, const FitMeasures& m, int margin, int spacing, int sub_margin, TBoundLines lines) {
  FittedSize size;
  if (align == TAlign::alNone || align == TAlign::alLeft || align == TAlign::alRight) {
    // Spacing and the glyph count in every glyph mode, Spacing also without
    // a glyph.
    size.width = m.caption_width + margin + m.glyph_width + spacing + m.sub_width + sub_margin + m.dots_width +
                 CountOf(lines, blLeft, blRight);
  }
  if (align == TAlign::alNone || align == TAlign::alTop || align == TAlign::alBottom) {
    size.height = std::max({m.caption_height, m.sub_height, m.glyph_height}) + CountOf(lines, blTop, blBottom);
  }
  return size;
}

// --- settings --------------------------------------------------------------

void TGradient::SetColorSteps(int steps) {
  if (steps < 1 || steps > GradientPalette::kSlots) {
    throw ERangeError("Gradient.ColorSteps must be 1 to 255, not " + std::to_string(steps));
  }
  if (Store(color_steps_, static_cast<TColorSteps>(steps))) owner_.RepaintLabel();
}

void TGradient::SetEndColor(TColor color) {
  if (Store(end_color_, color)) owner_.RepaintLabel();
}

void TGradient::SetStartColor(TColor color) {
  if (Store(start_color_, color)) owner_.RepaintLabel();
}

void TGradient::SetStyle(TGradientStyle style) {
  if (Store(style_, style)) owner_.RepaintLabel();
}

void TSubCaption::SetCaption(std::u16string caption) {
  if (!Store(caption_, std::move(caption))) return;
  owner_.SetAlignment(TTextAlignmt::taLeft);  // repaints
  owner_.Fit();
}

void TSubCaption::SetColor(TColor color) {
  if (Store(color_, color)) owner_.RepaintLabel();
}

void TSubCaption::SetEllipsis(bool on) {
  if (on == ellipsis_) return;
  if (on && caption_.empty()) return;
  ellipsis_ = on;
  owner_.RepaintAndFit();
}

void TSubCaption::SetSize(uint8_t points) {
  if (Store(size_, points)) owner_.RepaintLabel();
}

void TSubCaption::SetMargin(uint8_t pixels) {
  if (Store(margin_, pixels)) owner_.RepaintAndFit();
}

void TSubCaption::SetStyle(framework::TFontStyles style) {
  if (Store(style_, style)) owner_.RepaintLabel();
}

void HeadLabelSettings::SetAlignment(TTextAlignmt alignment) {
  if (!sub_caption_.Caption().empty() && alignment != TTextAlignmt::taLeft) return;
  alignment_ = alignment;
  RepaintLabel();
}

void HeadLabelSettings::SetAlign(TAlign align) {
  if (!Store(align_, align)) return;
  if (align == TAlign::alClient) auto_bounds_ = false;  // the docking decides the size
  DockChanged(align);
}

void HeadLabelSettings::SetAutoBounds(bool on) {
  if (on == auto_bounds_) return;
  if (on && align_ == TAlign::alClient) return;
  auto_bounds_ = on;
  if (on) FitBounds();
}

void HeadLabelSettings::SetBoundLines(TBoundLines lines) {
  lines &= blLeft | blTop | blRight | blBottom;
  if (Store(bound_lines_, lines)) RepaintLabel();
}

void HeadLabelSettings::SetBoundColor(TColor color) {
  if (Store(bound_color_, color)) RepaintLabel();
}

void HeadLabelSettings::SetFormMove(bool on) { form_move_ = on; }

void HeadLabelSettings::SetGlyphMode(TGlyphMode mode) {
  if (Store(glyph_mode_, mode)) RepaintLabel();
}

void HeadLabelSettings::SetMargin(uint8_t pixels) {
  if (Store(margin_, pixels)) RepaintAndFit();
}

void HeadLabelSettings::SetNumGlyphs(int count) {
  if (count < 1 || count > kMaxGlyphs) throw ERangeError("NumGlyphs must be 1 to 4, not " + std::to_string(count));
  num_glyphs_ = static_cast<TNumGlyphs>(count);
  RepaintLabel();
}

void HeadLabelSettings::SetSpacing(uint8_t pixels) {
  if (Store(spacing_, pixels)) RepaintAndFit();
}

void HeadLabelSettings::SetRoundBit(int bits) {
  round_bit_ = std::clamp(bits, 0, 7);
  if (gradient_.Style() != TGradientStyle::gsNone) PaintGradientNow();
}

void HeadLabelSettings::CountGlyphs(int glyph_width, int glyph_height) {
  const int frames = GlyphFrames(glyph_width, glyph_height);
  if (frames > kMaxGlyphs) {
    throw ERangeError("A glyph of " + std::to_string(glyph_width) + " x " + std::to_string(glyph_height) +
                      " pixels holds " + std::to_string(frames) + " frames; NumGlyphs must be 1 to 4");
  }
  SetNumGlyphs(frames);
}

void HeadLabelSettings::Fit() {
  if (auto_bounds_) FitBounds();
}

void HeadLabelSettings::RepaintAndFit() {
  RepaintLabel();
  Fit();
}

}  // namespace ui
