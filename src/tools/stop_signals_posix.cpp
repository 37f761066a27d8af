#include <signal.h>

#include <atomic>

#include "paradox/stop.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_before[3];
bool g_installed[3] = {};
std::atomic<int> g_cause{0};

// Runs in the signal's context: only lock-free stores.
void OnSignal(int signal) {
  g_cause.store(signal, std::memory_order_relaxed);
  paradox::RequestStop();
}

}  // namespace

StopOnSignals::StopOnSignals() {
  g_cause.store(0);
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) {
    struct sigaction before = {};
    sigaction(kSignals[i], nullptr, &before);
    // nohup and background jobs start programs ignoring some signals.
    g_installed[i] = before.sa_handler != SIG_IGN && sigaction(kSignals[i], &sa, &g_before[i]) == 0;
  }
}

StopOnSignals::~StopOnSignals() {
  for (int i = 0; i < 3; ++i)
    if (g_installed[i]) sigaction(kSignals[i], &g_before[i], nullptr);
  paradox::ClearStopRequest();
}

std::string StopOnSignals::Cause() {
  switch (g_cause.load()) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
  }
  return std::string();
}

}  // namespace tools
