// The long time format of the user's regional settings.
#include <windows.h>

#include "app/regional.h"

namespace app {

std::string SystemLongTimeFormat() {
  wchar_t buf[80];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, buf, 80) <= 0) return "H:mm:ss";
  // The pattern letters are ASCII; quoted texts beyond it are rare and
  // would only be shown, so they become '?'.
  std::string s;
  for (const wchar_t* p = buf; *p; ++p) s.push_back(*p < 128 ? static_cast<char>(*p) : '?');
  return s;
}

}  // namespace app
