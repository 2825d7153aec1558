#pragma once
// SIGTERM and SIGINT ask the window to close, as its close button does, so the program shuts
// down in order and exits with 0. The handler only records the request; the frame loop polls it.
// A second signal ends the process at once (the default action), for a user who will not wait.

void install_shutdown_signals();
// True once SIGTERM or SIGINT has arrived.
bool shutdown_requested();
