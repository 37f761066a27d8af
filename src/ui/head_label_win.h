// THeadLabel: a label without a window of its own whose face is a gradient
// of solid bands, with optional bound lines, a glyph at the left, a
// caption and a right-aligned sub-caption. It can fit its size to its
// content (AutoBounds), and a press on it can drag its form (FormMove).
// Its settings and their rules are in head_label.h.
#pragma once

#include "framework/bitmap_win.h"
#include "framework/label_win.h"
#include "ui/head_label.h"

namespace ui {

class THeadLabel : public framework::TCustomLabel, public HeadLabelSettings {
 public:
  // 65 x 17, the text font "Arial" 10 points bold, ParentFont on, nothing
  // fitted.
  explicit THeadLabel(framework::TComponent* owner);
  ~THeadLabel() override;

  // The label's own alignment and docking, not the base label's.
  using HeadLabelSettings::Align;
  using HeadLabelSettings::Alignment;
  using HeadLabelSettings::SetAlign;
  using HeadLabelSettings::SetAlignment;

  const framework::TBitmap& Glyph() const { return glyph_; }
  // Copies the picture and its transparency, sets NumGlyphs from its size,
  // then fits. A strip of more than 4 square frames raises ERangeError
  // after the copy, with NumGlyphs unchanged and nothing fitted.
  void SetGlyph(const framework::TBitmap& bitmap);

  // The font the caption is drawn in: a copy of Font.
  const framework::TFont& TextFont() const { return text_font_; }

  // OnClick (inherited) and these fire on the press, not on the release.
  framework::TNotifyEvent OnDblClick;
  framework::TNotifyEvent OnGlyphClick;
  framework::TNotifyEvent OnGlyphDblClick;

 protected:
  void Paint() override;
  void FontChanged() override;
  void TextChanged() override;
  void MouseDown(framework::TMouseButton button, UINT keys, int x, int y) override;
  void DblClick(int x, int y) override;

  void RepaintLabel() override { Invalidate(); }
  void FitBounds() override;
  void PaintGradientNow() override;
  void DockChanged(framework::TAlign align) override { TControl::SetAlign(align); }

 private:
  void PaintGradient();
  void PaintBoundLines();
  // Draws the glyph's first frame; returns where the caption starts.
  int PaintGlyph();
  // Whether the mouse cursor is over the glyph's hit zone now.
  bool GlyphHit() const;
  // The glyph's event when the cursor is over the glyph zone and it is
  // assigned, else the label's.
  void Fire(const framework::TNotifyEvent& on_glyph, const framework::TNotifyEvent& on_label);
  // Sends the owning form the system command that drags it by its caption.
  void DragForm();

  framework::TBitmap glyph_;
  framework::TFont text_font_;
  bool painted_ = false;
  bool double_press_ = false;
};

}  // namespace ui
