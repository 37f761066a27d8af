// The folder field's dkWin32 dialog: the system's shell folder browser.
#include <windows.h>
#include <shlobj.h>

#include "framework/wide_win.h"
#include "ui/combo_edit_win.h"

using namespace framework;

namespace ui {

namespace {

int CALLBACK StartAt(HWND window, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, folder);
  return 0;
}

}  // namespace

bool TDirectoryEdit::BrowseForFolder(std::u16string& folder) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  struct Com {
    HRESULT result;
    ~Com() {
      if (SUCCEEDED(result)) CoUninitialize();
    }
  } com_scope{com};
  BROWSEINFOW info{};
  info.hwndOwner = GetAncestor(Handle(), GA_ROOT);
  info.lpszTitle = Wide(dialog_text_);
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = StartAt;
  info.lParam = reinterpret_cast<LPARAM>(Wide(folder));
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (ok) folder = FromWide(path);
  return ok;
}

}  // namespace ui
