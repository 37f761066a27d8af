#include "tools/advclean_console.h"

#include <cmath>

#include "app/engine.h"
#include "paradox/codepage.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tools {

namespace {

constexpr int kBarWidth = 30;
// Calls of ProgressDue per look at the clock: rows take well under a
// millisecond each, so a due update comes a few milliseconds late at most.
constexpr int kCallsPerLook = 32;
constexpr std::chrono::milliseconds kUpdateEvery{400};

bool IsValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    if (c < 0x80) extra = 0;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    else return false;
    if (s.size() - i - 1 < extra) return false;
    for (; extra > 0; --extra)
      if ((static_cast<unsigned char>(s[++i]) & 0xC0) != 0x80) return false;
  }
  return true;
}

}  // namespace

bool IsTerminal(std::FILE* f) {
#ifdef _WIN32
  return _isatty(_fileno(f)) != 0;
#else
  return isatty(fileno(f)) != 0;
#endif
}

size_t DisplayWidth(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string ConsoleText(const std::string& text) {
  return IsValidUtf8(text) ? text : paradox::Cp1251ToUtf8(text);
}

std::string ErrorDisplayText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void ConsoleProgress::ShowProgress(const std::string& text, double percent) {
  if (text.empty() && !(percent > 0)) {
    Erase();
    shown_ = false;
    return;
  }
  if (!shown_) {
    // A new display: empty line, bar at 0.
    shown_ = true;
    text_.clear();
    bar_ = true;
    percent_ = 0;
  }
  if (!text.empty()) text_ = paradox::Cp1251ToUtf8(text);
  if (percent >= 0) {
    bar_ = true;
    percent_ = percent >= 100 ? 100 : static_cast<int>(std::trunc(percent));
  } else {
    bar_ = false;
    percent_ = 0;
  }
  Draw();
  // As the window's display does on every showing call.
  app::ProcessMessages();
}

bool ConsoleProgress::ProgressDue() {
  if (--until_look_ > 0) return false;
  until_look_ = kCallsPerLook;
  const auto now = clock_ ? clock_() : std::chrono::steady_clock::now();
  if (any_due_ && now - last_due_ <= kUpdateEvery) return false;
  any_due_ = true;
  last_due_ = now;
  return true;
}

void ConsoleProgress::Draw() {
  if (!enabled_) return;
  std::string line = text_;
  if (bar_) {
    const int filled = percent_ * kBarWidth / 100;
    line += text_.empty() ? "[" : " [";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBarWidth - filled), '-');
    line += "] " + std::to_string(percent_) + "%";
  }
  const size_t width = DisplayWidth(line);
  if (width < drawn_) line.append(drawn_ - width, ' ');
  std::fputc('\r', out_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  drawn_ = width > drawn_ ? width : drawn_;
}

void ConsoleProgress::Erase() {
  if (!enabled_ || drawn_ == 0) return;
  std::fputc('\r', out_);
  for (size_t i = 0; i < drawn_; ++i) std::fputc(' ', out_);
  std::fputc('\r', out_);
  std::fflush(out_);
  drawn_ = 0;
}

}  // namespace tools
