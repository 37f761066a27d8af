// The folder path field: TCustomComboEdit (a one-line edit with a button
// inside its right end, pressed also by ClickKey), TFileDirEdit (the
// default folder glyph, shell drops, the dialog events) and TDirectoryEdit
// (the folder dialog behind the button), with the button TEditButton.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "framework/bitmap_win.h"
#include "framework/edit_win.h"
#include "framework/gdi_win.h"
#include "framework/panel_win.h"
#include "ui/combo_edit.h"
#include "ui/folder_dialog_win.h"
#include "ui/speed_button_win.h"

namespace ui {

enum class TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum class TDirDialogKind { dkBuiltIn, dkWin32 };

// Sender, then the folder and the accept flag, both of which a handler may
// change.
using TExecOpenDialogEvent = std::function<void(framework::TComponent* sender, std::u16string& name, bool& action)>;
using TKeyPressEvent = std::function<void(framework::TComponent* sender, char16_t& key)>;

class TCustomComboEdit;

// The field's button: the frames of a standard button drawn off-screen,
// and two lines at its left edge that join it to the edit while up.
class TEditButton : public TSpeedButton {
 public:
  TEditButton(framework::TComponent* owner, TCustomComboEdit* field);

 protected:
  void Paint() override;
  void MouseDown(framework::TMouseButton button, UINT keys, int x, int y) override;

 private:
  TCustomComboEdit* field_;
};

class TCustomComboEdit : public framework::TEdit {
 public:
  explicit TCustomComboEdit(framework::TComponent* owner);
  ~TCustomComboEdit() override;

  TEditButton* Button() const { return button_; }
  framework::TWinControl* ButtonHost() const { return host_; }

  TShortCut ClickKey() const { return click_key_; }
  void SetClickKey(TShortCut key) { click_key_ = key; }
  bool DirectInput() const { return direct_input_; }
  void SetDirectInput(bool on);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool on);
  bool AutoSelect() const { return auto_select_; }
  void SetAutoSelect(bool on) { auto_select_ = on; }
  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool on);
  framework::TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(framework::TBorderStyle style);

  TGlyphKind GlyphKind() const { return glyph_kind_; }
  void SetGlyphKind(TGlyphKind kind);
  framework::TBitmap& Glyph() { return button_->Glyph(); }
  void SetGlyph(const framework::TBitmap& bitmap);
  int NumGlyphs() const { return button_->NumGlyphs(); }
  void SetNumGlyphs(int count);
  int ButtonWidth() const { return button_->Width(); }
  void SetButtonWidth(int width);
  const std::u16string& ButtonHint() const { return button_->Hint(); }
  void SetButtonHint(std::u16string hint) { button_->SetHint(std::move(hint)); }
  bool ShowHint() const { return button_->ShowHint(); }
  void SetShowHint(bool on) { button_->SetShowHint(on); }

  // The button handling: nothing while ReadOnly, else ButtonAction.
  void DoClick();
  void SelectAll();
  // Visible and enabled in an enabled window.
  bool CanFocus();

  // Fired first on every button action.
  framework::TNotifyEvent OnButtonClick;
  // Characters typed, Enter among them (which goes no further).
  TKeyPressEvent OnKeyPress;

 protected:
  // The class's picture for gkDefault (not owned), or null.
  virtual const framework::TBitmap* DefaultGlyph() const { return nullptr; }
  virtual bool GetReadOnly() const { return read_only_; }
  virtual void ButtonAction();

  void CreateParams(framework::TCreateParams* params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
  void BoundsChanged() override;
  void FontChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;

  // Set while constructors run: the button simply takes a new width.
  bool creating_ = true;

 private:
  void RebuildGlyph();
  void LayoutButton();
  void SetEditRect();
  void ApplyReadOnly();
  void PassDialogKey(WPARAM key);
  void PasteFirstLine();
  int TextHeight();

  framework::TWinControl* host_ = nullptr;
  TEditButton* button_ = nullptr;
  TShortCut click_key_ = kAltDown;
  bool direct_input_ = true;
  bool read_only_ = false;
  bool auto_select_ = true;
  bool ctl3d_ = true;
  framework::TBorderStyle border_style_ = framework::TBorderStyle::bsSingle;
  TGlyphKind glyph_kind_ = TGlyphKind::gkCustom;
  int default_glyph_count_ = 1;
  bool mouse_entering_ = false;
  bool focused_before_ = false;
  int change_notices_ = 0;
  framework::GdiBrush background_;
};

class TFileDirEdit : public TCustomComboEdit {
 public:
  explicit TFileDirEdit(framework::TComponent* owner);

  // Whether files dropped from the shell are taken.
  bool AcceptFiles() const { return accept_files_; }
  void SetAcceptFiles(bool on);

  TExecOpenDialogEvent OnBeforeDialog;
  TExecOpenDialogEvent OnAfterDialog;
  framework::TNotifyEvent OnDropFiles;

 protected:
  const framework::TBitmap* DefaultGlyph() const override;
  virtual void DoBeforeDialog(std::u16string& name, bool& action);
  virtual void DoAfterDialog(std::u16string& name, bool& action);
  // What a dropped name does to the text.
  virtual void AcceptDroppedPath(const std::u16string& name) = 0;
  // Whether every dropped name is taken, not only the first.
  virtual bool TakesSeveral() const { return false; }

  void HandleCreated() override;
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void DropFiles(HDROP drop);

  bool accept_files_ = false;
};

class TDirectoryEdit : public TFileDirEdit {
 public:
  explicit TDirectoryEdit(framework::TComponent* owner);

  TDirDialogKind DialogKind() const { return dialog_kind_; }
  void SetDialogKind(TDirDialogKind kind) { dialog_kind_ = kind; }
  const std::u16string& DialogText() const { return dialog_text_; }
  void SetDialogText(std::u16string text) { dialog_text_ = std::move(text); }
  TSelectDirOpts DialogOptions() const { return dialog_options_; }
  void SetDialogOptions(TSelectDirOpts options) { dialog_options_ = options; }
  const std::u16string& InitialDir() const { return initial_dir_; }
  void SetInitialDir(std::u16string folder) { initial_dir_ = std::move(folder); }
  bool MultipleDirs() const { return multiple_dirs_; }
  void SetMultipleDirs(bool on) { multiple_dirs_ = on; }
  int HelpContext() const { return help_context_; }
  void SetHelpContext(int context) { help_context_ = context; }

 protected:
  void ButtonAction() override;
  void AcceptDroppedPath(const std::u16string& name) override;
  bool TakesSeveral() const override { return multiple_dirs_; }

 private:
  bool BrowseForFolder(std::u16string& folder);

  TDirDialogKind dialog_kind_ = TDirDialogKind::dkBuiltIn;
  std::u16string dialog_text_;
  TSelectDirOpts dialog_options_ = 0;
  std::u16string initial_dir_;
  bool multiple_dirs_ = false;
  int help_context_ = 0;
};

}  // namespace ui
