#pragma once
// A request to stop (Ctrl-C, SIGTERM) recorded for the program to poll, so that it can cancel a
// run and shut down in order. The handler only records it; a second request ends the process at
// once (the default action), for a user who will not wait.

void install_stop_signal_handlers();
// The signal number of the first request (SIGINT or SIGTERM), or 0.
int received_stop_signal();
