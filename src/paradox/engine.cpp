#include "paradox/engine.h"

#include <mutex>
#include <new>

#include "paradox/codepage.h"

namespace paradox {

namespace {
std::mutex g_mutex;
bool g_started = false;
ErrorCode g_fail_next = ErrorCode::kOk;
DateFormat g_format;
bool g_format_set = false;
}  // namespace

Status Engine::Start() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_started) return Status::OK();
  if (g_fail_next != ErrorCode::kOk) {
    return Status::Error(g_fail_next);
  }
  try {
    PX_RETURN_IF_ERROR(PrepareCodePages());
    if (!g_format_set) g_format = SystemDateFormat();
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorCode::kOutOfMemory);
  }
  g_started = true;
  return Status::OK();
}

void Engine::Stop() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_started = false;
}

bool Engine::started() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_started;
}

const DateFormat& Engine::date_format() { return g_format; }

void Engine::set_date_format(const DateFormat& format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_format = format;
  g_format_set = true;
}

void Engine::TEST_SetStartFailure(ErrorCode code) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_fail_next = code;
}

}  // namespace paradox
