#include "system/stop_signal.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

extern "C" void on_stop_signal(int signal_number) { g_received.store(signal_number); }

}  // namespace

void install_stop_signal_handlers() {
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the handler runs once; the next signal takes the default action.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int received_stop_signal() { return g_received.load(); }
