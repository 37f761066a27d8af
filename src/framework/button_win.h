// TButton: the system's push button; a press fires OnClick.
#pragma once

#include "framework/win_control_win.h"

namespace framework {

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);

  // Enter in the form presses its default button, Escape its cancel button.
  bool Default() const { return default_; }
  void SetDefault(bool on);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool on);
  // A press first gives the button's form this modal result (0: none).
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }

  void Click() override;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modal_result_ = 0;
};

}  // namespace framework
