// Marks a pass as running for its lifetime and refuses a nested one.
#pragma once

#include <stdexcept>

namespace cleaning {

class PassGuard {
 public:
  explicit PassGuard(bool& running) : running_(running) {
    if (running_) throw std::logic_error("A cleaning pass is already running");
    running_ = true;
  }
  ~PassGuard() { running_ = false; }
  PassGuard(const PassGuard&) = delete;
  PassGuard& operator=(const PassGuard&) = delete;

 private:
  bool& running_;
};

}  // namespace cleaning
