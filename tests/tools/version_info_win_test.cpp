// The version information of the three programs, read back from the
// executables as Windows reads it: the project's version in the fixed part
// and in the texts, each program's own file name, and the window program's
// icon and manifest still beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct VersionInfo {
  WORD fixed[4] = {};  // file version, most significant part first
  WORD product[4] = {};
  std::wstring Text(const wchar_t* name) const {
    const std::wstring key = L"\\StringFileInfo\\" + block + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0) return L"(none)";
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
  }
  std::vector<BYTE> data;
  std::wstring block;  // "041904b0": the language and code page of the texts
};

bool Read(const std::wstring& exe, VersionInfo* info) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  if (size == 0) return false;
  info->data.resize(size);
  if (!GetFileVersionInfoW(exe.c_str(), 0, size, info->data.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info->data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr)
    return false;
  const DWORD parts[4] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                          fixed->dwProductVersionLS};
  for (int i = 0; i < 2; ++i) {
    info->fixed[2 * i] = HIWORD(parts[i]);
    info->fixed[2 * i + 1] = LOWORD(parts[i]);
    info->product[2 * i] = HIWORD(parts[2 + i]);
    info->product[2 * i + 1] = LOWORD(parts[2 + i]);
  }
  WORD* translation = nullptr;
  if (!VerQueryValueW(info->data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      length < 4)
    return false;
  wchar_t block[16];
  swprintf(block, 16, L"%04x%04x", translation[0], translation[1]);
  info->block = block;
  return true;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(VersionInfoTest, EveryProgramCarriesTheProjectsVersion) {
  WORD want[4] = {};
  ASSERT_EQ(sscanf(ADVCLEAN_PROJECT_VERSION, "%hu.%hu.%hu", &want[0], &want[1], &want[2]), 3);
  struct Program {
    const char* path;
    const wchar_t* file;
    const wchar_t* description;
    const wchar_t* block;
  };
  for (const Program& p : {Program{ADVCLEAN_EXE, L"AdvClean.exe", L"Утилита удаления дублей", L"041904b0"},
                           Program{ADVCLEAN_TOOL_EXE, L"advclean.exe", L"AdvClean: cleaning from the command line",
                                   L"040904b0"},
                           Program{PXTOOL_EXE, L"pxtool.exe", L"AdvClean: Paradox table tool", L"040904b0"}}) {
    SCOPED_TRACE(p.path);
    VersionInfo info;
    ASSERT_TRUE(Read(Wide(p.path), &info)) << "no version information, error " << GetLastError();
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(info.fixed[i], want[i]) << "file version part " << i;
      EXPECT_EQ(info.product[i], want[i]) << "product version part " << i;
    }
    EXPECT_EQ(info.block, p.block);
    EXPECT_EQ(info.Text(L"FileVersion"), Wide(ADVCLEAN_PROJECT_VERSION));
    EXPECT_EQ(info.Text(L"ProductVersion"), Wide(ADVCLEAN_PROJECT_VERSION));
    EXPECT_EQ(info.Text(L"ProductName"), L"AdvClean");
    EXPECT_EQ(info.Text(L"OriginalFilename"), p.file);
    EXPECT_EQ(info.Text(L"FileDescription"), p.description);
  }
}

TEST(VersionInfoTest, TheWindowProgramKeepsItsIconAndManifest) {
  HMODULE m = LoadLibraryExW(Wide(ADVCLEAN_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr);
  EXPECT_NE(FindResourceW(m, L"MAINICON", RT_GROUP_ICON), nullptr);
  EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
  FreeLibrary(m);
}

}  // namespace
