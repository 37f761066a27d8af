// TTimer: fires OnTimer every Interval milliseconds while enabled. Without
// a handler it asks the system for no timer at all.
#pragma once

#include <windows.h>

#include "framework/component.h"

namespace framework {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);
  void SetOnTimer(TNotifyEvent handler);
  bool Running() const { return id_ != 0; }

 private:
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void UpdateTimer();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent on_timer_;
  UINT_PTR id_ = 0;
};

}  // namespace framework
