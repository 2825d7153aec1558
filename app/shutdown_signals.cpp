#include "app/shutdown_signals.h"

#include <atomic>
#include <csignal>

static std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void on_shutdown_signal(int) { g_requested.store(true); }

void install_shutdown_signals() {
  struct sigaction action = {};
  action.sa_handler = on_shutdown_signal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the handler runs once; a second signal takes the default action.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool shutdown_requested() { return g_requested.load(); }
