#include "ui/frmessage_win.h"

#include "framework/application_win.h"
#include "ui/percent_bar.h"

using namespace framework;

namespace ui {

TF_Message* F_Message = nullptr;
bool MessageExists = false;

TF_Message::TF_Message(TComponent* owner) : TForm(owner) {
  SetCaption(u8"Ход процесса");
  SetBorderStyle(TFormBorderStyle::bsSingle);
  SetBorderIcons(biSystemMenu);
  SetFormStyle(TFormStyle::fsStayOnTop);
  SetPosition(TPosition::poScreenCenter);
  SetClientSize(400, 85);
  SetColor(clGray);

  Panel1 = new TPanel(this);
  Panel1->SetBounds(0, 0, 400, 85);
  Panel1->SetColor(clBtnFace);
  Panel1->SetBevelOuter(TBevelCut::bvRaised);
  Panel1->SetBevelInner(TBevelCut::bvLowered);
  Panel1->SetBevelWidth(1);
  Panel1->SetBorderStyle(TBorderStyle::bsSingle);
  Panel1->SetParent(this);

  LabMess = new TLabel(this);
  LabMess->SetBounds(8, 8, 380, 16);
  LabMess->SetAlignment(TAlignment::taCenter);
  LabMess->SetWordWrap(false);
  LabMess->SetParent(Panel1);
  LabMess->Font().SetStyle(fsBold);
  LabMess->Font().SetColor(clWindowText);

  MsgProcent = new TPercentBar(this);
  MsgProcent->SetBounds(8, 28, 380, 21);
  MsgProcent->SetForeColor(clNavy);
  MsgProcent->SetBackColor(clWhite);
  MsgProcent->SetParent(Panel1);
  MsgProcent->Font().SetStyle(fsBold);

  Label2 = new TLabel(this);
  Label2->SetBounds(8, 60, 196, 13);
  Label2->SetCaption(u8"Это сообщение будет закрыто через...");
  Label2->SetVisible(false);
  Label2->SetParent(Panel1);

  Timer1 = new TTimer(this);

  BtnOK = new TButton(this);
  BtnOK->SetBounds(312, 52, 75, 25);
  BtnOK->SetCaption("OK");
  BtnOK->SetVisible(false);
  BtnOK->OnClick = [this](TComponent* sender) { BtnOKClick(sender); };
  BtnOK->SetParent(Panel1);

  OnClose = [this](TComponent* sender, TCloseAction& action) { FormClose(sender, action); };
  FormCreate(this);
}

void TF_Message::FormCreate(TComponent*) { MessageExists = true; }

void TF_Message::FormClose(TComponent*, TCloseAction& Action) {
  MessageExists = false;
  Action = TCloseAction::caFree;
}

void TF_Message::BtnOKClick(TComponent*) { Hide(); }

void ShowProgress(const std::string& Text, double Percent) {
  const ProgressPlan plan = PlanProgress(Text.empty(), Percent);
  if (plan.close) {
    if (MessageExists) F_Message->Close();
    return;
  }
  if (!MessageExists) F_Message = new TF_Message(&Application());
  if (!Text.empty()) F_Message->LabMess->SetCaption(Text);
  if (plan.bar_visible) {
    F_Message->MsgProcent->Show();
    F_Message->MsgProcent->SetProgress(plan.bar_value);
  } else {
    F_Message->MsgProcent->Hide();
    F_Message->MsgProcent->SetProgress(0);
  }
  F_Message->Show();
  F_Message->BringToFront();
  // The window may be closed (and freed) by the operator in here.
  Application().ProcessMessages();
  Sleep(10);
}

}  // namespace ui
