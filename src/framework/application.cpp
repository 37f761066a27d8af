#include "framework/application.h"

namespace framework {

namespace {

char16_t LowerCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);  // А..Я
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);  // Ѐ..Џ
  return c;
}

}  // namespace

std::u16string TitleFromExeName(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.find(u'.');
  if (dot != std::u16string_view::npos) name = name.substr(0, dot);
  std::u16string title(name);
  for (size_t i = 1; i < title.size(); ++i) title[i] = LowerCase(title[i]);
  return title;
}

std::string ErrorDisplayText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text.push_back('.');
  }
  return text;
}

}  // namespace framework
