// TCustomListBox: the system's list box with owner-drawn lines of one
// height, and TCustomComboBox: the system's drop-down list, owner-drawn the
// same way. Subclasses draw the lines; the lines' texts live in the window.
#pragma once

#include <string>

#include "framework/win_control_win.h"

namespace framework {

// State of a line being drawn.
enum TOwnerDrawState : unsigned { odSelected = 1, odFocused = 2, odDisabled = 4, odComboBoxEdit = 8 };

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);

  int Count();
  std::u16string Items(int index);
  // Adds a line (in sorted order when Sorted); returns its position.
  int AddItem(const std::u16string& text);
  void Clear();
  int ItemIndex();
  void SetItemIndex(int index);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int height);
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
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
  // Draws line `index` into `rect`; the canvas is the control's DC.
  virtual void DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state);

 private:
  int item_height_ = 13;
  bool sorted_ = false;
  bool integral_height_ = true;
};

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);

  int Count();
  std::u16string Items(int index);
  int AddItem(const std::u16string& text);
  void Clear();
  int ItemIndex();
  void SetItemIndex(int index);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int height);

  // The operator picked a line.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  void BoundsChanged() override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
  virtual void DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state);
  // The picked line, before OnChange.
  virtual void Change();

 private:
  void ApplyHeights();

  int item_height_ = 13;
};

}  // namespace framework
