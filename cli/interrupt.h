#pragma once
// Ctrl-C and SIGTERM become a request that the runner polls, so a run is cancelled through the
// engine and its workers are joined before the process exits. A second signal ends the process
// at once, for a user who does not want to wait.

void install_interrupt_handlers();
// The signal number received (SIGINT or SIGTERM), or 0.
int received_interrupt();
// The exit code for an interrupted run: 128 + the signal number (130 for Ctrl-C).
inline int interrupted_exit_code(int signal_number) { return 128 + signal_number; }
