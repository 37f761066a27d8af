#include "ui/folder_lists_win.h"

#include <windows.h>
#include <winnetwk.h>

#include <algorithm>

#include "framework/application_win.h"
#include "framework/text.h"
#include "framework/wide_win.h"

using namespace framework;

namespace ui {

namespace {

// Sorted file lists show the hourglass from this many names on.
constexpr int kBusyFromName = 100;

std::string SystemMessage(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = n ? FromWide(buffer, n) : std::u16string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  if (text.empty()) return "I/O error " + std::to_string(code);
  return ToUtf8(text);
}

// The bitmap resource `name` of the program, its bottom-left colour
// transparent.
void LoadIcon(TBitmap& bitmap, const char16_t* name) {
  bitmap.LoadFromResourceName(GetModuleHandleW(nullptr), name);
  bitmap.SetTransparent(true);
}

bool HasWildcard(const std::u16string& name) { return name.find_first_of(u"*?") != std::u16string::npos; }

bool IsFile(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Names the system finds for `pattern` whose attributes pass `take`.
template <typename Take>
std::vector<std::u16string> FindNames(const std::u16string& pattern, Take take) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(pattern), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    std::u16string name = FromWide(data.cFileName);
    if (take(data.dwFileAttributes, name)) names.push_back(std::move(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

char16_t UpperLetter(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; }

}  // namespace

bool FolderExists(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameDriveLetter(char16_t a, char16_t b) { return UpperLetter(a) == UpperLetter(b); }

EInOutError::EInOutError(unsigned long code) : std::runtime_error(SystemMessage(code)), code_(code) {}

std::u16string CurrentFolder() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(n, L'\0');
  n = GetCurrentDirectoryW(n, buffer.data());
  return FromWide(buffer.c_str(), n);
}

void EnterFolder(const std::u16string& folder) {
  if (!SetCurrentDirectoryW(Wide(folder))) throw EInOutError(GetLastError());
}

// ---------------------------------------------------------------------------

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TCustomListBox(owner) {
  LoadIcon(open_icon_, u"OPENFOLDER");
  LoadIcon(current_icon_, u"CURRENTFOLDER");
  LoadIcon(closed_icon_, u"CLOSEDFOLDER");
  SetItemHeight(std::max(13, open_icon_.Height() + 1));
  OnDblClick = [this](TComponent*) { OpenCurrent(); };
}

bool TDirectoryListBox::SameFolder(const std::u16string& a, const std::u16string& b) const {
  if (case_sensitive_) return a == b;
  return CompareStringOrdinal(WideData(a), static_cast<int>(a.size()), WideData(b), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

void TDirectoryListBox::SetDirectory(const std::u16string& folder) {
  if (folder.empty() || SameFolder(folder, directory_)) return;
  const std::u16string before = CurrentFolder();
  try {
    if (folder.size() >= 2 && folder[1] == u':' && directory_.size() >= 2 &&
        !SameDriveLetter(folder[0], directory_[0])) {
      EnterFolder(folder.substr(0, 2));  // that drive's current folder first
    }
    const size_t cut = folder.find_last_of(u"\\:");
    const std::u16string part = cut == std::u16string::npos ? std::u16string() : folder.substr(0, cut + 1);
    const std::u16string name = cut == std::u16string::npos ? folder : folder.substr(cut + 1);
    if (!part.empty()) EnterFolder(part);
    if (!name.empty() && !HasWildcard(name) && !IsFile(name)) EnterFolder(name);
  } catch (const EInOutError&) {
    // The list keeps its folder; so does the process.
    SetCurrentDirectoryW(Wide(before));
    throw;
  }
  directory_ = CurrentFolder();
  BuildList();
  if (OnChange) OnChange(this);
}

void TDirectoryListBox::BuildList() {
  BeginUpdate();
  struct End {
    TDirectoryListBox* list;
    ~End() { list->EndUpdate(); }
  } end{this};
  Clear();
  const std::u16string root = DriveOf(directory_) + u"\\";
  DWORD flags = 0;
  if (GetVolumeInformationW(Wide(root), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    case_preserved_ = flags & FILE_CASE_PRESERVED_NAMES;
    case_sensitive_ = flags & FILE_CASE_SENSITIVE_SEARCH;
  } else {
    case_preserved_ = true;
    case_sensitive_ = false;
  }
  lines_ = PathLines(directory_);
  for (const FolderLine& line : lines_) AddItem(line.text);
  SetItemIndex(PathLineCount() - 1);
  const bool ends_with_separator = !directory_.empty() && directory_.back() == u'\\';
  std::vector<std::u16string> subfolders =
      FindNames(directory_ + (ends_with_separator ? u"*.*" : u"\\*.*"), [](DWORD attributes, const std::u16string& n) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) && n != u"." && n != u"..";
      });
  std::sort(subfolders.begin(), subfolders.end(), [](const std::u16string& a, const std::u16string& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, WideData(a), static_cast<int>(a.size()),
                          WideData(b), static_cast<int>(b.size())) == CSTR_LESS_THAN;
  });
  for (const std::u16string& name : subfolders) AddItem(name);
}

FolderIcon TDirectoryListBox::IconOf(int index) const {
  return index < PathLineCount() ? lines_[static_cast<size_t>(index)].icon : FolderIcon::kClosed;
}

std::u16string TDirectoryListBox::LinePath(int index) {
  return OpenedLinePath(directory_, PathLineCount(), index, Items(index));
}

void TDirectoryListBox::OpenCurrent() {
  const int index = ItemIndex();
  if (index >= 0) SetDirectory(LinePath(index));
}

LRESULT TDirectoryListBox::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETDLGCODE) {
    // Enter opens the selected line instead of pressing the default button.
    const auto* msg = reinterpret_cast<const MSG*>(lparam);
    LRESULT code = TCustomListBox::WndProc(message, wparam, lparam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
    return code;
  }
  if (message == WM_KEYDOWN && wparam == VK_RETURN) {
    OpenCurrent();
    return 0;
  }
  return TCustomListBox::WndProc(message, wparam, lparam);
}

void TDirectoryListBox::DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state) {
  const bool selected = state & odSelected;
  canvas.SetBrushColor(selected ? clHighlight : Color());
  canvas.FillRect(rect);
  if (index < 0) return;
  const FolderIcon icon = IconOf(index);
  const TBitmap& bitmap = icon == FolderIcon::kOpen      ? open_icon_
                          : icon == FolderIcon::kCurrent ? current_icon_
                                                         : closed_icon_;
  const int x = rect.Left + FolderIconX(index, icon, directory_);
  bitmap.Draw(canvas, x, rect.Top + (rect.Height() - bitmap.Height()) / 2);
  std::u16string text = Items(index);
  if (!ShowsCase()) text = ChangeCase(text, false);
  canvas.Font().Assign(Font());
  if (selected) canvas.Font().SetColor(clHighlightText);
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  canvas.TextOut(x + 16 + 4, rect.Top, text);
}

// ---------------------------------------------------------------------------

TDriveComboBox::TDriveComboBox(TComponent* owner) : TCustomComboBox(owner) {
  LoadIcon(floppy_, u"FLOPPY");
  LoadIcon(hard_, u"HARD");
  LoadIcon(network_, u"NETWORK");
  LoadIcon(cdrom_, u"CDROM");
  LoadIcon(ram_, u"RAM");
}

void TDriveComboBox::BuildList() {
  Clear();
  kinds_.clear();
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    const char16_t letter = static_cast<char16_t>(u'a' + i);
    const std::u16string root = std::u16string(1, letter) + u":\\";
    DriveKind kind;
    switch (GetDriveTypeW(Wide(root))) {
      case DRIVE_REMOVABLE: kind = DriveKind::kRemovable; break;
      case DRIVE_FIXED: kind = DriveKind::kFixed; break;
      case DRIVE_REMOTE: kind = DriveKind::kNetwork; break;
      case DRIVE_CDROM: kind = DriveKind::kCdRom; break;
      case DRIVE_RAMDISK: kind = DriveKind::kRam; break;
      default: continue;
    }
    std::u16string label;
    std::u16string remote;
    if (kind != DriveKind::kRemovable) {
      // No system box for a drive without its medium.
      UINT saved = SetErrorMode(SEM_FAILCRITICALERRORS);
      wchar_t name[MAX_PATH + 1] = {};
      if (GetVolumeInformationW(Wide(root), name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        label = FromWide(name);
      SetErrorMode(saved);
    }
    if (kind == DriveKind::kNetwork) {
      const std::u16string local = root.substr(0, 2);
      wchar_t name[MAX_PATH + 1] = {};
      DWORD size = MAX_PATH + 1;
      if (WNetGetConnectionW(Wide(local), name, &size) == NO_ERROR) remote = FromWide(name);
    }
    AddItem(DriveLineText(letter, kind, label, remote, upper_case_));
    kinds_.push_back(kind);
  }
}

void TDriveComboBox::SetDrive(char16_t drive) {
  if (SameDriveLetter(drive, drive_)) return;
  drive_ = drive;
  for (int i = 0; i < Count(); ++i) {
    const std::u16string line = Items(i);
    if (line.size() >= 2 && line[1] == u':' && SameDriveLetter(line[0], drive)) {
      SetItemIndex(i);
      break;
    }
  }
  if (OnChange) OnChange(this);
}

void TDriveComboBox::Change() {
  const int index = ItemIndex();
  if (index < 0) return;
  const std::u16string line = Items(index);
  if (!line.empty()) SetDrive(line[0]);
}

const TBitmap* TDriveComboBox::IconOf(DriveKind kind) const {
  switch (kind) {
    case DriveKind::kRemovable: return &floppy_;
    case DriveKind::kFixed: return &hard_;
    case DriveKind::kNetwork: return &network_;
    case DriveKind::kCdRom: return &cdrom_;
    case DriveKind::kRam: return &ram_;
  }
  return nullptr;
}

void TDriveComboBox::DrawItem(int index, TCanvas& canvas, const TRect& rect, unsigned state) {
  const bool selected = state & odSelected;
  canvas.SetBrushColor(selected ? clHighlight : Color());
  canvas.FillRect(rect);
  if (index < 0 || index >= static_cast<int>(kinds_.size())) return;
  const TBitmap* icon = IconOf(kinds_[static_cast<size_t>(index)]);
  int x = rect.Left + 16 + 6;
  if (icon && !icon->Empty()) {
    icon->Draw(canvas, rect.Left + 2, rect.Top + (rect.Height() - icon->Height()) / 2);
    x = rect.Left + icon->Width() + 6;
  }
  canvas.Font().Assign(Font());
  if (selected) canvas.Font().SetColor(clHighlightText);
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  TRect text = Rect(x, rect.Top, rect.Right, rect.Bottom);
  canvas.DrawText(&text, Items(index), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

// ---------------------------------------------------------------------------

TFileListBox::TFileListBox(TComponent* owner) : TCustomListBox(owner) { SetSorted(true); }

void TFileListBox::SetDirectory(const std::u16string& folder) {
  directory_ = folder;
  if (HandleAllocated()) ReadFiles();
}

void TFileListBox::ReadFiles() {
  EnterFolder(directory_);
  const bool was_busy = Application().BusyCursor();
  BeginUpdate();
  struct End {
    TFileListBox* list;
    bool busy;
    ~End() {
      list->EndUpdate();
      Application().SetBusyCursor(busy);
    }
  } end{this, was_busy};
  Clear();
  size_t start = 0;
  while (start <= mask_.size()) {
    size_t stop = std::min(mask_.find(u';', start), mask_.size());
    const std::u16string pattern = mask_.substr(start, stop - start);
    start = stop + 1;
    if (pattern.empty()) continue;
    const std::vector<std::u16string> names =
        FindNames(pattern, [](DWORD attributes, const std::u16string&) { return !(attributes & FILE_ATTRIBUTE_DIRECTORY); });
    for (const std::u16string& name : names) {
      if (AddItem(name) == kBusyFromName) Application().SetBusyCursor(true);
    }
  }
}

// ---------------------------------------------------------------------------

TPathLabel::TPathLabel(TComponent* owner) : TCustomLabel(owner) {
  SetWordWrap(false);
  SetShowAccelChar(false);
}

void TPathLabel::Paint() {
  TCanvas& canvas = Canvas();
  const TRect r = Bounds(0, 0, Width(), Height());
  canvas.SetBrushColor(Color());
  canvas.FillRect(r);
  canvas.Font().Assign(Font());
  canvas.SetBrushStyle(TBrushStyle::bsClear);
  const std::u16string text =
      ShortenPath(Text(), Width(), [&canvas](std::u16string_view s) { return canvas.TextWidth(s); });
  TRect area = r;
  canvas.DrawText(&area, text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace ui
