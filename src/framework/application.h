// The parts of the application object that need no window: its title and
// the text of the default error display.
#pragma once

#include <string>
#include <string_view>

namespace framework {

// The application title from the executable's path: the file name without
// its folder, cut at its first ".", the first letter kept as it is and the
// rest in lower case ("C:\Tools\AdvClean.exe" gives "Advclean"). Both "\"
// and "/" separate folders; Latin and Cyrillic letters change case.
std::u16string TitleFromExeName(std::u16string_view path);

// The message the default error display shows for an exception's message
// (UTF-8): a full stop is added when the last character sorts after "."
// (a letter or a digit does, and so does every character beyond ASCII;
// ")" or "." does not). An empty message stays empty.
std::string ErrorDisplayText(std::string_view message);

}  // namespace framework
