#include "app/window_reports_win.h"

#include "app/engine.h"
#include "framework/dialogs_win.h"
#include "framework/text.h"
#include "ui/frmessage_win.h"

namespace app {

void WindowProgress::ShowProgress(const std::string& text, double percent) { ui::ShowProgress(text, percent); }

bool WindowProgress::ProgressDue() { return app::ProgressDue(); }

void WindowMessages::ShowMessage(cleaning::MessageKind kind, const std::string& text) {
  framework::TMsgDlgType type = framework::TMsgDlgType::mtInformation;
  if (kind == cleaning::MessageKind::kError) type = framework::TMsgDlgType::mtError;
  if (kind == cleaning::MessageKind::kWarning) type = framework::TMsgDlgType::mtWarning;
  framework::MessageDlg(framework::FromCp1251(text), type);
}

}  // namespace app
