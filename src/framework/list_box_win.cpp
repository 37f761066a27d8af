#include "framework/list_box_win.h"

#include <vector>

#include "framework/wide_win.h"

namespace framework {

namespace {

// Lines the combo box drops down below its field.
constexpr int kDropDownLines = 8;

unsigned StateOf(const DRAWITEMSTRUCT& item) {
  unsigned state = 0;
  if (item.itemState & ODS_SELECTED) state |= odSelected;
  if (item.itemState & ODS_FOCUS) state |= odFocused;
  if (item.itemState & ODS_DISABLED) state |= odDisabled;
  if (item.itemState & ODS_COMBOBOXEDIT) state |= odComboBoxEdit;
  return state;
}

// Answers WM_DRAWITEM through `draw` and WM_MEASUREITEM with `height`.
template <typename Draw>
bool OwnerDraw(UINT message, LPARAM lparam, int height, Draw draw) {
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(height);
    return true;
  }
  if (message != WM_DRAWITEM) return false;
  const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
  TCanvas canvas;
  canvas.SetHandle(item.hDC);
  {
    SavedDC saved(item.hDC);
    const RECT& r = item.rcItem;
    draw(static_cast<int>(item.itemID), canvas, Rect(r.left, r.top, r.right, r.bottom), StateOf(item));
  }
  canvas.SetHandle(nullptr);
  if ((item.itemState & ODS_FOCUS) && item.itemAction != ODA_SELECT) DrawFocusRect(item.hDC, &item.rcItem);
  return true;
}

std::u16string ItemText(HWND window, UINT length_message, UINT text_message, int index) {
  LRESULT n = SendMessageW(window, length_message, static_cast<WPARAM>(index), 0);
  if (n < 0) return std::u16string();
  std::vector<wchar_t> buffer(static_cast<size_t>(n) + 1);
  SendMessageW(window, text_message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return FromWide(buffer.data());
}

// Plain text of a line: highlighted when selected, else the control's colours.
void DrawPlainItem(TControl& control, TCanvas& canvas, const TRect& rect, unsigned state,
                   const std::u16string& text) {
  const bool selected = state & odSelected;
  canvas.SetBrushColor(selected ? clHighlight : control.Color());
  canvas.FillRect(rect);
  canvas.Font().Assign(control.Font());
  if (selected) canvas.Font().SetColor(clHighlightText);
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.TextOut(rect.Left + 2, rect.Top, text);
}

}  // namespace

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomListBox::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"LISTBOX";
  params->style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | WS_VSCROLL;
  params->style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  if (sorted_) params->style |= LBS_SORT;
  if (!integral_height_) params->style |= LBS_NOINTEGRALHEIGHT;
  params->ex_style |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::HandleCreated() { SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, item_height_); }

int TCustomListBox::Count() { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }

std::u16string TCustomListBox::Items(int index) { return ItemText(Handle(), LB_GETTEXTLEN, LB_GETTEXT, index); }

int TCustomListBox::AddItem(const std::u16string& text) {
  return static_cast<int>(SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text))));
}

void TCustomListBox::Clear() { SendMessageW(Handle(), LB_RESETCONTENT, 0, 0); }

int TCustomListBox::ItemIndex() { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }

void TCustomListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TCustomListBox::SetItemHeight(int height) {
  if (height == item_height_) return;
  item_height_ = height;
  if (HandleAllocated()) SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, height);
}

void TCustomListBox::BeginUpdate() { SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0); }

void TCustomListBox::EndUpdate() {
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TCustomListBox::ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = TRUE;
  if (message == WM_COMMAND) {
    if (HIWORD(wparam) == LBN_SELCHANGE && OnSelChange) OnSelChange(this);
    if (HIWORD(wparam) == LBN_DBLCLK && OnDblClick) OnDblClick(this);
    *result = 0;
    return true;
  }
  return OwnerDraw(message, lparam, item_height_, [this](int index, TCanvas& canvas, const TRect& r, unsigned s) {
    DrawItem(index, canvas, r, s);
  });
}

void TCustomListBox::DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state) {
  DrawPlainItem(*this, canvas, rect, state, index < 0 ? std::u16string() : Items(index));
}

// ---------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomComboBox::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"COMBOBOX";
  params->style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL;
  params->style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}

void TCustomComboBox::HandleCreated() { ApplyHeights(); }

void TCustomComboBox::BoundsChanged() { ApplyHeights(); }

void TCustomComboBox::ApplyHeights() {
  HWND window = WindowHandle();
  if (!window) return;
  SendMessageW(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item_height_);
  SendMessageW(window, CB_SETITEMHEIGHT, 0, item_height_);
  // The height a combo box is given is its field's and its dropped list's.
  SetWindowPos(window, nullptr, bounds_.Left, bounds_.Top, bounds_.Width(),
               bounds_.Height() + kDropDownLines * item_height_ + 2, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TCustomComboBox::Count() { return static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)); }

std::u16string TCustomComboBox::Items(int index) {
  return ItemText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

int TCustomComboBox::AddItem(const std::u16string& text) {
  return static_cast<int>(SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text))));
}

void TCustomComboBox::Clear() { SendMessageW(Handle(), CB_RESETCONTENT, 0, 0); }

int TCustomComboBox::ItemIndex() { return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)); }

void TCustomComboBox::SetItemIndex(int index) {
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TCustomComboBox::SetItemHeight(int height) {
  if (height == item_height_) return;
  item_height_ = height;
  ApplyHeights();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

bool TCustomComboBox::ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = TRUE;
  if (message == WM_COMMAND) {
    if (HIWORD(wparam) == CBN_SELCHANGE) Change();
    *result = 0;
    return true;
  }
  return OwnerDraw(message, lparam, item_height_, [this](int index, TCanvas& canvas, const TRect& r, unsigned s) {
    DrawItem(index, canvas, r, s);
  });
}

void TCustomComboBox::DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state) {
  DrawPlainItem(*this, canvas, rect, state, index < 0 ? std::u16string() : Items(index));
}

}  // namespace framework
