// The folder selection dialog TSelectDirDlg and SelectFolder, which runs it:
// the operator walks drives and folders and picks one.
#pragma once

#include <windows.h>

#include <string>

#include "framework/button_win.h"
#include "framework/edit_win.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "ui/folder_lists_win.h"

namespace ui {

// Bit n of the set for option n.
enum TSelectDirOpt : unsigned { sdAllowCreate = 0, sdPerformCreate = 1, sdPrompt = 2 };
using TSelectDirOpts = unsigned;
constexpr TSelectDirOpts SelectDirOpts(std::initializer_list<TSelectDirOpt> options) {
  TSelectDirOpts set = 0;
  for (TSelectDirOpt o : options) set |= 1u << o;
  return set;
}
constexpr bool Has(TSelectDirOpts set, TSelectDirOpt option) { return (set >> option) & 1u; }

// Runs the dialog from `folder`; true when closed with OK, `folder` then
// holding the chosen folder (a full path, a drive root with its "\").
bool SelectFolder(std::u16string& folder, TSelectDirOpts options, int help_context);

// Creates `folder` with every missing level (EInOutError when it cannot).
void CreateFolders(const std::u16string& folder);

class TSelectDirDlg : public framework::TForm {
 public:
  explicit TSelectDirDlg(framework::TComponent* owner);

  // The start folder, the options, the pixel density and the help context,
  // before the dialog is shown.
  void Setup(const std::u16string& folder, TSelectDirOpts options, int help_context, int pixels_per_inch);
  // The chosen folder: the typed name when folders may be made, else the
  // folder list's.
  std::u16string Directory();

  framework::TLabel* DirNameLabel;
  framework::TLabel* DirectoriesLabel;
  framework::TLabel* FilesLabel;
  framework::TLabel* DrivesLabel;
  TDirectoryListBox* DirList;
  framework::TEdit* DirEdit;
  TPathLabel* DirLabel;
  TDriveComboBox* DriveList;
  framework::TButton* NetButton;
  framework::TButton* OKButton;
  framework::TButton* CancelButton;
  TFileListBox* FileList;
  framework::TButton* HelpButton;

  void FormCreate(framework::TComponent* Sender);
  void DirListChange(framework::TComponent* Sender);
  void DriveListChange(framework::TComponent* Sender);
  void OKClick(framework::TComponent* Sender);
  void NetClick(framework::TComponent* Sender);
  void HelpButtonClick(framework::TComponent* Sender);

 private:
  using ConnectDialog = DWORD(WINAPI*)(HWND, DWORD);

  void SetStartFolder(const std::u16string& folder);
  void ScaleBy(int multiplier, int divider);

  bool allow_create_ = false;
  bool prompt_ = false;
  int help_context_ = 0;
  ConnectDialog connect_dialog_ = nullptr;
};

}  // namespace ui
