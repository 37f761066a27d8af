#include "framework/panel_win.h"

namespace framework {

TPanel::TPanel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 41); }

void TPanel::SetBevelOuter(TBevelCut cut) {
  if (cut == bevel_outer_) return;
  bevel_outer_ = cut;
  Invalidate();
}

void TPanel::SetBevelInner(TBevelCut cut) {
  if (cut == bevel_inner_) return;
  bevel_inner_ = cut;
  Invalidate();
}

void TPanel::SetBevelWidth(int width) {
  if (width == bevel_width_) return;
  bevel_width_ = width;
  Invalidate();
}

void TPanel::SetBorderStyle(TBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  UpdateStyle();
}

void TPanel::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  if (border_style_ == TBorderStyle::bsSingle) params->ex_style |= WS_EX_CLIENTEDGE;
}

void TPanel::PaintWindow(TCanvas& canvas) {
  RECT client;
  GetClientRect(Handle(), &client);
  TRect r = Rect(client.left, client.top, client.right, client.bottom);
  auto bevel = [&](TBevelCut cut) {
    if (cut == TBevelCut::bvNone) return;
    bool raised = cut == TBevelCut::bvRaised;
    Frame3D(canvas, &r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight,
            bevel_width_);
  };
  bevel(bevel_outer_);
  bevel(bevel_inner_);
  canvas.SetBrushColor(Color());
  canvas.FillRect(r);
  std::u16string caption = Text();
  if (!caption.empty()) {
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.Font().Assign(Font());
    canvas.DrawText(&r, caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

}  // namespace framework
