// What the passes need of the windows: a progress display with its
// throttle, and modal messages to the operator. The main window wires the
// real ones; tests and the command-line tool bring their own.
#pragma once

#include <string>

namespace cleaning {

class ProgressReport {
 public:
  virtual ~ProgressReport() = default;

  // Shows a step text (Windows-1251) and a percentage. An empty text keeps
  // the current line; a percentage below 0 hides the bar; an empty text with
  // a percentage of 0 or less closes the display.
  virtual void ShowProgress(const std::string& text, double percent) = 0;
  // True when an update is due; a true answer has let the windows catch up.
  virtual bool ProgressDue() = 0;

  void CloseProgress() { ShowProgress(std::string(), -1); }
};

enum class MessageKind { kError, kWarning, kInformation };

class OperatorMessages {
 public:
  virtual ~OperatorMessages() = default;
  // A modal message with a single OK button; the text is Windows-1251.
  virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
};

}  // namespace cleaning
