#include "ui/head_label_win.h"

#include <utility>

#include "framework/win_control_win.h"

using namespace framework;

namespace ui {

namespace {

// SC_MOVE with HTCAPTION: the system's drag-by-caption loop.
constexpr WPARAM kDragByCaption = 0xF012;

UINT AlignmentFlag(TTextAlignmt alignment) {
  switch (alignment) {
    case TTextAlignmt::taCenter: return DT_CENTER;
    case TTextAlignmt::taRight: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

}  // namespace

THeadLabel::THeadLabel(TComponent* owner) : TCustomLabel(owner) {
  text_font_.SetName(u"Arial");
  text_font_.SetSize(10);
  text_font_.SetStyle(fsBold);
  Font().Assign(text_font_);
  // Assigning the font turned ParentFont off; a placed label follows its
  // parent's font unless told otherwise.
  SetParentFont(true);
}

THeadLabel::~THeadLabel() = default;

void THeadLabel::SetGlyph(const TBitmap& bitmap) {
  if (&bitmap == &glyph_) return;
  glyph_.Assign(bitmap);
  CountGlyphs(glyph_.Width(), glyph_.Height());  // repaints through NumGlyphs
  Fit();
}

void THeadLabel::FontChanged() {
  Invalidate();
  text_font_.Assign(Font());
}

void THeadLabel::TextChanged() { Fit(); }  // the base repaints afterwards

// --- painting --------------------------------------------------------------

void THeadLabel::Paint() {
  painted_ = true;
  TCanvas& canvas = Canvas();
  const TRect face = Bounds(0, 0, Width(), Height());
  if (Gradient().Style() != TGradientStyle::gsNone) {
    PaintGradient();
  } else {
    canvas.SetBrushColor(Gradient().StartColor());  // never quantised
    canvas.FillRect(face);
  }
  PaintBoundLines();
  const int text_start = PaintGlyph();

  // Text lies on the face without a box of its own.
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.Font().Assign(text_font_);
  const TextWidthFn width = [&canvas](std::u16string_view text) { return canvas.TextWidth(text); };
  const std::u16string caption =
      FitCaption(Text(), SubCaption().Text(), text_start, Width(), SubCaption().Margin(), width);
  if (!caption.empty()) {
    TRect r = face;
    r.Left = text_start;
    canvas.DrawText(&r, caption, DT_SINGLELINE | DT_VCENTER | AlignmentFlag(Alignment()));
  }

  if (SubCaption().Caption().empty()) return;
  // The sub-caption's own colour, size and style on the text font's face.
  TFont& font = canvas.Font();
  font.SetColor(SubCaption().Color());
  font.SetSize(SubCaption().Size());
  font.SetStyle(SubCaption().Style());
  const std::u16string sub = SubCaption().Text();
  if (!SubCaptionFits(canvas.TextWidth(sub), Width())) return;
  TRect r = face;
  r.Right -= SubCaption().Margin();
  canvas.DrawText(&r, sub, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

void THeadLabel::PaintGradient() {
  TCanvas& canvas = Canvas();
  const TGradient& g = Gradient();
  const int n = g.ColorSteps();
  MutablePalette().Build(g.Style(), g.StartColor(), g.EndColor(), n, RoundBit());
  for (int k = 0; k < n; ++k) {
    const TRect band = BandRect(g.Style(), k, n, Width(), Height());
    if (band.Width() <= 0 || band.Height() <= 0) continue;
    canvas.SetBrushColor(static_cast<TColor>(Palette().Slot(k + 1)));
    canvas.FillRect(band);
  }
}

void THeadLabel::PaintGradientNow() {
  // Without a window to draw on, the first paint draws it.
  if (!Visible() || !Parent() || !Parent()->HandleAllocated()) return;
  PaintGradient();
}

void THeadLabel::PaintBoundLines() {
  const int right = Width() - 1;
  const int bottom = Height() - 1;
  struct Line {
    TBoundLine edge;
    int x0, y0, x1, y1;
  };
  const Line lines[] = {{blLeft, 0, 0, 0, bottom},
                        {blTop, 0, 0, right, 0},
                        {blRight, right, 0, right, bottom},
                        {blBottom, 0, bottom, right, bottom}};
  TCanvas& canvas = Canvas();
  canvas.SetPenColor(BoundColor());
  for (const Line& line : lines) {
    if (!(BoundLines() & line.edge)) continue;
    canvas.MoveTo(line.x0, line.y0);
    canvas.LineTo(line.x1, line.y1);  // the end point is not drawn
  }
}

int THeadLabel::PaintGlyph() {
  if (glyph_.Empty()) return Margin();
  const GlyphPlace place = PlaceGlyph(glyph_.Width(), glyph_.Height(), NumGlyphs(), Width(), Height(), Margin(),
                                      Spacing(), GlyphMode());
  const int frame = glyph_.Width() / NumGlyphs();
  glyph_.StretchDrawTransparent(Canvas(), place.rect, Bounds(0, 0, frame, glyph_.Height()));
  return place.text_start;
}

// --- size ------------------------------------------------------------------

void THeadLabel::FitBounds() {
  if (Align() == TAlign::alClient) return;
  // Measured in the font last used on the surface; before the first paint
  // that is the text font.
  TCanvas& surface = Canvas();
  if (!painted_) surface.Font().Assign(text_font_);
  // A label not yet on a window measures on the screen, in the same font.
  WindowDC screen(nullptr);
  TCanvas screen_canvas;
  TCanvas* canvas = &surface;
  if (!Parent() || !Parent()->HandleAllocated()) {
    screen_canvas.SetHandle(screen.get());
    screen_canvas.Font().Assign(surface.Font());
    canvas = &screen_canvas;
  }
  const std::u16string caption = Text();
  const std::u16string sub = SubCaption().Text();
  FitMeasures m;
  m.caption_width = canvas->TextWidth(caption);
  m.caption_height = canvas->TextHeight(caption);
  m.sub_width = canvas->TextWidth(sub);
  m.sub_height = canvas->TextHeight(sub);
  m.dots_width = canvas->TextWidth(kDotsRoom);
  m.glyph_width = glyph_.Width();
  m.glyph_height = glyph_.Height();
  const FittedSize size = FitSize(Align(), m, Margin(), Spacing(), SubCaption().Margin(), BoundLines());
  SetBounds(Left(), Top(), size.width.value_or(Width()), size.height.value_or(Height()));
}

// --- mouse -----------------------------------------------------------------

void THeadLabel::DblClick(int, int) { double_press_ = true; }  // its press follows at once

void THeadLabel::MouseDown(TMouseButton button, UINT keys, int x, int y) {
  const bool second_press = std::exchange(double_press_, false);
  TCustomLabel::MouseDown(button, keys, x, y);
  if (button != TMouseButton::mbLeft) return;
  if (second_press) {
    Fire(OnGlyphDblClick, OnDblClick);
    return;
  }
  if (FormMove()) DragForm();  // the click follows when the drag is over
  Fire(OnGlyphClick, OnClick);
}

void THeadLabel::Fire(const TNotifyEvent& on_glyph, const TNotifyEvent& on_label) {
  // A copy: the handler may assign the event it runs from.
  TNotifyEvent handler = GlyphHit() && on_glyph ? on_glyph : on_label;
  if (handler) handler(this);
}

bool THeadLabel::GlyphHit() const {
  if (glyph_.Empty() || !Parent() || !Parent()->HandleAllocated()) return false;
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(Parent()->WindowHandle(), &p)) return false;
  return InGlyphZone(p.x - Left(), Margin(), glyph_.Width());
}

void THeadLabel::DragForm() {
  TWinControl* form = Parent();
  while (form && form->Parent()) form = form->Parent();
  if (!form || !form->HandleAllocated()) return;
  ReleaseCapture();
  SendMessageW(form->WindowHandle(), WM_SYSCOMMAND, kDragByCaption, 0);
}

}  // namespace ui
