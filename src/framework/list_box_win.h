// TCustomListBox: the system's list box with owner-drawn lines of one
// height, and TCustomComboBox: the system's drop-down list, owner-drawn the
// same way. Subclasses draw the lines; the lines' texts live in the window.
#pragma once

#include <string>

#include "framework/win_control_win.h"

namespace framework {

// State of a line being drawn.
enum TOwnerDrawState : unsigned { odSelected = 1, odFocused = 2, odDisabled = 4, odComboBoxEdit = 8 };

// The lines of a list box or of a combo box's list, through the messages
// of the one or the other; subclasses draw them.
class TOwnerDrawList : public TWinControl {
 public:
  struct Messages {
    UINT count, text_length, text, add, reset, get_selection, set_selection;
  };

  int Count();
  std::u16string Items(int index);
  // Adds a line (in sorted order when the list sorts); returns its position.
  int AddItem(const std::u16string& text);
  void Clear();
  int ItemIndex();
  void SetItemIndex(int index);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int height);

 protected:
  TOwnerDrawList(TComponent* owner, const Messages& messages);
  // Gives the window the line height.
  virtual void ApplyItemHeight() = 0;
  // Draws line `index` (-1: none) into `rect`; the canvas is the control's DC.
  virtual void DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state);
  // Answers WM_DRAWITEM and WM_MEASUREITEM.
  bool OwnerDrawMessage(UINT message, LPARAM lparam, LRESULT* result);

 private:
  const Messages& messages_;
  int item_height_ = 13;
};

class TCustomListBox : public TOwnerDrawList {
 public:
  explicit TCustomListBox(TComponent* owner);

  // Set before the window is made.
  void SetSorted(bool on) { sorted_ = on; }
  void SetIntegralHeight(bool on) { integral_height_ = on; }
  // Changes between these are drawn once, at the end.
  void BeginUpdate();
  void EndUpdate();

  // The selection changed by the operator; a line double-clicked.
  TNotifyEvent OnSelChange;
  TNotifyEvent OnDblClick;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  void ApplyItemHeight() override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  bool sorted_ = false;
  bool integral_height_ = true;
};

class TCustomComboBox : public TOwnerDrawList {
 public:
  explicit TCustomComboBox(TComponent* owner);

  // The operator picked a line.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  void BoundsChanged() override;
  void ApplyItemHeight() override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
  // The picked line, before OnChange.
  virtual void Change();
};

}  // namespace framework
