// TPercentBar: a horizontal percentage bar with a 1-pixel black frame, the
// filled part in the bar colour and the percentage written over it so that
// every glyph pixel inverts what lies beneath. Drawn off-screen, then
// copied; a change of the value redraws it at once.
#pragma once

#include "framework/bitmap_win.h"
#include "framework/control_win.h"

namespace ui {

class TPercentBar : public framework::TGraphicControl {
 public:
  explicit TPercentBar(framework::TComponent* owner);

  int Progress() const { return progress_; }
  // Clamped to MinValue..MaxValue; the same value again does nothing.
  void SetProgress(int value);
  int MinValue() const { return min_value_; }
  int MaxValue() const { return max_value_; }
  // The whole percentage shown.
  int PercentDone() const;

  framework::TColor ForeColor() const { return fore_color_; }
  void SetForeColor(framework::TColor color);
  framework::TColor BackColor() const { return back_color_; }
  void SetBackColor(framework::TColor color);
  bool ShowText() const { return show_text_; }
  void SetShowText(bool on);

  // Draws the bar into `image` (sized to the bar), as Paint does before
  // copying it to the screen.
  void DrawImage(framework::TBitmap* image);

 protected:
  void Paint() override;

 private:
  int progress_ = 0;
  int min_value_ = 0;
  int max_value_ = 100;
  framework::TColor fore_color_ = framework::clBlack;
  framework::TColor back_color_ = framework::clWhite;
  bool show_text_ = true;
};

}  // namespace ui
