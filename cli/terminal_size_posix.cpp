#include "cli/terminal_size.h"

#include <atomic>

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Set by the signal handler, so lock-free; starts set so that the first query is made.
std::atomic<bool> size_changed{true};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_window_change(int) { size_changed.store(true); }

}  // namespace

int terminal_columns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void watch_terminal_size() {
  struct sigaction action {};
  action.sa_handler = on_window_change;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGWINCH, &action, nullptr);
}

bool terminal_size_changed() { return size_changed.exchange(false); }
