#include "host/stop_signals.h"

#include <atomic>
#include <csignal>

namespace host {

namespace {

// Lock-free, so the handler may store to it; read by the main and the soundtrack's render thread.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int signal) { g_stopSignal.store(signal, std::memory_order_relaxed); }

}  // namespace

void installStopSignals() {
  struct sigaction action {};
  action.sa_handler = &onStopSignal;
  sigemptyset(&action.sa_mask);
  // The handler is reset after the first signal, so a second Ctrl-C ends the process the usual way.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A video encoder that died shows as a failed write (reported), not as a silent end of the process.
  std::signal(SIGPIPE, SIG_IGN);
  // Likewise a file size limit: the write fails and the capture says which file, instead of dying.
  std::signal(SIGXFSZ, SIG_IGN);
}

int stopSignal() { return g_stopSignal.load(std::memory_order_relaxed); }

int exitCodeForSignal(int signal) { return 128 + signal; }

void resetStopSignal() { g_stopSignal.store(0, std::memory_order_relaxed); }

}  // namespace host
