// The default session "Default": it starts the engine at the first database
// operation and shuts it down at program end.
#pragma once

#include <functional>
#include <string>

#include "paradox/file.h"

namespace dataset {

class TSession {
 public:
  explicit TSession(std::string name) : name_(std::move(name)) {}
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;
  ~TSession() { Close(); }

  const std::string& SessionName() const { return name_; }
  bool Active() const { return active_; }

  // Starts the engine unless it runs already. On failure raises
  // EDBEngineError with "An error occurred while attempting to initialize
  // the database engine (error $xxxx)", leaves the session inactive, and the
  // next call tries again. While starting, the busy cursor is shown.
  void Open();
  // Shuts the engine down; closing a closed session does nothing.
  void Close();

  // The file system the data sets of this session read and change tables
  // through: the host's, unless set otherwise (null restores the host's).
  // Not owned; it must outlive the data sets that use it.
  paradox::FileSystem* file_system() const { return fs_ != nullptr ? fs_ : paradox::FileSystem::Default(); }
  void set_file_system(paradox::FileSystem* fs) { fs_ = fs; }

  // Called around the engine's start: begin returns whether it changed the
  // cursor, end is called only when it did. The window layer sets these.
  static void SetBusyCursorHooks(std::function<bool()> begin, std::function<void()> end);

 private:
  std::string name_;
  bool active_ = false;
  paradox::FileSystem* fs_ = nullptr;
};

// The session every data set works in; exists from program start.
TSession& Session();

}  // namespace dataset
