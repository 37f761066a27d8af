#include "ui/combo_edit_win.h"

#include <algorithm>

#include "framework/form_win.h"
#include "framework/wide_win.h"

using namespace framework;

namespace ui {

namespace {

constexpr int kHostWidth = 21;
constexpr int kHostHeight = 17;
constexpr int kFieldHeight = 21;

bool NewStyleControls() { return LOBYTE(LOWORD(GetVersion())) >= 4; }

int CharHeight(HFONT font) {
  WindowDC dc(nullptr);
  SelectScope select(dc.get(), font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc.get(), &tm);
  return tm.tmHeight;
}

// The shift state of a key message: Alt from the message itself, since
// keys sent by a program leave the keyboard state alone.
TShortCut ShortCutOfMessage(UINT message, WPARAM key, LPARAM lparam) {
  const bool alt = (message == WM_SYSKEYDOWN && (lparam & (1 << 29))) || GetKeyState(VK_MENU) < 0;
  return ShortCutOf(static_cast<unsigned>(key), GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, alt);
}

}  // namespace

// ---------------------------------------------------------------------------

TEditButton::TEditButton(TComponent* owner, TCustomComboEdit* field) : TSpeedButton(owner), field_(field) {}

void TEditButton::MouseDown(TMouseButton button, UINT keys, int x, int y) {
  if (button == TMouseButton::mbLeft && field_->TabStop() && field_->HandleAllocated() &&
      IsWindowVisible(field_->Handle()) && IsWindowEnabled(field_->Handle()) && !field_->Focused()) {
    field_->SetFocus();
  }
  TSpeedButton::MouseDown(button, keys, x, y);
}

void TEditButton::Paint() {
  const int w = Width();
  const int h = Height();
  if (w <= 0 || h <= 0) return;
  TBitmap image;
  image.SetSize(w, h);
  TCanvas& c = image.Canvas();
  const TRect all = Bounds(0, 0, w, h);
  c.SetBrushColor(clBtnFace);
  c.FillRect(all);
  const bool pressed = State() == TButtonState::bsDown;
  TRect r = all;
  if (pressed) {
    Frame3D(c, &r, clWindowFrame, clBtnHighlight, 1);
    Frame3D(c, &r, clBtnShadow, clBtnFace, 1);
  } else {
    Frame3D(c, &r, clBtnHighlight, clWindowFrame, 1);
    Frame3D(c, &r, clBtnFace, clBtnShadow, 1);
  }
  if (!Glyph().Empty()) {
    const int shift = pressed ? 1 : 0;
    const int x = 3 + (w - 6 - GlyphWidth()) / 2 + shift;
    const int y = 3 + (h - 6 - Glyph().Height()) / 2 + shift;
    DrawGlyph(c, x, y, State());
  }
  if (!pressed) {
    c.SetPenColor(NewStyleControls() ? clBtnFace : clBtnShadow);
    c.MoveTo(0, 0);
    c.LineTo(0, h - 1);
    c.SetPenColor(clBtnHighlight);
    c.MoveTo(1, 1);
    c.LineTo(1, h - 2);
  }
  Canvas().CopyRect(all, c, all);
}

// ---------------------------------------------------------------------------

TCustomComboEdit::TCustomComboEdit(TComponent* owner) : TEdit(owner) {
  host_ = new TWinControl(this);
  host_->SetBounds(0, 0, kHostWidth, kHostHeight);
  host_->SetParent(this);
  button_ = new TEditButton(this, this);
  button_->SetBounds(0, 0, kHostWidth, kHostHeight);
  button_->SetParent(host_);
  button_->OnClick = [this](TComponent*) { DoClick(); };
  SetBounds(Left(), Top(), Width(), kFieldHeight);
  default_glyph_count_ = 1;
  glyph_kind_ = TGlyphKind::gkCustom;
  LayoutButton();
  creating_ = false;
}

TCustomComboEdit::~TCustomComboEdit() { button_->OnClick = nullptr; }

void TCustomComboEdit::CreateParams(TCreateParams* params) {
  TEdit::CreateParams(params);
  // Multi-line, so that the text rectangle can leave room for the button.
  params->style |= ES_MULTILINE | WS_CLIPCHILDREN | ES_LEFT;
  params->ex_style &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  if (border_style_ == TBorderStyle::bsSingle) {
    if (ctl3d_ && NewStyleControls()) {
      params->ex_style |= WS_EX_CLIENTEDGE;
    } else {
      params->style |= WS_BORDER;
    }
  }
}

void TCustomComboEdit::HandleCreated() {
  TEdit::HandleCreated();
  ApplyReadOnly();
  LayoutButton();
}

void TCustomComboEdit::SetDirectInput(bool on) {
  direct_input_ = on;
  ApplyReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool on) {
  if (on == read_only_) return;
  read_only_ = on;
  ApplyReadOnly();
}

void TCustomComboEdit::ApplyReadOnly() {
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, read_only_ || !direct_input_, 0);
}

void TCustomComboEdit::SetCtl3D(bool on) {
  if (on == ctl3d_) return;
  ctl3d_ = on;
  UpdateStyle();
  LayoutButton();
}

void TCustomComboEdit::SetBorderStyle(TBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  UpdateStyle();
  LayoutButton();
}

void TCustomComboEdit::SetGlyph(const TBitmap& bitmap) {
  button_->SetGlyph(bitmap);
  glyph_kind_ = TGlyphKind::gkCustom;
}

void TCustomComboEdit::SetNumGlyphs(int count) {
  switch (glyph_kind_) {
    case TGlyphKind::gkDropDown:
    case TGlyphKind::gkEllipsis:
      button_->SetNumGlyphs(1);
      break;
    case TGlyphKind::gkDefault:
      button_->SetNumGlyphs(default_glyph_count_);
      break;
    case TGlyphKind::gkCustom:
      button_->SetNumGlyphs(count);
      break;
  }
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind kind) {
  if (kind == glyph_kind_) return;
  glyph_kind_ = kind;
  RebuildGlyph();
  if (kind == TGlyphKind::gkDefault && !Glyph().Empty()) {
    SetButtonWidth(std::max(Glyph().Width() / NumGlyphs() + 6, ButtonWidth()));
  } else if (kind == TGlyphKind::gkDropDown) {
    SetButtonWidth(GetSystemMetrics(SM_CXVSCROLL));
  }
}

void TCustomComboEdit::RebuildGlyph() {
  switch (glyph_kind_) {
    case TGlyphKind::gkDefault:
      if (const TBitmap* glyph = DefaultGlyph()) button_->SetGlyph(*glyph);
      button_->SetNumGlyphs(default_glyph_count_);
      break;
    case TGlyphKind::gkDropDown: {
      TBitmap arrow;
      arrow.LoadFromResourceID(nullptr, 32738);  // OBM_COMBO
      button_->SetGlyph(arrow);
      button_->SetNumGlyphs(1);
      break;
    }
    case TGlyphKind::gkEllipsis: {
      const EllipsisGlyph g = EllipsisGeometry(ButtonWidth());
      TBitmap dots;
      dots.SetSize(g.width, g.height);
      dots.Canvas().SetBrushColor(clWhite);
      dots.Canvas().FillRect(Bounds(0, 0, g.width, g.height));
      dots.Canvas().SetBrushColor(clBlack);
      for (int x : g.dot_x) dots.Canvas().FillRect(Bounds(x, 1, 2, 2));
      button_->SetGlyph(dots);
      button_->SetNumGlyphs(1);
      break;
    }
    case TGlyphKind::gkCustom:
      break;
  }
}

void TCustomComboEdit::SetButtonWidth(int width) {
  if (width == ButtonWidth()) return;
  host_->SetVisible(width > 1);
  if (creating_) {
    host_->SetBounds(host_->Left(), host_->Top(), width, host_->Height());
    button_->SetBounds(0, 0, width, button_->Height());
  } else {
    if (width >= ClientWidth()) return;
    button_->SetBounds(0, 0, width, button_->Height());
    LayoutButton();
  }
  RebuildGlyph();
}

int TCustomComboEdit::TextHeight() {
  return std::min(CharHeight(static_cast<HFONT>(GetStockObject(SYSTEM_FONT))), CharHeight(Font().Handle()));
}

void TCustomComboEdit::BoundsChanged() {
  TEdit::BoundsChanged();
  const int min_height = MinFieldHeight(CharHeight(static_cast<HFONT>(GetStockObject(SYSTEM_FONT))),
                                        CharHeight(Font().Handle()), GetSystemMetrics(SM_CYBORDER));
  if (Height() < min_height) {
    SetBounds(Left(), Top(), Width(), min_height);  // which lays the button out
    return;
  }
  LayoutButton();
}

void TCustomComboEdit::LayoutButton() {
  const TRect host = ButtonHostBounds(Width(), Height(), ButtonWidth(), NewStyleControls(), ctl3d_,
                                      border_style_ == TBorderStyle::bsSingle);
  host_->SetBounds(host.Left, host.Top, host.Width(), host.Height());
  button_->SetBounds(0, 0, button_->Width(), host.Height());
  SetEditRect();
}

void TCustomComboEdit::SetEditRect() {
  if (!HandleAllocated()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  const TRect r = TextRectOf(client.right, client.bottom, host_->Width());
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  SendMessageW(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&rc));
}

void TCustomComboEdit::FontChanged() {
  TEdit::FontChanged();
  SetEditRect();
}

void TCustomComboEdit::EnabledChanged() {
  TEdit::EnabledChanged();
  button_->SetEnabled(Enabled());
}

void TCustomComboEdit::TextChanged() {
  // A multi-line edit does not report text set by the program.
  const int before = change_notices_;
  TEdit::TextChanged();
  if (HandleAllocated() && change_notices_ == before && OnChange) OnChange(this);
}

void TCustomComboEdit::DoClick() {
  if (GetReadOnly()) return;
  ButtonAction();
}

void TCustomComboEdit::ButtonAction() {
  if (OnButtonClick) OnButtonClick(this);
}

void TCustomComboEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

bool TCustomComboEdit::CanFocus() {
  if (!HandleAllocated()) return false;
  HWND root = GetAncestor(Handle(), GA_ROOT);
  return IsWindowVisible(Handle()) && IsWindowEnabled(Handle()) && IsWindowEnabled(root);
}

void TCustomComboEdit::PassDialogKey(WPARAM key) {
  // What the dialog manager would do with the key: press the form's
  // default or cancel button, where it has one.
  HWND root = GetAncestor(Handle(), GA_ROOT);
  const int id = key == VK_RETURN ? IDOK : IDCANCEL;
  HWND button = GetDlgItem(root, id);
  if (button && IsWindowVisible(button) && IsWindowEnabled(button)) {
    SendMessageW(root, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
}

void TCustomComboEdit::PasteFirstLine() {
  // A one-line field takes a pasted text up to its first line break, as a
  // single-line edit does.
  if (!OpenClipboard(Handle())) return;
  std::u16string text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = FromWide(p);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  text = text.substr(0, text.find_first_of(u"\r\n"));
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Wide(text)));
}

LRESULT TCustomComboEdit::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE: {
      // A one-line edit's codes (the multi-line style would want Tab too);
      // Enter and Escape come here so that the field can pass them on.
      LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      const auto* msg = reinterpret_cast<const MSG*>(lparam);
      if (msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (ShortCutOfMessage(message, wparam, lparam) == click_key_ && ButtonWidth() > 0) {
        DoClick();
        return 0;
      }
      break;
    case WM_CHAR: {
      if (wparam == VK_RETURN || wparam == VK_ESCAPE) PassDialogKey(wparam);
      char16_t key = static_cast<char16_t>(wparam);
      if (OnKeyPress) OnKeyPress(this, key);
      if (wparam == VK_RETURN || key == 0) return 0;
      if (GetReadOnly() && key >= u' ') return 0;
      wparam = key;
      break;
    }
    case WM_PASTE:
      if (direct_input_ && !GetReadOnly()) PasteFirstLine();
      return 0;
    case WM_CUT:
      if (!direct_input_ || GetReadOnly()) return 0;
      break;
    case WM_PAINT: {
      // The system's edit paints its whole face, child windows included:
      // the button comes back on top of it.
      LRESULT r = DefaultHandler(message, wparam, lparam);
      if (host_->HandleAllocated())
        RedrawWindow(host_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE);
      return r;
    }
    case WM_LBUTTONDOWN: {
      mouse_entering_ = true;
      LRESULT r = DefaultHandler(message, wparam, lparam);
      mouse_entering_ = false;
      return r;
    }
    case WM_SETFOCUS: {
      LRESULT r = DefaultHandler(message, wparam, lparam);
      POINT caret{};
      GetCaretPos(&caret);
      DestroyCaret();
      CreateCaret(Handle(), nullptr, (Font().Style() & fsBold) ? 2 : 1, TextHeight());
      SetCaretPos(caret.x, caret.y);
      ShowCaret(Handle());
      // Entered from another control of the form, or the first time: not
      // when the form comes back to the front with the field focused.
      HWND from = reinterpret_cast<HWND>(wparam);
      const bool entered =
          !focused_before_ || (from && GetAncestor(from, GA_ROOT) == GetAncestor(Handle(), GA_ROOT));
      focused_before_ = true;
      if (entered && !mouse_entering_ && auto_select_ && direct_input_) SelectAll();
      return r;
    }
    default:
      break;
  }
  return TEdit::WndProc(message, wparam, lparam);
}

bool TCustomComboEdit::ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE) ++change_notices_;
  if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wparam);
    const bool grey = !Enabled() && ColorToRGB(Color()) != ColorToRGB(clGrayText);
    SetTextColor(dc, ColorToRGB(grey ? clGrayText : Font().Color()));
    SetBkColor(dc, ColorToRGB(Color()));
    background_.Reset(CreateSolidBrush(ColorToRGB(Color())));
    *result = reinterpret_cast<LRESULT>(background_.get());
    return true;
  }
  return TEdit::ReflectedMessage(message, wparam, lparam, result);
}

// ---------------------------------------------------------------------------

TFileDirEdit::TFileDirEdit(TComponent* owner) : TCustomComboEdit(owner) {
  creating_ = true;
  struct Created {
    bool& flag;
    ~Created() { flag = false; }
  } created{creating_};
  SetGlyphKind(TGlyphKind::gkDefault);
}

const TBitmap* TFileDirEdit::DefaultGlyph() const {
  // Loaded once and shared by every field; it goes at program end.
  static const std::unique_ptr<TBitmap> glyph = [] {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromResourceName(GetModuleHandleW(nullptr), u"FEDITBMP");
    return bitmap;
  }();
  return glyph->Empty() ? nullptr : glyph.get();
}

void TFileDirEdit::DoBeforeDialog(std::u16string& name, bool& action) {
  if (OnBeforeDialog) OnBeforeDialog(this, name, action);
}

void TFileDirEdit::DoAfterDialog(std::u16string& name, bool& action) {
  if (OnAfterDialog) OnAfterDialog(this, name, action);
}

void TFileDirEdit::SetAcceptFiles(bool on) {
  if (on == accept_files_) return;
  accept_files_ = on;
  if (HandleAllocated()) DragAcceptFiles(Handle(), on);
}

void TFileDirEdit::HandleCreated() {
  TCustomComboEdit::HandleCreated();
  if (accept_files_) DragAcceptFiles(Handle(), TRUE);
}

void TFileDirEdit::DropFiles(HDROP drop) {
  struct Finish {
    HDROP drop;
    ~Finish() { DragFinish(drop); }
  } finish{drop};
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (count == 0) return;
  for (UINT i = 0; i < count; ++i) {
    // The whole name, however long.
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), length + 1);
    name.resize(length);
    AcceptDroppedPath(FromWide(name.c_str(), name.size()));
    if (!TakesSeveral()) break;
  }
  if (OnDropFiles) OnDropFiles(this);
}

LRESULT TFileDirEdit::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DROPFILES) {
    DropFiles(reinterpret_cast<HDROP>(wparam));
    return 0;
  }
  if (message == WM_DESTROY && accept_files_) DragAcceptFiles(Handle(), FALSE);
  return TCustomComboEdit::WndProc(message, wparam, lparam);
}

// ---------------------------------------------------------------------------

TDirectoryEdit::TDirectoryEdit(TComponent* owner) : TFileDirEdit(owner) { dialog_options_ = 0; }

void TDirectoryEdit::ButtonAction() {
  TFileDirEdit::ButtonAction();
  std::u16string folder = Text();
  bool action = true;
  DoBeforeDialog(folder, action);
  if (!action) return;
  folder = DialogStartFolder(folder, initial_dir_, FolderExists);
  {
    // No system box for a drive that is not ready while the dialog is
    // open; the old mode comes back however the dialog ends.
    struct ErrorMode {
      UINT saved = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
      ~ErrorMode() { SetErrorMode(saved); }
    } mode;
    if (dialog_kind_ == TDirDialogKind::dkWin32 && NewStyleControls()) {
      action = BrowseForFolder(folder);
    } else {
      action = SelectFolder(folder, dialog_options_, help_context_);
    }
  }
  if (CanFocus()) SetFocus();
  DoAfterDialog(folder, action);
  if (!action) return;
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
  SetText(TextWithPath(Text(), folder, multiple_dirs_));
  if (!folder.empty() && FolderExists(folder)) initial_dir_ = folder;
}

void TDirectoryEdit::AcceptDroppedPath(const std::u16string& name) {
  const DWORD attributes = GetFileAttributesW(Wide(name));
  const bool is_file = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  SetText(TextWithPath(Text(), DroppedPathValue(name, is_file), multiple_dirs_));
}

}  // namespace ui
