// Lists the visible top-level windows of the desktop it runs on, one line
// each, for the scripts that drive programs inside Wine's virtual desktop,
// where X knows only the desktop and not its windows:
//
//   LEFT TOP RIGHT BOTTOM CLIENT_LEFT CLIENT_TOP CLIENT_WIDTH CLIENT_HEIGHT<TAB>TITLE
//
// The window's rectangle with its frame and the client area, in desktop
// pixels; the title in UTF-8. Topmost window first.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t title[512];
  if (GetWindowTextW(window, title, 512) <= 0) return TRUE;
  RECT frame, client_size;
  POINT client = {0, 0};
  if (!GetWindowRect(window, &frame) || !GetClientRect(window, &client_size) ||
      !ClientToScreen(window, &client))
    return TRUE;
  std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\t%s\n", frame.left, frame.top, frame.right, frame.bottom,
              client.x, client.y, client_size.right, client_size.bottom, Utf8(title).c_str());
  return TRUE;
}

}  // namespace

int main() {
  EnumWindows(PrintWindow, 0);
  return 0;
}
