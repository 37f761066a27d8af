#include "paradox/stop.h"

#include <atomic>

namespace paradox {

namespace {
// A signal handler may only touch lock-free atomics.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

void RequestStop() { g_stop.store(true, std::memory_order_relaxed); }
void ClearStopRequest() { g_stop.store(false, std::memory_order_relaxed); }
bool StopRequested() { return g_stop.load(std::memory_order_relaxed); }

}  // namespace paradox
