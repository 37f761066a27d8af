// The passes' progress display and operator messages, wired to the
// progress window, the throttle and the standard message dialogs.
#pragma once

#include <string>

#include "cleaning/progress.h"

namespace app {

class WindowProgress : public cleaning::ProgressReport {
 public:
  void ShowProgress(const std::string& text, double percent) override;
  bool ProgressDue() override;
};

class WindowMessages : public cleaning::OperatorMessages {
 public:
  void ShowMessage(cleaning::MessageKind kind, const std::string& text) override;
};

}  // namespace app
