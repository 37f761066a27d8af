#include "framework/win_control_win.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/application_win.h"
#include "framework/wide_win.h"

namespace framework {

namespace {

constexpr wchar_t kWindowClass[] = L"AdvCleanWindow";

void RegisterWindowClass(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);
  registered = true;
}

// The object whose window is being made, for the messages that come before
// CreateWindowEx returns (a standard control is subclassed only then).
TWinControl* g_creating = nullptr;

}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  DestroyComponents();
  // Children owned by someone else stay alive but lose their parent.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND window) {
  // Only windows that run our procedure carry an object: other windows may
  // use their user data for anything.
  if (!window || reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) != &StaticWndProc)
    return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TWinControl::CreateParams(TCreateParams* params) {
  params->style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (tab_stop_) params->style |= WS_TABSTOP;
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

void TWinControl::CreateHandle() {
  TCreateParams params;
  CreateParams(&params);
  HWND parent_window = nullptr;
  if (params.style & WS_CHILD) {
    if (!Parent()) return;  // a child window needs its parent first
    parent_window = Parent()->Handle();
    if (!parent_window) return;
  } else {
    parent_window = params.owner;
  }
  // Top-level windows are shown by their own code, once placed.
  if (Visible() && (params.style & WS_CHILD)) params.style |= WS_VISIBLE;
  if (!Enabled()) params.style |= WS_DISABLED;

  own_class_ = params.class_name.empty();
  if (own_class_) RegisterWindowClass(&StaticWndProc);
  const wchar_t* class_name = own_class_ ? kWindowClass : Wide(params.class_name);
  std::u16string text = TControl::Text();

  TWinControl* outer = g_creating;
  g_creating = this;
  HWND window = CreateWindowExW(params.ex_style, class_name, Wide(text), params.style, bounds_.Left,
                                bounds_.Top, bounds_.Width(), bounds_.Height(), parent_window, nullptr,
                                GetModuleHandleW(nullptr), this);
  g_creating = outer;
  if (!window) return;
  if (!own_class_) {
    handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    default_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc)));
  }
  SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  // Children placed before the window existed get theirs now, in order.
  for (TControl* child : controls_) {
    if (child->IsWindowed()) static_cast<TWinControl*>(child)->Handle();
  }
  HandleCreated();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND window = handle_;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (default_proc_) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(default_proc_));
    default_proc_ = nullptr;
  }
  handle_ = nullptr;
  DestroyWindow(window);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TWinControl* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<TWinControl*>(cs->lpCreateParams);
    if (self) {
      self->handle_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  } else {
    self = FromHandle(window);
  }
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    LRESULT r = self->DefaultHandler(message, wparam, lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
    return r;
  }
  // An exception must not cross the system's code: it ends the handler and
  // goes to the application's default error display.
  try {
    return self->WndProc(message, wparam, lparam);
  } catch (...) {
    HandleEventException(std::current_exception());
  }
  return 0;
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam) {
  if (!handle_) return 0;
  if (default_proc_) return CallWindowProcW(default_proc_, handle_, message, wparam, lparam);
  return DefWindowProcW(handle_, message, wparam, lparam);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  switch (message) {
    case WM_PAINT:
      if (own_class_) {
        PaintScope paint(handle_);
        TCanvas canvas;
        canvas.SetHandle(paint.get());
        {
          SavedDC saved(paint.get());
          PaintWindow(canvas);
        }
        canvas.SetHandle(nullptr);
        PaintControls(paint.get(), paint.rect());
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (own_class_) {
        // Paint into a given DC, as WM_PAINT would (for printing and
        // captures of the window's face).
        HDC dc = reinterpret_cast<HDC>(wparam);
        RECT client;
        GetClientRect(handle_, &client);
        TCanvas canvas;
        canvas.SetHandle(dc);
        {
          SavedDC saved(dc);
          PaintWindow(canvas);
        }
        canvas.SetHandle(nullptr);
        PaintControls(dc, client);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (own_class_) return 1;  // the paint fills the whole face
      break;
    case WM_SETCURSOR:
      if (BusyCursorShown() && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
        return TRUE;
      }
      break;
    case WM_COMMAND:
      if (lparam && ReflectToChild(reinterpret_cast<HWND>(lparam), message, wparam, lparam, &result))
        return result;
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header && ReflectToChild(header->hwndFrom, message, wparam, lparam, &result)) return result;
      break;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (item && ReflectToChild(item->hwndItem, message, wparam, lparam, &result)) return result;
      break;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      // Fixed-height owner-drawn controls ask while they are being made, when
      // the identifier (shared by our controls) cannot tell which one asks.
      TWinControl* child = g_creating && g_creating->Parent() == this ? g_creating : nullptr;
      if (!child && item) child = FromHandle(GetDlgItem(handle_, static_cast<int>(item->CtlID)));
      if (child && child->ReflectedMessage(message, wparam, lparam, &result)) return result;
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (ReflectToChild(reinterpret_cast<HWND>(lparam), message, wparam, lparam, &result)) return result;
      break;
    case WM_SIZE:
      AlignControls();
      break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
      if (RouteMouse(message, wparam, lparam)) return 0;
      break;
    default:
      break;
  }
  return DefaultHandler(message, wparam, lparam);
}

bool TWinControl::ReflectToChild(HWND child, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (!child || child == handle_) return false;
  TWinControl* control = FromHandle(child);
  if (!control) return false;
  return control->ReflectedMessage(message, wparam, lparam, result);
}

void TWinControl::PaintWindow(TCanvas& canvas) {
  RECT r;
  GetClientRect(handle_, &r);
  canvas.SetBrushColor(Color());
  canvas.FillRect(Rect(r.left, r.top, r.right, r.bottom));
}

void TWinControl::PaintControls(HDC dc, const RECT& update) {
  for (TControl* control : controls_) {
    if (control->IsWindowed() || !control->Visible()) continue;
    const TRect& b = control->BoundsRect();
    RECT r{b.Left, b.Top, b.Right, b.Bottom};
    RECT common;
    if (!IntersectRect(&common, &r, &update)) continue;
    auto* graphic = static_cast<TGraphicControl*>(control);
    TControlCanvas& canvas = static_cast<TControlCanvas&>(graphic->Canvas());
    canvas.FreeHandle();
    SavedDC saved(dc);
    SetViewportOrgEx(dc, b.Left, b.Top, nullptr);
    IntersectClipRect(dc, 0, 0, b.Width(), b.Height());
    canvas.SetHandle(dc);
    graphic->Paint();
    canvas.SetHandle(nullptr);
  }
}

TGraphicControl* TWinControl::GraphicControlAt(int x, int y) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible() || !c->Enabled()) continue;
    if (c->BoundsRect().Contains(x, y)) return static_cast<TGraphicControl*>(c);
  }
  return nullptr;
}

bool TWinControl::RouteMouse(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_MOUSELEAVE) {
    tracking_leave_ = false;
    if (hover_control_ && !mouse_control_) {
      TControl* old = hover_control_;
      hover_control_ = nullptr;
      old->MouseLeave();
    }
    return false;
  }
  if (message == WM_CAPTURECHANGED) {
    if (mouse_control_ && reinterpret_cast<HWND>(lparam) != handle_) mouse_control_ = nullptr;
    return false;
  }
  int x = GET_X_LPARAM(lparam);
  int y = GET_Y_LPARAM(lparam);
  UINT keys = static_cast<UINT>(wparam);

  if (message == WM_MOUSEMOVE) {
    if (!tracking_leave_) {
      TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, handle_, 0};
      tracking_leave_ = TrackMouseEvent(&tme) != FALSE;
    }
    TControl* under = GraphicControlAt(x, y);
    if (under != hover_control_) {
      TControl* old = hover_control_;
      hover_control_ = under;
      if (old) old->MouseLeave();
      if (under) under->MouseEnter();
    }
  }

  TControl* target = mouse_control_ ? mouse_control_ : GraphicControlAt(x, y);
  if (!target) return false;
  int cx = x - target->Left();
  int cy = y - target->Top();
  switch (message) {
    case WM_MOUSEMOVE:
      target->MouseMove(keys, cx, cy);
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      mouse_control_ = target;
      SetCapture(handle_);
      target->MouseDown(message == WM_LBUTTONDOWN ? TMouseButton::mbLeft : TMouseButton::mbRight, keys, cx, cy);
      return true;
    case WM_LBUTTONDBLCLK:
      mouse_control_ = target;
      SetCapture(handle_);
      target->DblClick(cx, cy);
      target->MouseDown(TMouseButton::mbLeft, keys, cx, cy);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      mouse_control_ = nullptr;
      if (GetCapture() == handle_) ReleaseCapture();
      target->MouseUp(message == WM_LBUTTONUP ? TMouseButton::mbLeft : TMouseButton::mbRight, keys, cx, cy);
      return true;
    default:
      return false;
  }
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (control->IsWindowed() && handle_) static_cast<TWinControl*>(control)->Handle();
  if (Docks(control->Align())) AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (mouse_control_ == control) mouse_control_ = nullptr;
  if (hover_control_ == control) hover_control_ = nullptr;
  if (control->IsWindowed()) static_cast<TWinControl*>(control)->DestroyHandle();
  if (Docks(control->Align())) AlignControls();
}

void TWinControl::AlignControls() {
  if (aligning_) return;  // the bounds set below come back here
  std::vector<DockedControl> docked;
  std::vector<TControl*> placed;
  for (TControl* c : controls_) {
    if (!c->Visible() || !Docks(c->Align())) continue;
    docked.push_back({c->Align(), c->BoundsRect()});
    placed.push_back(c);
  }
  if (docked.empty()) return;
  AlignBounds(Bounds(0, 0, ClientWidth(), ClientHeight()), &docked);
  aligning_ = true;
  for (size_t i = 0; i < placed.size(); ++i) {
    const TRect& b = docked[i].bounds;
    placed[i]->SetBounds(b.Left, b.Top, b.Width(), b.Height());
  }
  aligning_ = false;
}

void TWinControl::SetParent(TWinControl* parent) {
  TControl::SetParent(parent);
  if (parent && parent->HandleAllocated()) Handle();
}

int TWinControl::ClientWidth() {
  RECT r{};
  if (Handle()) GetClientRect(handle_, &r);
  return r.right - r.left;
}

int TWinControl::ClientHeight() {
  RECT r{};
  if (Handle()) GetClientRect(handle_, &r);
  return r.bottom - r.top;
}

void TWinControl::SetTabStop(bool on) {
  if (on == tab_stop_) return;
  tab_stop_ = on;
  UpdateStyle();
}

void TWinControl::SetFocus() {
  if (Handle()) ::SetFocus(handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, FALSE);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::UpdateStyle() {
  if (!handle_) return;
  TCreateParams params;
  CreateParams(&params);
  DWORD keep = static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED);
  SetWindowLongPtrW(handle_, GWL_STYLE, static_cast<LONG_PTR>(params.style | keep));
  SetWindowLongPtrW(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(params.ex_style));
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWinControl::BoundsChanged() {
  if (handle_) {
    SetWindowPos(handle_, nullptr, bounds_.Left, bounds_.Top, bounds_.Width(), bounds_.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TWinControl::VisibleChanged() {
  if (handle_) ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (handle_) EnableWindow(handle_, Enabled());
}

void TWinControl::TextChanged() {
  if (handle_) SetWindowTextW(handle_, Wide(TControl::Text()));
}

void TWinControl::FontChanged() {
  if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
  for (TControl* child : controls_) {
    if (child->ParentFont()) child->TakeParentFont();
  }
}

void TWinControl::ColorChanged() { Invalidate(); }

}  // namespace framework
