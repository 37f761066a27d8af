// TButton: the system's push button; a press fires OnClick.
#pragma once

#include "framework/win_control_win.h"

namespace framework {

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);

 protected:
  void CreateParams(TCreateParams* params) override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
};

}  // namespace framework
