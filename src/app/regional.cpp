#include "app/regional.h"

namespace app {

const RegionalFormats& Regional() {
  static const RegionalFormats formats{paradox::SystemDateFormat(), SystemLongTimeFormat()};
  return formats;
}

#ifndef _WIN32
std::string SystemLongTimeFormat() { return "H:mm:ss"; }
#endif

}  // namespace app
