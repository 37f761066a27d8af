// The main window TQuorren: the folder field, the two action buttons, the
// result grid and the two data sets, and the state of the passes.
#pragma once

#include <string>

#include "app/window_reports_win.h"
#include "cleaning/cleaner.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "framework/string_grid_win.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "ui/combo_edit_win.h"
#include "ui/head_label_win.h"
#include "ui/speed_button_win.h"

namespace app {

class GridRowTexts;

class TQuorren : public framework::TForm {
 public:
  explicit TQuorren(framework::TComponent* owner);
  ~TQuorren() override;

  // Components, in creation order. The two gradient labels lie under the
  // flat buttons and form their background.
  ui::THeadLabel* HeadLabel2;
  ui::THeadLabel* HeadLabel1;
  framework::TLabel* Label1;
  ui::TSpeedButton* SBAnalyze;
  ui::TSpeedButton* SBDeldub;
  ui::TDirectoryEdit* DE;
  framework::TStringGrid* SG;
  dataset::TTable Table;
  dataset::TQuery Query;

  // FTablePath, FDupList, FLastRec, FCurRec.
  cleaning::TPassState State;

  void FormCreate(framework::TComponent* Sender);
  void FormClose(framework::TComponent* Sender, framework::TCloseAction& Action);
  void SBAnalyzeClick(framework::TComponent* Sender);
  void SBDeldubClick(framework::TComponent* Sender);
  // Fills the grid from the duplicate list, in list order.
  void ShowList();

  // True while a button's pass runs: a further press of either button is
  // ignored then, and closing the window waits for the pass to end.
  bool PassRunning() const { return pass_running_; }

 protected:
  // The end of the session (shutdown, log-off) during a pass stops it at a
  // group boundary: WM_QUERYENDSESSION asks for the stop, WM_ENDSESSION
  // does not return before the table's files are consistent and let go.
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  class PassScope;
  void FormCloseQuery(framework::TComponent* Sender, bool& CanClose);
  void FillRow(int row, const cleaning::TBlockRec& rec, GridRowTexts& texts);

  WindowProgress progress_;
  WindowMessages messages_;
  cleaning::TCleaner cleaner_;
  bool pass_running_ = false;
  bool close_pending_ = false;
  bool stop_asked_ = false;  // this window asked the engine to stop
};

extern TQuorren* Quorren;

}  // namespace app
