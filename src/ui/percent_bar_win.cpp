#include "ui/percent_bar_win.h"

#include <algorithm>

#include "ui/percent_bar.h"

using namespace framework;

namespace ui {

TPercentBar::TPercentBar(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 100, 100); }

void TPercentBar::SetProgress(int value) {
  value = std::clamp(value, min_value_, max_value_);
  if (value == progress_) return;
  const int before = PercentDone();
  progress_ = value;
  if (PercentDone() != before) Repaint();
}

int TPercentBar::PercentDone() const {
  const int range = max_value_ - min_value_;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<long long>(progress_ - min_value_) * 100) / range);
}

void TPercentBar::SetForeColor(TColor color) {
  if (color == fore_color_) return;
  fore_color_ = color;
  Invalidate();
}

void TPercentBar::SetBackColor(TColor color) {
  if (color == back_color_) return;
  back_color_ = color;
  Invalidate();
}

void TPercentBar::SetShowText(bool on) {
  if (on == show_text_) return;
  show_text_ = on;
  Invalidate();
}

void TPercentBar::DrawImage(TBitmap* image) {
  const int w = Width();
  const int h = Height();
  image->SetSize(w, h);
  if (image->Empty()) return;
  TCanvas& canvas = image->Canvas();
  const TRect inner = Rect(1, 1, w - 1, h - 1);

  // Black frame, background inside it.
  canvas.SetBrushColor(clBlack);
  canvas.FillRect(Rect(0, 0, w, h));
  canvas.SetBrushColor(back_color_);
  canvas.FillRect(inner);

  const int percent = PercentDone();
  const int fill_end = PercentFillEnd(percent, w);
  if (fill_end > 1) {
    canvas.SetBrushColor(fore_color_);
    canvas.FillRect(Rect(1, 1, std::min(fill_end, inner.Right), inner.Bottom));
  }

  if (!show_text_) return;
  // The text goes through a mask: white glyphs on black, without
  // anti-aliasing, laid over the bar with XOR so that each glyph pixel
  // inverts the colour beneath it.
  TBitmap mask;
  mask.SetSize(w, h);
  TCanvas& m = mask.Canvas();
  m.SetBrushColor(clBlack);
  m.FillRect(Rect(0, 0, w, h));
  m.Font().Assign(Font());
  m.Font().SetQuality(TFontQuality::fqNonAntialiased);
  m.Font().SetColor(clWhite);
  m.SetBrushStyle(TBrushStyle::bsClear);
  const std::u16string text = PercentText(percent);
  const int x = PercentTextLeft(m.TextWidth(text), w);
  const int y = PercentTextTop(m.TextHeight(text), h);
  m.TextOut(x, y, text);
  canvas.CopyRect(inner, m, inner, SRCINVERT);
}

void TPercentBar::Paint() {
  TBitmap image;
  DrawImage(&image);
  image.Draw(Canvas(), 0, 0);
}

}  // namespace ui
