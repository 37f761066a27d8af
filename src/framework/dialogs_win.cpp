#include "framework/dialogs_win.h"

#include <utility>

#include "framework/wide_win.h"

namespace framework {

namespace {

MessageBoxFunction& Replacement() {
  static MessageBoxFunction function;
  return function;
}

}  // namespace

int ShowMessageBox(const MessageBoxRequest& request) {
  if (Replacement()) return Replacement()(request);
  // No owner window: the box is centred on the screen, and task-modal, so
  // every window of the program waits for it.
  return MessageBoxW(nullptr, Wide(request.text), Wide(request.caption), request.style | MB_TASKMODAL);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
  return std::exchange(Replacement(), std::move(function));
}

int MessageDlg(const std::u16string& text, TMsgDlgType type) {
  MessageBoxRequest request;
  request.text = text;
  switch (type) {
    case TMsgDlgType::mtWarning:
      request.caption = u"Warning";
      request.style = MB_OK | MB_ICONWARNING;
      break;
    case TMsgDlgType::mtError:
      request.caption = u"Error";
      request.style = MB_OK | MB_ICONERROR;
      break;
    case TMsgDlgType::mtInformation:
      request.caption = u"Information";
      request.style = MB_OK | MB_ICONINFORMATION;
      break;
  }
  ShowMessageBox(request);
  return IDOK;
}

}  // namespace framework
