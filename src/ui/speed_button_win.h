// TSpeedButton: a push button without a window of its own, painted on its
// parent. It never takes the focus; a flat one shows its edge only under
// the mouse and, when transparent, lets what lies beneath show through.
// It may show a glyph (the bottom-left pixel's colour drawn transparent,
// embossed grey while disabled) and a hint.
#pragma once

#include <windows.h>

#include <string>

#include "framework/bitmap_win.h"
#include "framework/control_win.h"
#include "ui/speed_button.h"

namespace ui {

class TSpeedButton : public framework::TGraphicControl {
 public:
  explicit TSpeedButton(framework::TComponent* owner);
  ~TSpeedButton() override;

  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TButtonState State() const;
  bool MouseInControl() const { return hot_; }

  // The picture: NumGlyphs images side by side, for the up, disabled,
  // pressed and held-down looks; a look without an image of its own uses
  // the first (embossed when disabled).
  framework::TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const framework::TBitmap& bitmap);
  int NumGlyphs() const { return num_glyphs_; }
  void SetNumGlyphs(int count);

  const std::u16string& Hint() const { return hint_; }
  void SetHint(std::u16string hint);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool on);

 protected:
  void Paint() override;
  void MouseDown(framework::TMouseButton button, UINT keys, int x, int y) override;
  void MouseMove(UINT keys, int x, int y) override;
  void MouseUp(framework::TMouseButton button, UINT keys, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void EnabledChanged() override;
  void BoundsChanged() override;

  // Draws the image for `state` with its top-left at (x, y).
  void DrawGlyph(framework::TCanvas& canvas, int x, int y, TButtonState state);
  int GlyphWidth() const;

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
  void DiscardQueuedPresses();
  void UpdateHintTool();

  bool flat_ = false;
  bool transparent_ = true;
  bool hot_ = false;
  bool dragging_ = false;
  bool down_ = false;
  framework::TBitmap glyph_;
  int num_glyphs_ = 1;
  std::u16string hint_;
  bool show_hint_ = false;
  HWND tooltip_ = nullptr;
};

}  // namespace ui
