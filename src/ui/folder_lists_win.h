// The folder dialog's lists: TDirectoryListBox (the folder tree of one
// drive, holding the dialog's folder), TDriveComboBox (the machine's
// drives), TFileListBox (a folder's files) and TPathLabel (a path
// shortened to fit). Moving the folder list or the file list moves the
// process's current folder, which is not restored.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/bitmap_win.h"
#include "framework/label_win.h"
#include "framework/list_box_win.h"
#include "ui/folder_dialog.h"

namespace ui {

// A folder or drive that cannot be entered: the system's error code and
// text (in UTF-8, as every exception's message).
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(unsigned long code);
  unsigned long ErrorCode() const { return code_; }

 private:
  unsigned long code_;
};

// The process's current folder, and entering a folder (EInOutError when
// it cannot be entered).
std::u16string CurrentFolder();
void EnterFolder(const std::u16string& folder);
// Whether `path` names an existing folder.
bool FolderExists(const std::u16string& path);
bool SameDriveLetter(char16_t a, char16_t b);

class TDirectoryListBox : public framework::TCustomListBox {
 public:
  explicit TDirectoryListBox(framework::TComponent* owner);

  const std::u16string& Directory() const { return directory_; }
  // Moves to `folder`; nothing happens for an empty or the same folder.
  void SetDirectory(const std::u16string& folder);
  // The path of line `index` (see OpenedLinePath), and moving there.
  std::u16string LinePath(int index);
  void OpenCurrent();
  int PathLineCount() const { return static_cast<int>(lines_.size()); }
  FolderIcon IconOf(int index) const;
  // Whether the volume shows names as stored (else in lower case).
  bool ShowsCase() const { return case_preserved_ || case_sensitive_; }

  // After every change of the folder.
  framework::TNotifyEvent OnChange;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void DrawItem(int index, framework::TCanvas& canvas, const framework::TRect& rect, unsigned state) override;

 private:
  bool SameFolder(const std::u16string& a, const std::u16string& b) const;
  void BuildList();

  std::u16string directory_;
  std::vector<FolderLine> lines_;
  bool case_preserved_ = true;
  bool case_sensitive_ = false;
  framework::TBitmap open_icon_;
  framework::TBitmap current_icon_;
  framework::TBitmap closed_icon_;
};

class TDriveComboBox : public framework::TCustomComboBox {
 public:
  explicit TDriveComboBox(framework::TComponent* owner);

  char16_t Drive() const { return drive_; }
  // Selects the drive's line and fires OnChange, unless it is the drive
  // already current.
  void SetDrive(char16_t drive);
  // Reads the drives again.
  void BuildList();
  bool UpperCase() const { return upper_case_; }

 protected:
  void Change() override;
  void DrawItem(int index, framework::TCanvas& canvas, const framework::TRect& rect, unsigned state) override;

 private:
  const framework::TBitmap* IconOf(DriveKind kind) const;

  char16_t drive_ = 0;
  bool upper_case_ = false;  // tcLowerCase
  std::vector<DriveKind> kinds_;
  framework::TBitmap floppy_;
  framework::TBitmap hard_;
  framework::TBitmap network_;
  framework::TBitmap cdrom_;
  framework::TBitmap ram_;
};

class TFileListBox : public framework::TCustomListBox {
 public:
  explicit TFileListBox(framework::TComponent* owner);

  const std::u16string& Directory() const { return directory_; }
  void SetDirectory(const std::u16string& folder);
  // Patterns separated by ";".
  const std::u16string& Mask() const { return mask_; }
  void SetMask(std::u16string mask) { mask_ = std::move(mask); }

 private:
  void ReadFiles();

  std::u16string directory_;
  std::u16string mask_ = u"*.*";
};

class TPathLabel : public framework::TCustomLabel {
 public:
  explicit TPathLabel(framework::TComponent* owner);

 protected:
  void Paint() override;
};

}  // namespace ui
