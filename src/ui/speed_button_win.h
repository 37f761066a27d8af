// TSpeedButton: a push button without a window of its own, painted on its
// parent. It never takes the focus; a flat one shows its edge only under
// the mouse and, when transparent, lets what lies beneath show through.
#pragma once

#include "framework/control_win.h"
#include "ui/speed_button.h"

namespace ui {

class TSpeedButton : public framework::TGraphicControl {
 public:
  explicit TSpeedButton(framework::TComponent* owner);

  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TButtonState State() const;
  bool MouseInControl() const { return hot_; }

 protected:
  void Paint() override;
  void MouseDown(framework::TMouseButton button, UINT keys, int x, int y) override;
  void MouseMove(UINT keys, int x, int y) override;
  void MouseUp(framework::TMouseButton button, UINT keys, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void EnabledChanged() override;

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }

  bool flat_ = false;
  bool transparent_ = true;
  bool hot_ = false;
  bool dragging_ = false;
  bool down_ = false;
};

}  // namespace ui
