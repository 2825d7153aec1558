#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void on_interrupt(int signal_number) {
  g_received.store(signal_number);
  // The next signal takes the default action: it ends the process.
  std::signal(signal_number, SIG_DFL);
}

}  // namespace

void install_interrupt_handlers() {
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
}

int received_interrupt() { return g_received.load(); }
