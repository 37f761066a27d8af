// Helpers for the in-process Windows tests: answering message boxes,
// capturing a window's face and pushing mouse input through the real
// window procedure.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/application_win.h"
#include "framework/dialogs_win.h"
#include "framework/gdi_win.h"

namespace testing_win {

// Answers every message box with OK and keeps what it was asked, for the
// life of the object.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder() {
    previous_ = framework::SetMessageBoxFunction([this](const framework::MessageBoxRequest& r) {
      boxes.push_back(r);
      if (on_box) on_box(r);
      return IDOK;
    });
  }
  ~MessageBoxRecorder() { framework::SetMessageBoxFunction(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<framework::MessageBoxRequest> boxes;
  std::function<void(const framework::MessageBoxRequest&)> on_box;

 private:
  framework::MessageBoxFunction previous_;
};

// The client area of `window` as the window paints it (WM_PRINTCLIENT), so
// that windows of other programs on the same screen cannot disturb it.
class ClientCapture {
 public:
  explicit ClientCapture(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    width_ = r.right;
    height_ = r.bottom;
    void* bits = nullptr;
    bitmap_.Reset(framework::CreateDib32(width_, height_, &bits));
    pixels_ = static_cast<const uint32_t*>(bits);
    framework::SelectScope select(dc_.get(), bitmap_.get());
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_.get()), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
  }
  // $00BBGGRR, as COLORREF.
  uint32_t Pixel(int x, int y) const {
    uint32_t px = pixels_[static_cast<size_t>(y) * width_ + x];
    return ((px & 0xFF) << 16) | (px & 0xFF00) | ((px >> 16) & 0xFF);
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  framework::MemoryDC dc_;
  framework::GdiBitmap bitmap_;
  const uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// A left click at (x, y) of `window`'s client area, through its window
// procedure.
inline void ClickAt(HWND window, int x, int y) {
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline std::u16string WindowText(HWND window) {
  wchar_t buffer[512];
  int n = GetWindowTextW(window, buffer, 512);
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(n));
}

inline void Pump() { framework::Application().ProcessMessages(); }

}  // namespace testing_win
