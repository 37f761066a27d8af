#include "framework/edit_win.h"

#include "framework/text.h"
#include "framework/wide_win.h"

namespace framework {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

void TEdit::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"EDIT";
  params->style |= ES_LEFT | ES_AUTOHSCROLL;
  params->style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  params->ex_style |= WS_EX_CLIENTEDGE;
}

std::u16string TEdit::Text() const {
  HWND window = WindowHandle();
  if (!window) return TControl::Text();
  int n = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  n = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), n + 1);
  text.resize(static_cast<size_t>(n < 0 ? 0 : n));
  return text;
}

std::string TEdit::TextUtf8() const { return ToUtf8(Text()); }

bool TEdit::ReflectedMessage(UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE) {
    StoreText(Text());
    if (OnChange) OnChange(this);
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace framework
