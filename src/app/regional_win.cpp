// The long time format of the user's regional settings.
#include <windows.h>

#include "app/regional.h"

namespace app {

std::string SystemLongTimeFormat() {
  wchar_t buf[80];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, buf, 80) <= 0) return "H:mm:ss";
  // As UTF-8, so that texts in the locale's script ("H 'ч' mm") keep their
  // characters.
  char utf8[320];
  if (WideCharToMultiByte(CP_UTF8, 0, buf, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return "H:mm:ss";
  return utf8;
}

}  // namespace app
