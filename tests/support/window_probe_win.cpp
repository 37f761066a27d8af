// window_probe TITLE: what the top-level window titled TITLE shows, read
// from outside its process, as one JSON object on standard output (UTF-8):
//
//   {"title": ..., "client": [w, h], "controls": [
//     {"class": "ListBox", "rect": [left, top, width, height], "visible": true,
//      "focused": false, "text": ..., "items": [...]}, ...]}
//
// Rects are in the window's client coordinates; "items" are the lines of a
// list box or combo box. The end-to-end run reads texts, focus and sizes
// with it where pixels cannot tell them. Exit code 1 when no such window.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string Json(const std::wstring& w) {
  std::string out = "\"";
  for (char c : Utf8(w)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Window texts and list lines travel between processes only through the
// messages the system carries across (WM_GETTEXT, LB_GETTEXT, CB_GETLBTEXT).
std::wstring Ask(HWND window, UINT length_message, UINT text_message, WPARAM index) {
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(window, length_message, index, 0, SMTO_ABORTIFHUNG, 2000, &n) ||
      static_cast<LRESULT>(n) < 0)
    return std::wstring();
  std::vector<wchar_t> buffer(n + 1, L'\0');
  DWORD_PTR got = 0;
  const WPARAM first = text_message == WM_GETTEXT ? static_cast<WPARAM>(n + 1) : index;
  SendMessageTimeoutW(window, text_message, first, reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 2000,
                      &got);
  return std::wstring(buffer.data());
}

std::vector<std::wstring> Items(HWND window, const std::wstring& cls) {
  std::vector<std::wstring> items;
  UINT count, length, text;
  if (lstrcmpiW(cls.c_str(), L"ListBox") == 0) {
    count = LB_GETCOUNT, length = LB_GETTEXTLEN, text = LB_GETTEXT;
  } else if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
    count = CB_GETCOUNT, length = CB_GETLBTEXTLEN, text = CB_GETLBTEXT;
  } else {
    return items;
  }
  DWORD_PTR n = 0;
  SendMessageTimeoutW(window, count, 0, 0, SMTO_ABORTIFHUNG, 2000, &n);
  for (DWORD_PTR i = 0; i < n && i < 1000; ++i) items.push_back(Ask(window, length, text, i));
  return items;
}

struct Probe {
  HWND top;
  HWND focus;
  std::vector<std::string> controls;
};

BOOL CALLBACK Control(HWND window, LPARAM param) {
  auto* probe = reinterpret_cast<Probe*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, probe->top, reinterpret_cast<POINT*>(&r), 2);
  std::string line = "{\"class\": " + Json(cls) + ", \"rect\": [" + std::to_string(r.left) + ", " +
                     std::to_string(r.top) + ", " + std::to_string(r.right - r.left) + ", " +
                     std::to_string(r.bottom - r.top) + "], \"visible\": " +
                     (IsWindowVisible(window) ? "true" : "false") +
                     ", \"focused\": " + (window == probe->focus ? "true" : "false") +
                     ", \"text\": " + Json(Ask(window, WM_GETTEXTLENGTH, WM_GETTEXT, 0)) + ", \"items\": [";
  const std::vector<std::wstring> items = Items(window, cls);
  for (size_t i = 0; i < items.size(); ++i) line += (i ? ", " : "") + Json(items[i]);
  probe->controls.push_back(line + "]}");
  return TRUE;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 2) {
    std::fprintf(stderr, "usage: window_probe TITLE\n");
    return 2;
  }
  Probe probe{FindWindowW(nullptr, argv[1]), nullptr, {}};
  if (probe.top == nullptr) {
    std::fprintf(stderr, "window_probe: no window titled %s\n", Utf8(argv[1]).c_str());
    return 1;
  }
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(probe.top, nullptr), &info)) probe.focus = info.hwndFocus;
  EnumChildWindows(probe.top, Control, reinterpret_cast<LPARAM>(&probe));
  RECT client;
  GetClientRect(probe.top, &client);
  std::string out = "{\"title\": " + Json(argv[1]) + ", \"client\": [" + std::to_string(client.right) + ", " +
                    std::to_string(client.bottom) + "], \"controls\": [";
  for (size_t i = 0; i < probe.controls.size(); ++i) out += (i ? ",\n  " : "\n  ") + probe.controls[i];
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  LocalFree(argv);
  return 0;
}
