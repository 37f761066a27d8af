// TWinControl: a control with a window. One window procedure serves every
// such control: the object is bound to its window at creation (or when a
// standard control is subclassed), messages go to the virtual WndProc, and
// notifications of child controls (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLOR*) are reflected to the child's object. The
// window is made when first needed: when the control, or a child of it,
// needs its handle, or when it is placed on a parent whose window exists.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/control_win.h"

namespace framework {

struct TCreateParams {
  std::u16string class_name;  // empty: the framework's own window class
  DWORD style = 0;
  DWORD ex_style = 0;
  HWND owner = nullptr;  // for top-level windows
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, made now if it does not exist yet.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // The window if it exists, without making it.
  HWND WindowHandle() const { return handle_; }
  void SetParent(TWinControl* parent) override;

  int ClientWidth() override;
  int ClientHeight() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }

  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool on);
  void SetFocus();
  bool Focused() const;

  void Invalidate() override;
  void Repaint() override;
  // Paints what is invalid now.
  void Update();
  // Places the docked children in the client area (see AlignBounds).
  void AlignControls();

  // The object bound to `window`, or null.
  static TWinControl* FromHandle(HWND window);

 protected:
  bool IsWindowed() const override { return true; }
  virtual void CreateParams(TCreateParams* params);
  // After the window has been made (font, text and bounds are set).
  virtual void HandleCreated() {}
  virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
  // The default handling: the standard control's own procedure, or
  // DefWindowProc.
  LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);
  // A notification sent to the parent by this control's window. Return true
  // when handled, with the result in `result`.
  virtual bool ReflectedMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/,
                                LRESULT* /*result*/) {
    return false;
  }
  // Paints the window's own face (the framework's window class only); the
  // graphic children are painted over it afterwards. Fills with Color().
  virtual void PaintWindow(TCanvas& canvas);
  void DestroyHandle();

  void BoundsChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

  // Applies a changed style (for properties of a made window).
  void UpdateStyle();

 private:
  friend class TControl;

  static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateHandle();
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void PaintControls(HDC dc, const RECT& update);
  TGraphicControl* GraphicControlAt(int x, int y) const;
  bool RouteMouse(UINT message, WPARAM wparam, LPARAM lparam);
  bool ReflectToChild(HWND child, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

  HWND handle_ = nullptr;
  WNDPROC default_proc_ = nullptr;  // set for subclassed standard controls
  bool own_class_ = true;
  bool tab_stop_ = false;
  std::vector<TControl*> controls_;  // children, in the order they came
  TControl* mouse_control_ = nullptr;  // graphic child holding the mouse
  TControl* hover_control_ = nullptr;  // graphic child under the mouse
  bool tracking_leave_ = false;
  bool aligning_ = false;
};

}  // namespace framework
