// advclean's console: the progress bar, the operator's messages and the
// error display, in UTF-8.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "cleaning/progress.h"

namespace tools {

bool IsTerminal(std::FILE* f);

// The progress display as one line redrawn in place: the step text, a bar
// and the percentage, following the calls of the window's display (an
// empty text keeps the line, a negative percentage hides the bar, an empty
// text with 0 or less closes it). Draws nothing unless `enabled`. An
// update is due, as with the window's throttle, on the first call and then
// more than 0.4 s after the last due one; but a console has no window to
// let catch up, so a due update does not pause, and the clock is looked at
// only every few calls (the passes ask for every row). A showing call lets
// pending messages run, as the window's display does.
class ConsoleProgress : public cleaning::ProgressReport {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // `clock` replaces the steady clock (for tests).
  ConsoleProgress(std::FILE* out, bool enabled, Clock clock = nullptr)
      : out_(out), enabled_(enabled), clock_(std::move(clock)) {}
  ~ConsoleProgress() override { Erase(); }

  void ShowProgress(const std::string& text, double percent) override;
  bool ProgressDue() override;
  // Takes the line off the screen, for other output to follow.
  void Erase();

 private:
  void Draw();

  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  std::string text_;  // UTF-8
  bool bar_ = true;
  int percent_ = 0;
  size_t drawn_ = 0;  // characters on the line now
  Clock clock_;
  int until_look_ = 1;  // calls until the clock is looked at
  bool any_due_ = false;
  std::chrono::steady_clock::time_point last_due_;
};

// Keeps the last operator message instead of showing a dialog.
class KeptMessage : public cleaning::OperatorMessages {
 public:
  void ShowMessage(cleaning::MessageKind kind, const std::string& text) override {
    kind_ = kind;
    text_ = text;
  }
  cleaning::MessageKind kind() const { return kind_; }
  const std::string& text() const { return text_; }  // Windows-1251

 private:
  cleaning::MessageKind kind_ = cleaning::MessageKind::kInformation;
  std::string text_;
};

// An error's message as the window's error display shows it: a full stop
// added when the last character sorts after ".".
std::string ErrorDisplayText(const std::string& message);

// Text for the console: UTF-8 stays, anything else is taken as
// Windows-1251 (the program's texts and the engine's messages) and turned
// into UTF-8.
std::string ConsoleText(const std::string& text);

// Characters (code points) in UTF-8 text.
size_t DisplayWidth(std::string_view utf8);

}  // namespace tools
