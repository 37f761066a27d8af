#include "table/session.h"

#include <cstdio>

#include "paradox/engine.h"
#include "table/errors.h"

namespace dataset {

namespace {
std::function<bool()> g_begin_busy;
std::function<void()> g_end_busy;

struct BusyCursor {
  bool changed = false;
  BusyCursor() {
    if (g_begin_busy) changed = g_begin_busy();
  }
  ~BusyCursor() {
    if (changed && g_end_busy) g_end_busy();
  }
};
}  // namespace

void TSession::SetBusyCursorHooks(std::function<bool()> begin, std::function<void()> end) {
  g_begin_busy = std::move(begin);
  g_end_busy = std::move(end);
}

void TSession::Open() {
  if (active_) return;
  BusyCursor busy;
  paradox::Status st = paradox::Engine::Start();
  if (!st.ok()) {
    char buf[96];
    std::snprintf(buf, sizeof buf,
                  "An error occurred while attempting to initialize the database engine (error $%.4x)",
                  static_cast<unsigned>(st.code()));
    throw EDBEngineError(static_cast<uint16_t>(st.code()), {buf});
  }
  active_ = true;
}

void TSession::Close() {
  if (!active_) return;
  paradox::Engine::Stop();
  active_ = false;
}

TSession& Session() {
  static TSession session("Default");
  return session;
}

}  // namespace dataset
