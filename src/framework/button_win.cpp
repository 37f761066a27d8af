#include "framework/button_win.h"

namespace framework {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"BUTTON";
  params->style |= BS_PUSHBUTTON;
}

bool TButton::ReflectedMessage(UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    Click();
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace framework
