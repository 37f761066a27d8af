// The progress window TF_Message and ShowProgress, which makes it on
// demand, updates it and closes it. A closed window frees itself; the next
// showing call makes a new one.
#pragma once

#include <string>

#include "framework/button_win.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "framework/panel_win.h"
#include "framework/timer_win.h"
#include "ui/percent_bar_win.h"

namespace ui {

class TF_Message : public framework::TForm {
 public:
  explicit TF_Message(framework::TComponent* owner);

  framework::TPanel* Panel1;
  framework::TLabel* LabMess;
  TPercentBar* MsgProcent;
  framework::TLabel* Label2;
  framework::TTimer* Timer1;
  framework::TButton* BtnOK;

  void FormCreate(framework::TComponent* Sender);
  void FormClose(framework::TComponent* Sender, framework::TCloseAction& Action);
  void BtnOKClick(framework::TComponent* Sender);
};

// The window last made. Never cleared; use it only while MessageExists.
extern TF_Message* F_Message;
// True from a window's creation until its closing.
extern bool MessageExists;

// Text is Windows-1251. An empty Text with a Percent not above 0 closes the
// window if there is one, and does nothing else. Any other call makes a
// window if none exists, puts a non-empty Text into the message line, shows
// the bar at the truncated Percent (at most 100%) or hides it for a Percent
// below 0, shows the window and brings it to the front, handles the pending
// window messages and pauses 10 ms.
void ShowProgress(const std::string& Text, double Percent);

}  // namespace ui
