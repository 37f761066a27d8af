#include "framework/control_win.h"

#include <algorithm>
#include <vector>

#include "framework/text.h"
#include "framework/win_control_win.h"

namespace framework {

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = [this] {
    if (!taking_parent_font_) parent_font_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveControl(this);
  }
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    if (parent_font_) TakeParentFont();
    Invalidate();
  }
}

void TControl::TakeParentFont() {
  if (!parent_) return;
  taking_parent_font_ = true;
  font_.Assign(parent_->Font());
  taking_parent_font_ = false;
}

void TControl::SetParentFont(bool on) {
  if (on == parent_font_) return;
  parent_font_ = on;
  if (on) TakeParentFont();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  TRect r = Bounds(left, top, width, height);
  if (r == bounds_) return;
  Invalidate();
  bounds_ = r;
  BoundsChanged();
  Invalidate();
  // A docked control's new size moves it and its docked siblings.
  if (Docks(align_) && parent_) parent_->AlignControls();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  const bool docked = Docks(align_) || Docks(align);
  align_ = align;
  if (docked && parent_) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible) Invalidate();
  visible_ = visible;
  VisibleChanged();
  if (visible) Invalidate();
  if (Docks(align_) && parent_) parent_->AlignControls();  // a hidden control takes no room
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
  Invalidate();
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  ColorChanged();
  Invalidate();
}

std::string TControl::Caption() const { return ToCp1251(Text()); }

void TControl::SetText(std::u16string text) {
  if (text == text_) return;
  text_ = std::move(text);
  TextChanged();
  Invalidate();
}

void TControl::SetCaption(std::string_view cp1251) { SetText(FromCp1251(cp1251)); }
void TControl::SetCaption(std::u8string_view utf8) { SetText(FromUtf8(utf8)); }

void TControl::Invalidate() {
  if (!parent_ || !parent_->HandleAllocated()) return;
  RECT r{bounds_.Left, bounds_.Top, bounds_.Right, bounds_.Bottom};
  InvalidateRect(parent_->Handle(), &r, FALSE);
}

void TControl::Repaint() {
  Invalidate();
  if (parent_) parent_->Update();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::MouseDown(TMouseButton button, UINT keys, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, keys, x, y);
}

void TControl::MouseMove(UINT keys, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, keys, x, y);
}

void TControl::MouseUp(TMouseButton button, UINT keys, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, keys, x, y);
}

// ---------------------------------------------------------------------------

namespace {
std::vector<TControlCanvas*>& CanvasesWithDC() {
  static std::vector<TControlCanvas*> list;
  return list;
}
}  // namespace

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  TWinControl* parent = control_->Parent();
  if (!parent) return;
  window_ = parent->Handle();
  fetched_ = GetDC(window_);
  if (!fetched_) return;
  const TRect& b = control_->BoundsRect();
  SetViewportOrgEx(fetched_, b.Left, b.Top, nullptr);
  IntersectClipRect(fetched_, 0, 0, b.Width(), b.Height());
  SetHandle(fetched_);
  CanvasesWithDC().push_back(this);
}

void TControlCanvas::FreeHandle() {
  if (!fetched_) return;
  SetHandle(nullptr);
  ReleaseDC(window_, fetched_);
  fetched_ = nullptr;
  window_ = nullptr;
  auto& list = CanvasesWithDC();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::FreeAllHandles() {
  auto& list = CanvasesWithDC();
  while (!list.empty()) list.back()->FreeHandle();
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() { canvas_->FreeHandle(); }

}  // namespace framework
