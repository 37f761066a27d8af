// TCustomLabel and TLabel: static text without a window of its own, drawn
// on the parent's surface. No automatic sizing: the label keeps its bounds.
#pragma once

#include "framework/control_win.h"
#include "framework/win_control_win.h"

namespace framework {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool on);
  // Transparent: the parent shows through around the text.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  // "&" underlines the next character ("&&" shows one "&").
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool on);
  // The control that Alt and the underlined letter focus.
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* control) { focus_control_ = control; }

 protected:
  void Paint() override;
  // The DrawText flags for the label's settings.
  UINT TextFlags() const;

 private:
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool word_wrap_ = false;
  bool transparent_ = false;
  bool show_accel_char_ = true;
  TWinControl* focus_control_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

}  // namespace framework
