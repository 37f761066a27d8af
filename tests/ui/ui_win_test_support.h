// Shared by the folder field's and the folder dialog's Windows tests: a
// form to hold controls, fresh folders in the test folder, and answering
// the modal folder dialog.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "framework/form_win.h"
#include "framework/text.h"
#include "framework/wide_win.h"
#include "ui/folder_dialog_win.h"
#include "tests/support/temp_folder.h"

namespace testing_ui {

class HostForm : public framework::TForm {
 public:
  explicit HostForm(framework::TComponent* owner) : TForm(owner) {
    SetBorderStyle(framework::TFormBorderStyle::bsDialog);
    SetClientSize(538, 200);
  }
};

// An empty folder of the test folder, as a full Windows path without a
// trailing "\", holding the given subfolders (paths relative to it).
inline std::u16string FreshTree(const std::string& name, std::initializer_list<const char*> subfolders = {}) {
  const std::filesystem::path dir = testsupport::FreshFolder("ui/" + name);
  for (const char* sub : subfolders) std::filesystem::create_directories(dir / sub);
  std::u16string path = framework::FromUtf8(dir.string());
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(framework::Wide(path), MAX_PATH * 2, full, nullptr);
  return framework::FromWide(full, n);
}

inline void WriteFile(const std::u16string& path) {
  HANDLE h = CreateFileW(framework::Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
}

// Hands every folder dialog that opens to `answer` while it lives; the
// answer sets the dialog's modal result (closing it) or leaves it to
// Cancel.
class DialogAnswer {
 public:
  explicit DialogAnswer(std::function<void(ui::TSelectDirDlg&)> answer) {
    framework::TForm::ModalHook() = [this, answer](framework::TForm& form) {
      ++opened;
      auto* dialog = dynamic_cast<ui::TSelectDirDlg*>(&form);
      if (dialog) answer(*dialog);
      if (form.ModalResult() == 0) form.SetModalResult(IDCANCEL);
    };
  }
  ~DialogAnswer() { framework::TForm::ModalHook() = nullptr; }
  DialogAnswer(const DialogAnswer&) = delete;
  DialogAnswer& operator=(const DialogAnswer&) = delete;

  int opened = 0;
};

}  // namespace testing_ui
