// The exceptions the data-set layer raises. Their messages are UTF-8: the
// engine names files by their UTF-8 paths, and a table's text is converted
// before it goes into a message.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "paradox/status.h"

namespace dataset {

// A failure found by the data-set layer itself; the message is the
// component's name, ": " and the text.
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
  // "%s: %s" of a component name and a text.
  static EDatabaseError For(const std::string& component, const std::string& text) {
    return EDatabaseError(component + ": " + text);
  }
};

// A failure of the engine: its code and texts. The message is the texts one
// per line, blank ones and repeats (ignoring letter case) left out, or
// "Database engine error $xxxx" when none is left.
class EDBEngineError : public EDatabaseError {
 public:
  EDBEngineError(uint16_t code, std::vector<std::string> texts);
  explicit EDBEngineError(const paradox::Status& status);

  uint16_t ErrorCode() const { return code_; }
  const std::vector<std::string>& Errors() const { return texts_; }

  static std::string BuildMessage(uint16_t code, const std::vector<std::string>& texts);

 private:
  uint16_t code_;
  std::vector<std::string> texts_;
};

// The engine's kStopped: a stop was asked for (see paradox/stop.h) and the
// change ended at a group boundary, the files consistent. Callers that end
// their work quietly on a stop catch it before EDBEngineError.
class EStopped : public EDBEngineError {
 public:
  explicit EStopped(const paradox::Status& status) : EDBEngineError(status) {}
};

// Raises EDBEngineError (EStopped for kStopped) when `status` is an error.
void Check(const paradox::Status& status);

}  // namespace dataset
