#include "app/unit1_win.h"

#include <windows.h>

#include "app/engine.h"
#include "app/grid_routines_win.h"
#include "app/grid_rows.h"
#include "app/regional.h"
#include "cleaning/texts.h"
#include "framework/dialogs_win.h"
#include "framework/text.h"
#include "paradox/stop.h"
#include "table/errors.h"
#include "ui/frmessage_win.h"

using namespace framework;

namespace app {

TQuorren* Quorren = nullptr;

namespace {

// The grid shows the progress window for lists longer than this.
constexpr int kGridProgressFrom = 200;

const std::string& ShowingData() {
  static const std::string text = ToCp1251(u"Вывод данных");
  return text;
}

// A white-to-grey gradient label as the form describes it, placed where a
// button will lie over it.
ui::THeadLabel* NewButtonGradient(TForm* form, int left, int top) {
  auto* label = new ui::THeadLabel(form);
  label->SetBounds(left, top, 241, 29);
  label->SetAutoBounds(false);
  label->SetBoundLines(0);
  label->Gradient().SetEndColor(clWhite);
  label->Gradient().SetStyle(ui::TGradientStyle::gsBottom);
  label->SubCaption().SetEllipsis(false);
  label->SubCaption().SetStyle(0);
  label->SetParent(form);
  return label;
}

bool FileExists(const std::string& utf8_path) {
  std::u16string path = FromUtf8(utf8_path);
  DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Marks a pass as running for the life of a button handler. A close asked
// for meanwhile is carried out once the pass is over.
class TQuorren::PassScope {
 public:
  explicit PassScope(TQuorren* form) : form_(form) { form_->pass_running_ = true; }
  ~PassScope() {
    form_->pass_running_ = false;
    if (form_->close_pending_) {
      form_->close_pending_ = false;
      PostMessageW(form_->Handle(), WM_CLOSE, 0, 0);
    }
  }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

 private:
  TQuorren* form_;
};

TQuorren::TQuorren(TComponent* owner)
    : TForm(owner),
      Table("Table"),
      Query("Query"),
      cleaner_(State, Query, Table, progress_, Regional().short_date) {
  SetName("Quorren");
  SetCaption(u8"Утилита удаления дублей");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetClientSize(538, 629);
  SetPosition(TPosition::poScreenCenter);
  SetColor(clBtnFace);

  HeadLabel2 = NewButtonGradient(this, 148, 596);
  HeadLabel1 = NewButtonGradient(this, 132, 56);

  Label1 = new TLabel(this);
  Label1->SetBounds(8, 4, 137, 13);
  Label1->SetCaption(u8"Путь к базам Morvane");
  Label1->SetParent(this);

  SBAnalyze = new ui::TSpeedButton(this);
  SBAnalyze->SetBounds(132, 56, 241, 29);
  SBAnalyze->SetFlat(true);
  SBAnalyze->SetCaption(u8"1. Выполнить анализ");
  SBAnalyze->OnClick = [this](TComponent* sender) { SBAnalyzeClick(sender); };
  SBAnalyze->SetParent(this);

  SBDeldub = new ui::TSpeedButton(this);
  SBDeldub->SetBounds(148, 596, 241, 29);
  SBDeldub->SetFlat(true);
  SBDeldub->SetCaption(u8"2. Удалить дубли");
  SBDeldub->SetEnabled(false);
  SBDeldub->OnClick = [this](TComponent* sender) { SBDeldubClick(sender); };
  SBDeldub->SetParent(this);

  DE = new ui::TDirectoryEdit(this);
  DE->SetBounds(8, 24, 521, 21);
  DE->SetNumGlyphs(1);
  DE->SetCaption("C:\\Morvane");
  DE->SetParent(this);

  SG = new TStringGrid(this);
  SG->SetBounds(0, 92, 537, 497);
  SG->SetColCount(6);
  SG->SetRowCount(2);
  SG->SetFixedRows(1);
  SG->SetFixedCols(0);
  SG->SetDefaultRowHeight(16);
  SG->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRowSelect);
  SG->SetScrollBars(TScrollStyle::ssBoth);
  const int widths[] = {49, 62, 54, 235, 41, 67};
  for (int c = 0; c < 6; ++c) SG->SetColWidths(c, widths[c]);
  SG->SetParent(this);

  OnCloseQuery = [this](TComponent* sender, bool& can_close) { FormCloseQuery(sender, can_close); };
  OnClose = [this](TComponent* sender, TCloseAction& action) { FormClose(sender, action); };
  FormCreate(this);
}

TQuorren::~TQuorren() {
  if (Quorren == this) Quorren = nullptr;
}

void TQuorren::FormCreate(TComponent*) {
  State.FDupList.Clear();
  SG->SetCells(0, 0, u8"№№");
  SG->SetCells(1, 0, u8"Дата");
  SG->SetCells(2, 0, u8"Время");
  SG->SetCells(3, 0, u8"Название ролика");
  SG->SetCells(4, 0, u8"Номер");
  SG->SetCells(5, 0, u8"Заказ");
  ShowList();
}

void TQuorren::FormCloseQuery(TComponent*, bool& CanClose) {
  // The pass's data sets and list must not go from under it: the window
  // closes when the pass is over.
  if (pass_running_) {
    close_pending_ = true;
    CanClose = false;
  }
}

void TQuorren::FormClose(TComponent*, TCloseAction&) {
  ClearGrid(*SG);
  State.FDupList.Clear();
}

void TQuorren::SBAnalyzeClick(TComponent*) {
  if (pass_running_) return;  // a press while a pass runs is ignored
  PassScope scope(this);
  SBDeldub->SetEnabled(false);
  State.FTablePath = TablePath(DE->TextUtf8());
  if (!FileExists(State.FTablePath)) {
    MessageDlg(FromCp1251(cleaning::texts::NoTable()) + FromUtf8(State.FTablePath), TMsgDlgType::mtError);
    return;
  }
  try {
    const bool found = cleaner_.CreateList();
    SBDeldub->SetEnabled(found);
  } catch (const dataset::EStopped&) {
    // The session is ending: the pass ended with the files consistent, and
    // the list it left is empty. No message may hold the session up.
    ShowList();
    return;
  }
  cleaner_.SortList();
  ShowList();
}

void TQuorren::SBDeldubClick(TComponent*) {
  if (pass_running_) return;  // a press while a pass runs is ignored
  PassScope scope(this);
  bool stopped = false;
  try {
    cleaner_.DeleteDoubles();
  } catch (const dataset::EStopped&) {
    stopped = true;  // the rows not reached stay, and so do their records
  }
  ShowList();
  SBDeldub->SetEnabled(false);
  // A walk that the session's end stopped (or whose table WM_ENDSESSION
  // let go) says nothing; the next analysis lists what is left.
  if (!stopped && !stop_asked_) cleaner_.ReportDeletion(messages_);
}

LRESULT TQuorren::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      // A pass runs below this message (its progress update let it in):
      // it stops at its next group boundary. The session may end.
      if (pass_running_) {
        stop_asked_ = true;
        paradox::RequestStop();
      }
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) {
        // The process may be ended as soon as this returns, and the pass
        // below it cannot reach its boundary before: write what the walk
        // gathered and let the table go here (the walk then finds the set
        // closed and ends). The analysis's read changes nothing, and its
        // purge lets no message in.
        if (pass_running_) {
          stop_asked_ = true;
          paradox::RequestStop();
          try {
            Table.Close();
          } catch (const std::exception&) {
            // The group could not be written; its journal undoes it at the
            // next open, as after a crash.
          }
        }
      } else if (stop_asked_) {
        // The session goes on after all.
        stop_asked_ = false;
        paradox::ClearStopRequest();
      }
      return 0;
  }
  return TForm::WndProc(message, wparam, lparam);
}

void TQuorren::FillRow(int row, const cleaning::TBlockRec& rec, GridRowTexts& texts) {
  const GridRowTexts::Texts cells = texts.Make(row, rec);
  SG->SetRowCells(row, cells);
}

void TQuorren::ShowList() {
  FitGridColumns(*SG, {0, 0, 0, 100, 0, 0});
  cleaning::TDupList& list = State.FDupList;
  if (list.Empty()) {
    ClearGrid(*SG);
    return;
  }
  ProgressDue();
  const int count = list.Count();
  const bool with_progress = count > kGridProgressFrom;
  if (with_progress) ui::ShowProgress(ShowingData(), 0);
  // The row count decides whether the vertical scroll bar is there. The
  // bars change once, for the fitted columns: the name column is too wide
  // for a grid with the vertical bar until it is fitted.
  SG->BeginUpdate();
  SG->SetRowCount(count + 1);
  FitGridColumns(*SG, {0, 0, 0, 100, 0, 0});
  SG->EndUpdate();
  GridRowTexts texts(Regional());
  for (int i = 0; i < count; ++i) {
    State.FCurRec = list[i];
    FillRow(i + 1, *State.FCurRec, texts);
    if (with_progress && ProgressDue()) ui::ShowProgress(std::string(), static_cast<double>(i) / count * 100);
  }
  ui::ShowProgress(std::string(), -1);
}

}  // namespace app
