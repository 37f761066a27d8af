// Modal message boxes. Every one the program shows, the standard message
// dialogs and the default error display alike, goes through ShowMessageBox,
// whose work tests may take over with SetMessageBoxFunction.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace framework {

enum class TMsgDlgType { mtWarning, mtError, mtInformation };

struct MessageBoxRequest {
  std::u16string text;
  std::u16string caption;
  UINT style = MB_OK;  // MB_ button and icon flags
};

using MessageBoxFunction = std::function<int(const MessageBoxRequest&)>;

// Shows the box (or hands it to the replacement) and returns the button
// pressed (IDOK, ...).
int ShowMessageBox(const MessageBoxRequest& request);
// Replaces the function that shows boxes; an empty function brings back the
// system's own. Returns the previous replacement (empty when none).
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

// The standard message dialog with one OK button, centred on the screen:
// the icon and the English caption ("Warning", "Error", "Information")
// follow the kind. Returns IDOK.
int MessageDlg(const std::u16string& text, TMsgDlgType type);

}  // namespace framework
