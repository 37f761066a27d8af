// TApplication: the program's message loop, its forms, its title, the
// default error display and the busy cursor. One object, Application().
#pragma once

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <string>

#include "framework/component.h"

namespace framework {

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Takes the title from the executable's name and hooks the database
  // session's busy cursor.
  void Initialize();

  // Makes a form owned by the application; the first one made is the main
  // form, whose closing ends Run.
  template <typename T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    if (!main_form_) main_form_ = form;
  }
  TForm* MainForm() const { return main_form_; }

  // Shows the main form and handles messages until the program ends.
  void Run();
  // Handles every pending message without waiting for new ones.
  void ProcessMessages();
  // Ends Run when control gets back to it.
  void Terminate();
  bool Terminated() const { return terminated_; }

  const std::u16string& Title() const { return title_; }
  void SetTitle(std::u16string title) { title_ = std::move(title); }

  // The default error display: a modal message box with the error icon,
  // one OK button and the title as caption, showing the message with a full
  // stop added by the rule of ErrorDisplayText. Exception messages are
  // UTF-8 throughout the program: the engine names files by their UTF-8
  // paths, and a path may hold characters no 8-bit code page has.
  void ShowException(const std::exception& e);
  void HandleException(std::exception_ptr error);

  // The hourglass cursor over the program's windows while busy.
  bool BusyCursor() const { return busy_cursor_; }
  void SetBusyCursor(bool busy);

  // Frees the forms still alive (at program end).
  void FreeForms();
  // Called by every form as it goes.
  void FormDestroyed(TForm* form);

 private:
  bool HandleMessage(MSG* msg);

  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  bool busy_cursor_ = false;
  std::u16string title_;
};

TApplication& Application();

// For the window procedure: an exception left an event handler.
void HandleEventException(std::exception_ptr error);
// For the window procedure: whether the hourglass is to be shown.
bool BusyCursorShown();

}  // namespace framework
