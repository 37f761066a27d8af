#include "ui/speed_button_win.h"

using namespace framework;

namespace ui {

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetFlat(bool on) {
  if (on == flat_) return;
  flat_ = on;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  Invalidate();
}

TButtonState TSpeedButton::State() const {
  if (!Enabled()) return TButtonState::bsDisabled;
  return down_ ? TButtonState::bsDown : TButtonState::bsUp;
}

void TSpeedButton::Paint() {
  TCanvas& canvas = Canvas();
  const SpeedButtonLook look = LookOf(State(), flat_, transparent_, hot_);
  TRect r = Bounds(0, 0, Width(), Height());
  if (look.fill) {
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect(r);
  }
  if (look.edge != ButtonEdge::kNone) {
    const bool raised = look.edge == ButtonEdge::kRaised;
    if (look.thick_edge) {
      Frame3D(canvas, &r, raised ? clBtnHighlight : cl3DDkShadow, raised ? cl3DDkShadow : clBtnHighlight, 1);
      Frame3D(canvas, &r, raised ? cl3DLight : clBtnShadow, raised ? clBtnShadow : cl3DLight, 1);
    } else {
      Frame3D(canvas, &r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, 1);
    }
  }
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.Font().Assign(Font());
  TRect text = Bounds(look.content_offset, look.content_offset, Width(), Height());
  const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (look.embossed) {
    TRect light = Bounds(1, 1, Width(), Height());
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(&light, Text(), flags);
    canvas.Font().SetColor(clBtnShadow);
  }
  canvas.DrawText(&text, Text(), flags);
}

void TSpeedButton::MouseDown(TMouseButton button, UINT, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  dragging_ = true;
  down_ = Inside(x, y);
  Repaint();
}

void TSpeedButton::MouseMove(UINT, int x, int y) {
  if (!dragging_) return;
  bool down = Inside(x, y);
  if (down != down_) {
    down_ = down;
    Repaint();
  }
}

void TSpeedButton::MouseUp(TMouseButton button, UINT, int x, int y) {
  if (button != TMouseButton::mbLeft || !dragging_) return;
  dragging_ = false;
  down_ = false;
  hot_ = Inside(x, y);
  Repaint();
  if (Inside(x, y) && Enabled()) Click();
}

void TSpeedButton::MouseEnter() {
  hot_ = true;
  if (flat_ && Enabled()) Invalidate();
}

void TSpeedButton::MouseLeave() {
  hot_ = false;
  if (flat_ && Enabled()) Invalidate();
}

void TSpeedButton::EnabledChanged() {
  dragging_ = false;
  down_ = false;
  Invalidate();
}

}  // namespace ui
