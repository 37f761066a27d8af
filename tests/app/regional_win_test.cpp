// The short date format of the user's regional settings (HKCU\Control
// Panel\International\sShortDate) as the system reports it: the purge's
// literal against what Windows writes, and the purge on a table; then
// advclean.exe, started after the setting, reading it itself.
//
// The test changes the user's settings, so it runs in a Wine prefix of its
// own; RegionalRu* run under a Russian locale, the others under English.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../cleaning/pass_fixture.h"
#include "../support/short_dates.h"
#include "app/regional.h"
#include "app/unit1_win.h"
#include "cleaning/cleaner.h"
#include "cleaning/date_text.h"
#include "framework/application_win.h"
#include "framework/text.h"
#include "paradox/date_format.h"
#include "paradox/engine.h"
#include "paradox/value.h"
#include "ui/frmessage_win.h"

namespace {

using cleaning::testing::PurgeKept;
using cleaning::testing::PurgeRows;
using cleaning::testing::Tags;
using cleaning::testing::WriteTable;

std::wstring Wide(const std::string& utf8) {
  std::wstring w(utf8.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(),
                                    static_cast<int>(w.size()));
  w.resize(static_cast<size_t>(n));
  return w;
}

std::string Utf8(const wchar_t* w) {
  char buf[512];
  return WideCharToMultiByte(CP_UTF8, 0, w, -1, buf, sizeof buf, nullptr, nullptr) > 0 ? buf : "";
}

std::string Reported(LCTYPE type) {
  wchar_t buf[128];
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 128) > 0 ? Utf8(buf) : "";
}

// The value the regional settings keep in the registry.
std::string StoredShortDate() {
  wchar_t buf[128];
  DWORD size = sizeof buf;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\International", L"sShortDate", RRF_RT_REG_SZ, nullptr, buf,
                   &size) != ERROR_SUCCESS)
    return "";
  return Utf8(buf);
}

// A date (1 January 2011 unless given) in the user's short date format, as
// Windows writes it.
std::string WindowsShortDate(WORD year = 2011, WORD month = 1, WORD day = 1) {
  SYSTEMTIME st = {};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wDayOfWeek = static_cast<WORD>(paradox::DayFromCivil(year, month, day) % 7);  // day 1 was a Monday
  wchar_t buf[128];
  return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 128) > 0 ? Utf8(buf) : "";
}

struct Output {
  DWORD exit_code = 0;
  std::string text;  // standard output and error together
};

Output RunProgram(const std::string& command) {
  Output o;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &sa, 0)) return {~0u, "no pipe"};
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = write;
  si.hStdError = write;
  PROCESS_INFORMATION pi = {};
  std::wstring line = Wide(command);
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write);
  if (!started) {
    CloseHandle(read);
    return {~0u, "cannot start " + command};
  }
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0) o.text.append(buf, n);
  CloseHandle(read);
  WaitForSingleObject(pi.hProcess, 120000);
  GetExitCodeProcess(pi.hProcess, &o.exit_code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return o;
}

// Sets the user's short date format with reg.exe, from outside, as an
// operator's script would.
Output RegAddShortDate(const std::string& pattern) {
  return RunProgram("reg.exe add \"HKCU\\Control Panel\\International\" /v sShortDate /t REG_SZ /d \"" + pattern +
                    "\" /f");
}

std::string Folder(const std::string& table) { return std::filesystem::path(table).parent_path().string(); }

class RegionalTest : public cleaning::testing::PassTest {
 protected:
  void SetUp() override { original_ = Reported(LOCALE_SSHORTDATE); }
  void TearDown() override {
    SetShortDate(original_);
    paradox::Engine::set_date_format(paradox::SystemDateFormat());
  }

  // Sets the user's short date format as the regional settings do, and
  // checks that the system stores and reports it.
  static void SetShortDate(const std::string& pattern) {
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, Wide(pattern).c_str()));
    ASSERT_EQ(StoredShortDate(), pattern);
    ASSERT_EQ(Reported(LOCALE_SSHORTDATE), pattern);
  }

  // Under the format the system reports now: the literal is what Windows
  // writes, and the purge deletes exactly the rows before 2011.
  void CheckPurge(const std::string& pattern, const std::string& name) {
    const paradox::DateFormat format = paradox::SystemDateFormat();
    ASSERT_EQ(format.pattern, pattern);
    const std::string literal = cleaning::PurgeDateLiteral(format);
    EXPECT_EQ(literal, WindowsShortDate());
    paradox::Engine::set_date_format(format);
    cleaning::TCleaner with_format(state, Query, Table, progress, format);
    state.FTablePath = WriteTable(name, PurgeRows());
    ASSERT_NO_THROW(with_format.CreateList());
    EXPECT_EQ(Query.RowsAffected(), 5);
    EXPECT_EQ(Tags(state.FTablePath), PurgeKept());
  }

  std::string original_;
};

TEST_F(RegionalTest, EveryLocalesFormatAsTheSystemReportsIt) {
  ASSERT_EQ(Reported(LOCALE_SMONTHNAME1), "January") << "an English locale is expected";
  int n = 0;
  for (const auto& c : testsupport::kShortDates) {
    SCOPED_TRACE(std::string(c.where) + ": " + c.pattern);
    SetShortDate(c.pattern);
    EXPECT_EQ(WindowsShortDate(), c.literal);
    CheckPurge(c.pattern, "regional_" + std::to_string(n++));
  }
}

// advclean.exe reads the regional settings when it starts; they are set
// before, with reg.exe.
TEST_F(RegionalTest, TheProgramReadsTheFormatSetBeforeItStarts) {
  const struct {
    const char* pattern;
    const char* literal;
  } cases[] = {
      {"yyyy. MM. dd.", "2011. 01. 01."},
      {"dd-MMM-yy", "01-Jan-11"},
      {"d.M.yyyy 'г.'", "1.1.2011 г."},  // beyond ASCII
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const Output reg = RegAddShortDate(c.pattern);
    ASSERT_EQ(reg.exit_code, 0u) << reg.text;
    ASSERT_EQ(StoredShortDate(), c.pattern);
    const std::string table = WriteTable("regional_program", PurgeRows());
    const Output run = RunProgram("\"" ADVCLEAN_TOOL_EXE "\" analyze \"" + Folder(table) + "\"");
    EXPECT_EQ(run.exit_code, 0u) << run.text;
    EXPECT_NE(run.text.find(std::string("Purge: 5 rows dated before ") + c.literal + " deleted."), std::string::npos)
        << run.text;
    EXPECT_EQ(Tags(table), PurgeKept());
  }

  // A format without a day: the program refuses, names it, and changes nothing.
  ASSERT_EQ(RegAddShortDate("MM/yyyy").exit_code, 0u);
  const std::string table = WriteTable("regional_unreadable", PurgeRows());
  const std::vector<uint8_t> before = cleaning::testing::FileBytes(table);
  const Output run = RunProgram("\"" ADVCLEAN_TOOL_EXE "\" analyze \"" + Folder(table) + "\"");
  EXPECT_EQ(run.exit_code, 2u) << run.text;
  EXPECT_NE(run.text.find("short date format \"MM/yyyy\": the format has no day"), std::string::npos) << run.text;
  EXPECT_EQ(cleaning::testing::FileBytes(table), before);
}

TEST_F(RegionalTest, RegionalRuMonthNamesOfTheLocale) {
  ASSERT_EQ(original_, "dd.MM.yyyy") << "a Russian locale is expected";
  ASSERT_EQ(Reported(LOCALE_SMONTHNAME1), "январь");
  int n = 0;
  for (const auto& c : testsupport::kRussianShortDates) {
    SCOPED_TRACE(c.pattern);
    SetShortDate(c.pattern);
    // The locale's own names, whichever forms this system gives them ("янв"
    // or "янв."): not the English ones.
    EXPECT_NE(WindowsShortDate(), cleaning::PurgeDateLiteral(testsupport::ShortDateFormat(c.pattern)));
    CheckPurge(c.pattern, "regional_ru_" + std::to_string(n++));
  }

  // advclean.exe, started under the same settings, writes the same literal.
  SetShortDate("dd-MMM-yy");
  const std::string literal = WindowsShortDate();
  const std::string table = WriteTable("regional_ru_program", PurgeRows());
  const Output run = RunProgram("\"" ADVCLEAN_TOOL_EXE "\" analyze \"" + Folder(table) + "\"");
  EXPECT_EQ(run.exit_code, 0u) << run.text;
  EXPECT_NE(run.text.find("Purge: 5 rows dated before " + literal + " deleted."), std::string::npos) << run.text;
  EXPECT_EQ(Tags(table), PurgeKept());
}

// The window's grid under a format with Russian names and text shows dates
// as Windows writes them (beyond ASCII they used to become "?").
TEST_F(RegionalTest, RegionalRuTheGridShowsDatesAsWindowsWritesThem) {
  const std::string pattern = "d MMMM yyyy 'г.'";
  SetShortDate(pattern);
  // As at program start: the window's formats and the engine's.
  ASSERT_EQ(app::Regional().short_date.pattern, pattern) << "the window's formats were read before";
  paradox::Engine::set_date_format(paradox::SystemDateFormat());
  const int32_t day = static_cast<int32_t>(paradox::DayFromCivil(2011, 3, 2) - paradox::kDateTimeEpochDay);
  const std::string table = WriteTable("regional_ru_grid", {{"A", day, 9 * 3600000, 1, 1, 2011, 1},
                                                            {"A", day, 9 * 3600000, 1, 1, 2011, 2}});
  auto form = std::make_unique<app::TQuorren>(&framework::Application());
  form->Show();
  form->DE->SetText(framework::FromUtf8(Folder(table)));
  form->SBAnalyzeClick(nullptr);
  ASSERT_EQ(form->SG->RowCount(), 2);
  EXPECT_EQ(form->SG->Cells(1, 1), framework::FromUtf8(WindowsShortDate(2011, 3, 2)));
  EXPECT_EQ(form->SG->Cells(1, 1), u"2 марта 2011 г.");
  form.reset();
  ui::ShowProgress("", -1);
  framework::Application().ProcessMessages();
}

}  // namespace
