#include "framework/button_win.h"

#include "framework/form_win.h"

namespace framework {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"BUTTON";
  params->style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::HandleCreated() {
  // The dialog manager finds the default and the cancel button by these
  // identifiers when Enter or Escape is pressed.
  LONG_PTR id = default_ ? IDOK : cancel_ ? IDCANCEL : 0;
  SetWindowLongPtrW(Handle(), GWLP_ID, id);
}

void TButton::SetDefault(bool on) {
  if (on == default_) return;
  default_ = on;
  UpdateStyle();
  if (HandleAllocated()) HandleCreated();
}

void TButton::SetCancel(bool on) {
  if (on == cancel_) return;
  cancel_ = on;
  if (HandleAllocated()) HandleCreated();
}

void TButton::Click() {
  if (modal_result_ != 0) {
    for (TWinControl* p = Parent(); p; p = p->Parent()) {
      if (auto* form = dynamic_cast<TForm*>(p)) {
        form->SetModalResult(modal_result_);
        break;
      }
    }
  }
  TWinControl::Click();
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
