#include "framework/application_win.h"

#include <commctrl.h>

#include "framework/application.h"
#include "framework/color.h"
#include "framework/control_win.h"
#include "framework/dialogs_win.h"
#include "framework/form_win.h"
#include "framework/text.h"
#include "framework/wide_win.h"

namespace framework {

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { FreeForms(); }

void TApplication::FreeForms() { DestroyComponents(); }

void TApplication::Initialize() {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  title_ = TitleFromExeName(std::u16string_view(reinterpret_cast<const char16_t*>(path), n));
  SetSysColorTable([](int index) { return static_cast<uint32_t>(GetSysColor(index)); });
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
}

void TApplication::Run() {
  if (main_form_) main_form_->Show();
  while (!terminated_) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      terminated_ = true;
      break;
    }
    HandleMessage(&msg);
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      continue;
    }
    HandleMessage(&msg);
  }
}

bool TApplication::HandleMessage(MSG* msg) {
  // Tab and the arrow keys move between the controls of a form.
  HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
  bool handled = false;
  if (root && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
    if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root))) {
      // The labels' accelerators first: the system's dialog handling knows
      // only windows.
      handled = form->DialogChar(*msg) || IsDialogMessageW(root, msg) != FALSE;
    }
  }
  if (!handled) {
    TranslateMessage(msg);
    DispatchMessageW(msg);
  }
  TControlCanvas::FreeAllHandles();
  return true;
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

void TApplication::ShowException(const std::exception& e) {
  MessageBoxRequest request;
  request.text = FromUtf8(ErrorDisplayText(e.what()));
  request.caption = title_;
  request.style = MB_OK | MB_ICONERROR;
  ShowMessageBox(request);
}

void TApplication::HandleException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::runtime_error("Unexpected error"));
  }
}

void TApplication::SetBusyCursor(bool busy) {
  if (busy == busy_cursor_) return;
  busy_cursor_ = busy;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 : 32512)));  // IDC_WAIT : IDC_ARROW
}

void TApplication::FormDestroyed(TForm* form) {
  if (main_form_ == form) main_form_ = nullptr;
}

TApplication& Application() {
  static TApplication application;
  return application;
}

void HandleEventException(std::exception_ptr error) { Application().HandleException(error); }

bool BusyCursorShown() { return Application().BusyCursor(); }

}  // namespace framework
