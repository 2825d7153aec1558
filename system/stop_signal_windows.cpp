// Windows: Ctrl-C and Ctrl-Break arrive as console control events on a thread of their own.
// They are recorded as SIGINT, a closed console or the end of the session as SIGTERM.
#include <windows.h>

#include <atomic>
#include <csignal>

#include "system/stop_signal.h"

namespace {

std::atomic<int> g_received{0};

BOOL WINAPI on_console_event(DWORD event) {
  const int signal_number = (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) ? SIGINT : SIGTERM;
  int expected = 0;
  // The first request is handled; a second one falls through to the default, which ends the process.
  return g_received.compare_exchange_strong(expected, signal_number) ? TRUE : FALSE;
}

}  // namespace

void install_stop_signal_handlers() {
  static std::atomic<bool> installed{false};
  if (!installed.exchange(true)) SetConsoleCtrlHandler(on_console_event, TRUE);
}

int received_stop_signal() { return g_received.load(); }
