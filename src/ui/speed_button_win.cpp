#include "ui/speed_button_win.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/win_control_win.h"

using namespace framework;

namespace ui {

namespace {

// Space between a glyph and the caption.
constexpr int kGlyphSpacing = 4;

}  // namespace

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 23, 22);
  glyph_.SetTransparent(true);
}

TSpeedButton::~TSpeedButton() {
  if (tooltip_) DestroyWindow(tooltip_);
}

void TSpeedButton::SetFlat(bool on) {
  if (on == flat_) return;
  flat_ = on;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  Invalidate();
}

TButtonState TSpeedButton::State() const {
  if (!Enabled()) return TButtonState::bsDisabled;
  return down_ ? TButtonState::bsDown : TButtonState::bsUp;
}

void TSpeedButton::SetGlyph(const TBitmap& bitmap) {
  glyph_.Assign(bitmap);
  glyph_.SetTransparent(true);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int count) {
  count = std::clamp(count, 1, 4);
  if (count == num_glyphs_) return;
  num_glyphs_ = count;
  Invalidate();
}

int TSpeedButton::GlyphWidth() const { return glyph_.Width() / num_glyphs_; }

void TSpeedButton::DrawGlyph(TCanvas& canvas, int x, int y, TButtonState state) {
  if (glyph_.Empty()) return;
  const int w = GlyphWidth();
  const int h = glyph_.Height();
  const int index = state == TButtonState::bsDisabled ? 1 : state == TButtonState::bsDown ? 2 : 0;
  if (index < num_glyphs_) {
    glyph_.DrawPart(canvas, x, y, Bounds(index * w, 0, w, h));
    return;
  }
  if (state != TButtonState::bsDisabled) {
    glyph_.DrawPart(canvas, x, y, Bounds(0, 0, w, h));
    return;
  }
  // Embossed: every opaque pixel of the first image, light one pixel down
  // and right, then in shadow over it.
  TCanvas& source = glyph_.Canvas();
  const COLORREF key = ColorToRGB(glyph_.TransparentColor());
  const COLORREF light = ColorToRGB(clBtnHighlight);
  const COLORREF shadow = ColorToRGB(clBtnShadow);
  HDC dc = canvas.Handle();
  for (int pass = 0; pass < 2; ++pass) {
    for (int gy = 0; gy < h; ++gy) {
      for (int gx = 0; gx < w; ++gx) {
        if (source.Pixel(gx, gy) == key) continue;
        if (pass == 0) {
          SetPixel(dc, x + gx + 1, y + gy + 1, light);
        } else {
          SetPixel(dc, x + gx, y + gy, shadow);
        }
      }
    }
  }
}

void TSpeedButton::Paint() {
  TCanvas& canvas = Canvas();
  const TButtonState state = State();
  const SpeedButtonLook look = LookOf(state, flat_, transparent_, hot_);
  TRect r = Bounds(0, 0, Width(), Height());
  if (look.fill) {
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect(r);
  }
  if (look.edge != ButtonEdge::kNone) {
    const bool raised = look.edge == ButtonEdge::kRaised;
    if (look.thick_edge) {
      Frame3D(canvas, &r, raised ? clBtnHighlight : cl3DDkShadow, raised ? cl3DDkShadow : clBtnHighlight, 1);
      Frame3D(canvas, &r, raised ? cl3DLight : clBtnShadow, raised ? clBtnShadow : cl3DLight, 1);
    } else {
      Frame3D(canvas, &r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, 1);
    }
  }
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.Font().Assign(Font());
  const std::u16string caption = Text();
  // Glyph and caption side by side, centred together.
  const int glyph_w = glyph_.Empty() ? 0 : GlyphWidth();
  const int text_w = caption.empty() ? 0 : canvas.TextWidth(caption);
  const int total = glyph_w + text_w + (glyph_w && text_w ? kGlyphSpacing : 0);
  const int offset = look.content_offset;
  int x = (Width() - total) / 2 + offset;
  if (glyph_w) {
    DrawGlyph(canvas, x, (Height() - glyph_.Height()) / 2 + offset, state);
    x += glyph_w + kGlyphSpacing;
  }
  if (caption.empty()) return;
  TRect text = glyph_w ? Rect(x, offset, Width(), Height() + offset) : Bounds(offset, offset, Width(), Height());
  const UINT flags = (glyph_w ? DT_LEFT : DT_CENTER) | DT_VCENTER | DT_SINGLELINE;
  if (look.embossed) {
    TRect light = Rect(text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(&light, caption, flags);
    canvas.Font().SetColor(clBtnShadow);
  }
  canvas.DrawText(&text, caption, flags);
}

void TSpeedButton::DiscardQueuedPresses() {
  HWND window = Parent() ? Parent()->WindowHandle() : nullptr;
  if (!window) return;
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
    MSG msg;
    while (PeekMessageW(&msg, window, message, message, PM_NOREMOVE)) {
      POINTS p = MAKEPOINTS(msg.lParam);
      if (!BoundsRect().Contains(p.x, p.y)) break;
      PeekMessageW(&msg, window, message, message, PM_REMOVE);
    }
  }
}

void TSpeedButton::MouseDown(TMouseButton button, UINT, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  dragging_ = true;
  down_ = Inside(x, y);
  Repaint();
  DiscardQueuedPresses();
}

void TSpeedButton::MouseMove(UINT, int x, int y) {
  if (!dragging_) return;
  bool down = Inside(x, y);
  if (down != down_) {
    down_ = down;
    Repaint();
  }
}

void TSpeedButton::MouseUp(TMouseButton button, UINT, int x, int y) {
  if (button != TMouseButton::mbLeft || !dragging_) return;
  dragging_ = false;
  down_ = false;
  hot_ = Inside(x, y);
  Repaint();
  if (Inside(x, y) && Enabled()) Click();
}

void TSpeedButton::MouseEnter() {
  hot_ = true;
  if (flat_ && Enabled()) Invalidate();
}

void TSpeedButton::MouseLeave() {
  hot_ = false;
  if (flat_ && Enabled()) Invalidate();
}

void TSpeedButton::EnabledChanged() {
  dragging_ = false;
  down_ = false;
  Invalidate();
}

void TSpeedButton::SetHint(std::u16string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  UpdateHintTool();
}

void TSpeedButton::SetShowHint(bool on) {
  if (on == show_hint_) return;
  show_hint_ = on;
  UpdateHintTool();
}

void TSpeedButton::BoundsChanged() { UpdateHintTool(); }

// The hint is a tool of a tooltip window over the button's rectangle of
// its parent, there only while there is a hint to show.
void TSpeedButton::UpdateHintTool() {
  if (tooltip_) {
    DestroyWindow(tooltip_);
    tooltip_ = nullptr;
  }
  if (!show_hint_ || hint_.empty() || !Parent()) return;
  HWND parent = Parent()->Handle();
  if (!parent) return;
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                             parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tooltip_) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = parent;
  tool.uId = 1;
  tool.rect = RECT{Left(), Top(), Left() + Width(), Top() + Height()};
  tool.lpszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(hint_.c_str()));
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace ui
