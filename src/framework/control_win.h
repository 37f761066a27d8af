// TControl: what every control has (parent, bounds, visibility, enabled
// state, font, colour, text, click), and TGraphicControl, a control without
// a window of its own that paints on its parent's surface.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "framework/align.h"
#include "framework/canvas_win.h"
#include "framework/color.h"
#include "framework/component.h"
#include "framework/font_win.h"
#include "framework/geometry.h"

namespace framework {

class TWinControl;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Mouse events get the control's client coordinates and the MK_ key flags.
using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, UINT keys, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, UINT keys, int x, int y)>;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return bounds_.Left; }
  int Top() const { return bounds_.Top; }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  const TRect& BoundsRect() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  virtual int ClientWidth() { return Width(); }
  virtual int ClientHeight() { return Height(); }
  // Docking: a docked control is placed by its parent (see AlignBounds).
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // The control's font. While ParentFont is on it follows the parent's.
  TFont& Font() { return font_; }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool on);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // The caption or text, as UTF-16 and as Windows-1251.
  virtual std::u16string Text() const { return text_; }
  std::string Caption() const;
  void SetText(std::u16string text);
  void SetCaption(std::string_view cp1251);
  void SetCaption(std::u8string_view utf8);

  // Asks for a repaint later; Repaint draws at once.
  virtual void Invalidate();
  virtual void Repaint();

  // Fires OnClick.
  virtual void Click();
  TNotifyEvent OnClick;
  // Fired by the default mouse handling below.
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 protected:
  virtual bool IsWindowed() const { return false; }
  virtual void BoundsChanged() {}
  virtual void VisibleChanged() {}
  virtual void EnabledChanged() {}
  virtual void TextChanged() {}
  virtual void FontChanged() {}
  virtual void ColorChanged() {}

  // Mouse, in this control's client coordinates. Graphic controls get them
  // from their parent, which captures the mouse between press and release;
  // a double click comes as DblClick followed at once by MouseDown. The
  // defaults fire the mouse events.
  virtual void MouseDown(TMouseButton button, UINT keys, int x, int y);
  virtual void MouseMove(UINT keys, int x, int y);
  virtual void MouseUp(TMouseButton button, UINT keys, int x, int y);
  virtual void DblClick(int /*x*/, int /*y*/) {}
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}

  // Sets the parent's font into ours without turning ParentFont off.
  void TakeParentFont();
  // Records the text a window already shows, without notifying anyone.
  void StoreText(std::u16string text) { text_ = std::move(text); }

  TRect bounds_;

 private:
  friend class TWinControl;

  TWinControl* parent_ = nullptr;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool parent_font_ = true;
  bool taking_parent_font_ = false;
  TColor color_ = clBtnFace;
  TFont font_;
  std::u16string text_;
};

// A canvas on the parent's window, placed and clipped to a graphic control.
// It fetches a DC when first drawn on outside painting; the application
// gives such DCs back after each message.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;
  // Gives back a DC fetched by CreateHandle.
  void FreeHandle();
  static void FreeAllHandles();

 protected:
  void CreateHandle() override;

 private:
  TControl* control_;
  HWND window_ = nullptr;
  HDC fetched_ = nullptr;
};

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;

  TCanvas& Canvas() { return *canvas_; }

 protected:
  friend class TWinControl;
  // Draws the control on Canvas(), whose origin is the control's top-left.
  virtual void Paint() {}

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

}  // namespace framework
