#include "framework/form_win.h"

#include "framework/application_win.h"
#include "framework/label_win.h"
#include "framework/text.h"

namespace framework {

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(clBtnFace);
}

TForm::~TForm() { Application().FormDestroyed(this); }

void TForm::CreateParams(TCreateParams* params) {
  params->style = WS_CLIPCHILDREN;
  params->ex_style = 0;
  switch (border_style_) {
    case TFormBorderStyle::bsNone:
      params->style |= WS_POPUP;
      break;
    case TFormBorderStyle::bsSingle:
      params->style |= WS_CAPTION | WS_BORDER;
      break;
    case TFormBorderStyle::bsSizeable:
      params->style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TFormBorderStyle::bsDialog:
      params->style |= WS_POPUP | WS_CAPTION;
      params->ex_style |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (border_style_ != TFormBorderStyle::bsNone && (border_icons_ & biSystemMenu)) {
    params->style |= WS_SYSMENU;
    // A dialog border has neither box, whatever the icons say.
    if (border_style_ != TFormBorderStyle::bsDialog) {
      if (border_icons_ & biMinimize) params->style |= WS_MINIMIZEBOX;
      if (border_icons_ & biMaximize) params->style |= WS_MAXIMIZEBOX;
    }
  }
  if (form_style_ == TFormStyle::fsStayOnTop) params->ex_style |= WS_EX_TOPMOST;
  // Forms other than the main one belong to it on screen: no taskbar button
  // of their own, and they stay above it.
  TForm* main = Application().MainForm();
  if (main && main != this && main->HandleAllocated()) params->owner = main->Handle();
}

void TForm::HandleCreated() {
  ApplyClientSize();
  if (form_style_ == TFormStyle::fsStayOnTop) {
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  UpdateStyle();
  ApplyClientSize();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == border_icons_) return;
  border_icons_ = icons;
  UpdateStyle();
}

void TForm::SetFormStyle(TFormStyle style) {
  if (style == form_style_) return;
  form_style_ = style;
  if (HandleAllocated()) {
    SetWindowPos(Handle(), style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TForm::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
  ApplyClientSize();
}

void TForm::ApplyClientSize() {
  if (client_width_ < 0) return;
  TCreateParams params;
  CreateParams(&params);
  DWORD style = params.style;
  DWORD ex_style = params.ex_style;
  if (HandleAllocated()) {
    style = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE));
    ex_style = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
  }
  RECT r{0, 0, client_width_, client_height_};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
  if (HandleAllocated()) {
    // The frame may differ from what AdjustWindowRectEx said (themes):
    // correct by what the window really has.
    RECT client;
    GetClientRect(Handle(), &client);
    int dw = client_width_ - client.right;
    int dh = client_height_ - client.bottom;
    if (dw != 0 || dh != 0) SetBounds(Left(), Top(), Width() + dw, Height() + dh);
  }
}

int TForm::ClientWidth() { return HandleAllocated() || client_width_ < 0 ? TWinControl::ClientWidth() : client_width_; }
int TForm::ClientHeight() {
  return HandleAllocated() || client_height_ < 0 ? TWinControl::ClientHeight() : client_height_;
}

void TForm::VisibleChanged() {
  HWND window = Handle();
  if (!window) return;
  if (Visible()) {
    if (!placed_ && position_ == TPosition::poScreenCenter) {
      int left = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
      int top = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
      SetBounds(left, top, Width(), Height());
    }
    placed_ = true;
    ShowWindow(window, SW_SHOW);
  } else {
    ShowWindow(window, SW_HIDE);
  }
}

void TForm::BringToFront() {
  if (!HandleAllocated()) return;
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TForm::Close() {
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(this, can_close);
  if (!can_close) return;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (modal_) {
    modal_result_ = IDCANCEL;  // ShowModal hides the form
  } else if (Application().MainForm() == this) {
    Application().Terminate();
  } else if (action == TCloseAction::caHide) {
    Hide();
  } else if (action == TCloseAction::caMinimize) {
    ShowWindow(Handle(), SW_MINIMIZE);
  } else {
    Release();
  }
}

namespace {

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

std::function<void(TForm&)>& TForm::ModalHook() {
  static std::function<void(TForm&)> hook;
  return hook;
}

int TForm::ShowModal() {
  HWND self = Handle();
  std::vector<HWND> others;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&others));
  std::erase(others, self);
  for (HWND w : others) EnableWindow(w, FALSE);
  // The other windows come back before this one goes, so that the system
  // activates the window below instead of another program's; also when the
  // loop ends with an error.
  struct Restore {
    TForm* form;
    std::vector<HWND>& others;
    ~Restore() {
      for (HWND w : others) {
        if (IsWindow(w)) EnableWindow(w, TRUE);
      }
      form->Hide();
      form->modal_ = false;
    }
  } restore{this, others};
  modal_ = true;
  modal_result_ = 0;
  Show();
  SetForegroundWindow(self);
  if (ModalHook()) ModalHook()(*this);
  while (modal_result_ == 0) {
    Application().ProcessMessages();
    if (Application().Terminated()) modal_result_ = IDCANCEL;
    if (modal_result_ == 0) WaitMessage();
  }
  return modal_result_;
}

bool TForm::LabelAccelerator(char16_t key) {
  std::vector<TWinControl*> pending{this};
  while (!pending.empty()) {
    TWinControl* container = pending.back();
    pending.pop_back();
    for (int i = 0; i < container->ControlCount(); ++i) {
      TControl* c = container->Controls(i);
      if (auto* w = dynamic_cast<TWinControl*>(c)) pending.push_back(w);
      auto* label = dynamic_cast<TCustomLabel*>(c);
      if (!label || !label->Visible() || !label->ShowAccelChar() || !label->FocusControl() ||
          !IsAccelerator(key, label->Text()))
        continue;
      TWinControl* target = label->FocusControl();
      if (!target->Visible() || !target->Enabled()) continue;
      target->SetFocus();
      return true;
    }
  }
  return false;
}

bool TForm::DialogChar(const MSG& msg) {
  if (msg.message != WM_SYSCHAR && msg.message != WM_CHAR) return false;
  if (msg.wParam <= u' ' || msg.wParam > 0xFFFF) return false;
  if (msg.message == WM_CHAR) {
    const LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  }
  return LabelAccelerator(static_cast<char16_t>(msg.wParam));
}

void TForm::Release() {
  if (releasing_) return;
  releasing_ = true;
  PostMessageW(Handle(), kReleaseMessage, 0, 0);
}

LRESULT TForm::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_KEYMENU && lparam > u' ' && LabelAccelerator(static_cast<char16_t>(lparam)))
        return 0;
      break;
    case WM_ACTIVATE:
      // The focus goes back to the control that had it when the form was
      // left, or to the first control in the tab order.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) last_focus_ = focus;
      } else {
        HWND target = last_focus_ && IsWindow(last_focus_) && IsChild(Handle(), last_focus_)
                          ? last_focus_
                          : GetNextDlgTabItem(Handle(), nullptr, FALSE);
        if (target && IsWindowEnabled(target)) {
          ::SetFocus(target);
          return 0;
        }
      }
      break;
    case kReleaseMessage:
      delete this;  // nothing of this object may be touched after this
      return 0;
    case WM_WINDOWPOSCHANGED: {
      // Keep the bounds when the operator moves the window.
      auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
      if (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)) {
        RECT r;
        GetWindowRect(Handle(), &r);
        bounds_ = Rect(r.left, r.top, r.right, r.bottom);
      }
      break;
    }
    default:
      break;
  }
  return TWinControl::WndProc(message, wparam, lparam);
}

}  // namespace framework
