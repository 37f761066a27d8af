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

std::u16string ItemText(HWND window, UINT length_message, UINT text_message, int index) {
  LRESULT n = SendMessageW(window, length_message, static_cast<WPARAM>(index), 0);
  if (n < 0) return std::u16string();
  std::vector<wchar_t> buffer(static_cast<size_t>(n) + 1);
  SendMessageW(window, text_message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return FromWide(buffer.data());
}

const TOwnerDrawList::Messages kListBoxMessages{LB_GETCOUNT,  LB_GETTEXTLEN, LB_GETTEXT,   LB_ADDSTRING,
                                                 LB_RESETCONTENT, LB_GETCURSEL, LB_SETCURSEL};
const TOwnerDrawList::Messages kComboBoxMessages{CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_ADDSTRING,
                                                  CB_RESETCONTENT, CB_GETCURSEL, CB_SETCURSEL};

}  // namespace

TOwnerDrawList::TOwnerDrawList(TComponent* owner, const Messages& messages)
    : TWinControl(owner), messages_(messages) {
  SetTabStop(true);
  SetColor(clWindow);
}

int TOwnerDrawList::Count() { return static_cast<int>(SendMessageW(Handle(), messages_.count, 0, 0)); }

std::u16string TOwnerDrawList::Items(int index) {
  return ItemText(Handle(), messages_.text_length, messages_.text, index);
}

int TOwnerDrawList::AddItem(const std::u16string& text) {
  return static_cast<int>(SendMessageW(Handle(), messages_.add, 0, reinterpret_cast<LPARAM>(Wide(text))));
}

void TOwnerDrawList::Clear() { SendMessageW(Handle(), messages_.reset, 0, 0); }

int TOwnerDrawList::ItemIndex() { return static_cast<int>(SendMessageW(Handle(), messages_.get_selection, 0, 0)); }

void TOwnerDrawList::SetItemIndex(int index) {
  SendMessageW(Handle(), messages_.set_selection, static_cast<WPARAM>(index), 0);
}

void TOwnerDrawList::SetItemHeight(int height) {
  if (height == item_height_) return;
  item_height_ = height;
  if (HandleAllocated()) ApplyItemHeight();
}

bool TOwnerDrawList::OwnerDrawMessage(UINT message, LPARAM lparam, LRESULT* result) {
  *result = TRUE;
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(item_height_);
    return true;
  }
  if (message != WM_DRAWITEM) return false;
  const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
  TCanvas canvas;
  canvas.SetHandle(item.hDC);
  {
    SavedDC saved(item.hDC);
    const RECT& r = item.rcItem;
    DrawItem(static_cast<int>(item.itemID), canvas, Rect(r.left, r.top, r.right, r.bottom), StateOf(item));
  }
  canvas.SetHandle(nullptr);
  if ((item.itemState & ODS_FOCUS) && item.itemAction != ODA_SELECT) DrawFocusRect(item.hDC, &item.rcItem);
  return true;
}

void TOwnerDrawList::DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state) {
  // Plain text: highlighted when selected, else in the control's colours.
  const bool selected = state & odSelected;
  canvas.SetBrushColor(selected ? clHighlight : Color());
  canvas.FillRect(rect);
  if (index < 0) return;
  canvas.Font().Assign(Font());
  if (selected) canvas.Font().SetColor(clHighlightText);
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.TextOut(rect.Left + 2, rect.Top, Items(index));
}

// ---------------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* owner) : TOwnerDrawList(owner, kListBoxMessages) {
  SetBounds(0, 0, 121, 97);
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

void TCustomListBox::HandleCreated() { ApplyItemHeight(); }

void TCustomListBox::ApplyItemHeight() { SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, ItemHeight()); }

void TCustomListBox::BeginUpdate() { SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0); }

void TCustomListBox::EndUpdate() {
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TCustomListBox::ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_COMMAND) {
    if (HIWORD(wparam) == LBN_SELCHANGE && OnSelChange) OnSelChange(this);
    if (HIWORD(wparam) == LBN_DBLCLK && OnDblClick) OnDblClick(this);
    *result = 0;
    return true;
  }
  return OwnerDrawMessage(message, lparam, result);
}

// ---------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* owner) : TOwnerDrawList(owner, kComboBoxMessages) {
  SetBounds(0, 0, 145, 21);
}

void TCustomComboBox::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->class_name = u"COMBOBOX";
  params->style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL;
  params->style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}

void TCustomComboBox::HandleCreated() { ApplyItemHeight(); }

void TCustomComboBox::BoundsChanged() {
  if (HandleAllocated()) ApplyItemHeight();
}

void TCustomComboBox::ApplyItemHeight() {
  HWND window = Handle();
  SendMessageW(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ItemHeight());
  SendMessageW(window, CB_SETITEMHEIGHT, 0, ItemHeight());
  // The height a combo box is given is its field's and its dropped list's.
  SetWindowPos(window, nullptr, bounds_.Left, bounds_.Top, bounds_.Width(),
               bounds_.Height() + kDropDownLines * ItemHeight() + 2, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

bool TCustomComboBox::ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_COMMAND) {
    if (HIWORD(wparam) == CBN_SELCHANGE) Change();
    *result = 0;
    return true;
  }
  return OwnerDrawMessage(message, lparam, result);
}

}  // namespace framework
