#include "framework/label_win.h"

namespace framework {

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 65, 17); }

void TCustomLabel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool on) {
  if (on == word_wrap_) return;
  word_wrap_ = on;
  Invalidate();
}

void TCustomLabel::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool on) {
  if (on == show_accel_char_) return;
  show_accel_char_ = on;
  Invalidate();
}

UINT TCustomLabel::TextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (word_wrap_) flags |= DT_WORDBREAK;
  if (!show_accel_char_) flags |= DT_NOPREFIX;
  switch (alignment_) {
    case TAlignment::taLeftJustify:
      flags |= DT_LEFT;
      break;
    case TAlignment::taRightJustify:
      flags |= DT_RIGHT;
      break;
    case TAlignment::taCenter:
      flags |= DT_CENTER;
      break;
  }
  return flags;
}

void TCustomLabel::Paint() {
  TCanvas& canvas = Canvas();
  TRect r = Bounds(0, 0, Width(), Height());
  if (!transparent_) {
    canvas.SetBrushColor(Color());
    canvas.FillRect(r);
  }
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.Font().Assign(Font());
  std::u16string text = Text();
  if (Enabled()) {
    canvas.DrawText(&r, text, TextFlags());
  } else {
    // Disabled: embossed, a light copy one pixel down and right under a
    // shadow-coloured one.
    TRect shifted = Rect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(&shifted, text, TextFlags());
    canvas.Font().SetColor(clBtnShadow);
    canvas.DrawText(&r, text, TextFlags());
  }
}

}  // namespace framework
