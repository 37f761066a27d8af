// TPanel: a windowed container with an outer and an inner bevel, an
// optional sunken 3-D border and a centred caption.
#pragma once

#include "framework/win_control_win.h"

namespace framework {

enum class TBevelCut { bvNone, bvLowered, bvRaised };
enum class TBorderStyle { bsNone, bsSingle };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);

  void SetBevelOuter(TBevelCut cut);
  void SetBevelInner(TBevelCut cut);
  void SetBevelWidth(int width);
  // bsSingle: a sunken 3-D edge around the client area.
  void SetBorderStyle(TBorderStyle style);

 protected:
  void CreateParams(TCreateParams* params) override;
  void PaintWindow(TCanvas& canvas) override;

 private:
  TBevelCut bevel_outer_ = TBevelCut::bvRaised;
  TBevelCut bevel_inner_ = TBevelCut::bvNone;
  int bevel_width_ = 1;
  TBorderStyle border_style_ = TBorderStyle::bsNone;
};

}  // namespace framework
