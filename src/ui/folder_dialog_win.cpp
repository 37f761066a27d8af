#include "ui/folder_dialog_win.h"

#include <memory>

#include "framework/application_win.h"
#include "framework/dialogs_win.h"
#include "framework/wide_win.h"

using namespace framework;

namespace ui {

namespace {

TLabel* MakeLabel(TForm* form, int left, int top, int width, const char8_t* caption, TWinControl* focus) {
  auto* label = new TLabel(form);
  label->SetBounds(left, top, width, 13);
  label->SetCaption(std::u8string_view(caption));
  label->SetFocusControl(focus);
  label->SetParent(form);
  return label;
}

TButton* MakeButton(TForm* form, int left, const char8_t* caption) {
  auto* button = new TButton(form);
  button->SetBounds(left, 224, 77, 27);
  button->SetCaption(std::u8string_view(caption));
  button->SetParent(form);
  return button;
}

int ScreenPixelsPerInch() {
  WindowDC dc(nullptr);
  return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

}  // namespace

TSelectDirDlg::TSelectDirDlg(TComponent* owner) : TForm(owner) {
  SetName("SelectDirDlg");
  SetCaption(u8"Select Directory");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetClientSize(424, 255);
  SetPosition(TPosition::poScreenCenter);

  // Windows in their tab order; the labels lie beside them.
  // Both lists keep the sizes they are given: the system's integral height
  // would shrink them to whole lines of whatever height a line had while
  // the window was made or filled, different from one opening to the next.
  DirList = new TDirectoryListBox(this);
  DirList->SetBounds(8, 72, 213, 138);
  DirList->SetIntegralHeight(false);
  DirList->SetItemHeight(17);
  DirList->SetParent(this);
  DirList->OnChange = [this](TComponent* s) { DirListChange(s); };

  DirEdit = new TEdit(this);
  DirEdit->SetBounds(8, 24, 313, 20);
  DirEdit->SetVisible(false);
  DirEdit->SetParent(this);

  DirLabel = new TPathLabel(this);
  DirLabel->SetBounds(8, 24, 313, 20);
  DirLabel->SetParent(this);

  DriveList = new TDriveComboBox(this);
  DriveList->SetBounds(232, 192, 185, 19);
  DriveList->SetParent(this);
  DriveList->OnChange = [this](TComponent* s) { DriveListChange(s); };

  NetButton = MakeButton(this, 8, u8"Ne&twork...");
  NetButton->SetVisible(false);
  NetButton->OnClick = [this](TComponent* s) { NetClick(s); };
  OKButton = MakeButton(this, 172, u8"OK");
  OKButton->SetDefault(true);
  OKButton->OnClick = [this](TComponent* s) { OKClick(s); };
  CancelButton = MakeButton(this, 256, u8"Cancel");
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(IDCANCEL);

  FileList = new TFileListBox(this);
  FileList->SetBounds(232, 72, 185, 93);
  FileList->SetIntegralHeight(false);
  FileList->SetItemHeight(13);
  FileList->Font().SetColor(clGrayText);
  FileList->SetParent(this);

  HelpButton = MakeButton(this, 340, u8"&Help");
  HelpButton->OnClick = [this](TComponent* s) { HelpButtonClick(s); };

  DirNameLabel = MakeLabel(this, 8, 8, 92, u8"Directory &Name:", DirEdit);
  DirectoriesLabel = MakeLabel(this, 8, 56, 66, u8"&Directories:", DirList);
  FilesLabel = MakeLabel(this, 232, 56, 57, u8"&Files: (*.*)", FileList);
  DrivesLabel = MakeLabel(this, 232, 176, 41, u8"D&rives:", DriveList);

  // The lists start at the process's current folder and its drive.
  const std::u16string current = CurrentFolder();
  DriveList->BuildList();
  DirList->SetDirectory(current);
  if (current.size() >= 2 && current[1] == u':') DriveList->SetDrive(current[0]);
  FormCreate(this);
}

void TSelectDirDlg::FormCreate(TComponent*) {
  // The connect-network-drive dialog, where the system still offers it.
  if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
    using GetCaps = HMODULE(WINAPI*)(WORD);
    if (auto caps = reinterpret_cast<GetCaps>(reinterpret_cast<void*>(GetProcAddress(user, "WNETGETCAPS")))) {
      if (HMODULE net = caps(0xFFFF)) {
        connect_dialog_ =
            reinterpret_cast<ConnectDialog>(reinterpret_cast<void*>(GetProcAddress(net, "WNETCONNECTDIALOG")));
        NetButton->SetVisible(connect_dialog_ != nullptr);
      }
    }
  }
  allow_create_ = false;
  DirLabel->SetBounds(DirEdit->Left(), DirEdit->Top(), DirEdit->Width(), DirEdit->Height());
  DirListChange(this);
}

void TSelectDirDlg::Setup(const std::u16string& folder, TSelectDirOpts options, int help_context,
                          int pixels_per_inch) {
  if (!folder.empty()) SetStartFolder(folder);
  allow_create_ = Has(options, sdAllowCreate);
  DirEdit->SetVisible(allow_create_);
  DirLabel->SetVisible(!allow_create_);
  prompt_ = Has(options, sdPrompt);
  if (pixels_per_inch != 96) {
    ScaleBy(pixels_per_inch, 96);
    FileList->Font().Assign(Font());
    SetBounds(GetSystemMetrics(SM_CXSCREEN) / 2 - Width() / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - Height() / 2,
              Width(), Height());
    SetPosition(TPosition::poDesigned);
    FileList->Font().SetColor(clGrayText);
  }
  if (help_context != 0) {
    help_context_ = help_context;
  } else {
    HelpButton->Hide();
    OKButton->SetBounds(CancelButton->Left(), OKButton->Top(), OKButton->Width(), OKButton->Height());
    CancelButton->SetBounds(HelpButton->Left(), CancelButton->Top(), CancelButton->Width(), CancelButton->Height());
  }
}

void TSelectDirDlg::SetStartFolder(const std::u16string& folder) {
  const std::u16string pattern = StartFolderPattern(folder);
  DWORD n = GetFullPathNameW(Wide(pattern), 0, nullptr, nullptr);
  std::wstring full(n + 1, L'\0');
  n = GetFullPathNameW(Wide(pattern), n + 1, full.data(), nullptr);
  const StartFolder start = StartFolderOf(FromWide(full.c_str(), n));
  if (start.drive == 0) return;  // the lists stay at the current folder
  try {
    DriveList->SetDrive(start.drive);
    DirList->SetDirectory(start.folder);
  } catch (const EInOutError&) {
    const std::u16string current = CurrentFolder();
    if (current.size() >= 2 && current[1] == u':') DriveList->SetDrive(current[0]);
    DirList->SetDirectory(current);
  }
}

void TSelectDirDlg::ScaleBy(int multiplier, int divider) {
  SetClientSize(MulDiv(ClientWidth(), multiplier, divider), MulDiv(ClientHeight(), multiplier, divider));
  Font().SetHeight(MulDiv(Font().Height(), multiplier, divider));
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(MulDiv(c->Left(), multiplier, divider), MulDiv(c->Top(), multiplier, divider),
                 MulDiv(c->Width(), multiplier, divider), MulDiv(c->Height(), multiplier, divider));
    if (!c->ParentFont()) c->Font().SetHeight(MulDiv(c->Font().Height(), multiplier, divider));
  }
  DirList->SetItemHeight(MulDiv(DirList->ItemHeight(), multiplier, divider));
  FileList->SetItemHeight(MulDiv(FileList->ItemHeight(), multiplier, divider));
  DriveList->SetItemHeight(MulDiv(DriveList->ItemHeight(), multiplier, divider));
}

void TSelectDirDlg::DirListChange(TComponent*) {
  DirLabel->SetText(DirList->Directory());
  FileList->SetDirectory(DirLabel->Text());
  DirEdit->SetText(DirLabel->Text());
  SendMessageW(DirEdit->Handle(), EM_SETSEL, 0, -1);
}

void TSelectDirDlg::DriveListChange(TComponent*) {
  const std::u16string& current = DirList->Directory();
  const char16_t drive = DriveList->Drive();
  if (current.size() >= 2 && current[1] == u':' && SameDriveLetter(current[0], drive)) return;
  DirList->SetDirectory(std::u16string(1, drive) + u":");
}

std::u16string TSelectDirDlg::Directory() {
  if (!allow_create_) return DirLabel->Text();
  // A typed name counts from the folder shown, which is the current one.
  const std::u16string typed = DirEdit->Text();
  DWORD n = GetFullPathNameW(Wide(typed), 0, nullptr, nullptr);
  if (n == 0) return typed;
  std::wstring full(n + 1, L'\0');
  n = GetFullPathNameW(Wide(typed), n + 1, full.data(), nullptr);
  return FromWide(full.c_str(), n);
}

void TSelectDirDlg::OKClick(TComponent*) {
  if (allow_create_ && prompt_ && !FolderExists(Directory())) {
    MessageBoxRequest request;
    request.text = u"The specified directory does not exist. Create it?";
    request.caption = u"Confirm";
    request.style = MB_YESNO | MB_ICONQUESTION;
    if (ShowMessageBox(request) != IDYES) return;
  }
  SetModalResult(IDOK);
}

void TSelectDirDlg::NetClick(TComponent*) {
  if (connect_dialog_) connect_dialog_(Handle(), 1);  // RESOURCETYPE_DISK
}

void TSelectDirDlg::HelpButtonClick(TComponent*) {
  // The program's help file beside it, at the dialog's topic.
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::u16string help = FromWide(path, n);
  help = help.substr(0, help.find_last_of(u'.')) + u".hlp";
  WinHelpW(Handle(), Wide(help), HELP_CONTEXT, static_cast<ULONG_PTR>(help_context_));
}

void CreateFolders(const std::u16string& folder) {
  if (folder.empty()) return;
  DWORD attributes = GetFileAttributesW(Wide(folder));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  std::u16string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == u'\\') trimmed.pop_back();
  const size_t cut = trimmed.find_last_of(u"\\:");
  if (cut != std::u16string::npos && cut > 0) CreateFolders(trimmed.substr(0, cut + 1));
  if (!CreateDirectoryW(Wide(trimmed), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    throw EInOutError(GetLastError());
}

bool SelectFolder(std::u16string& folder, TSelectDirOpts options, int help_context) {
  // Destroyed before returning, also when showing it fails.
  std::unique_ptr<TSelectDirDlg> dialog(new TSelectDirDlg(&Application()));
  dialog->Setup(folder, options, help_context, ScreenPixelsPerInch());
  if (dialog->ShowModal() != IDOK) return false;
  std::u16string chosen = dialog->Directory();
  dialog.reset();
  if (Has(options, sdPerformCreate)) CreateFolders(chosen);
  folder = chosen;
  return true;
}

}  // namespace ui
