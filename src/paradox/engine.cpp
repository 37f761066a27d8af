#include "paradox/engine.h"

#include <mutex>
#include <new>

#include "paradox/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace paradox {

namespace {
std::mutex g_mutex;
bool g_started = false;
ErrorCode g_fail_next = ErrorCode::kOk;
DateFormat g_format;
bool g_format_set = false;
}  // namespace

DateFormat SystemDateFormat() {
  DateFormat f;
#ifdef _WIN32
  wchar_t buf[80];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buf, 80) > 0) {
    std::string s;
    for (const wchar_t* p = buf; *p; ++p) s.push_back(*p < 128 ? static_cast<char>(*p) : '?');
    f.pattern = s;
  } else {
    f.pattern = "m/d/yy";
  }
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, buf, 80) > 0 && buf[0] != 0 && buf[0] < 128)
    f.separator = static_cast<char>(buf[0]);
  else
    f.separator = '/';
#endif
  return f;
}

Status Engine::Start() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_started) return Status::OK();
  if (g_fail_next != ErrorCode::kOk) {
    return Status::Error(g_fail_next);
  }
  try {
    PX_RETURN_IF_ERROR(PrepareCodePages());
    if (!g_format_set) g_format = SystemDateFormat();
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorCode::kOutOfMemory);
  }
  g_started = true;
  return Status::OK();
}

void Engine::Stop() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_started = false;
}

bool Engine::started() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_started;
}

const DateFormat& Engine::date_format() { return g_format; }

void Engine::set_date_format(const DateFormat& format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_format = format;
  g_format_set = true;
}

void Engine::TEST_SetStartFailure(ErrorCode code) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_fail_next = code;
}

}  // namespace paradox
