#pragma once
// The whole life of the window program: start-up, the frame loop and shutdown, in the order the
// subsystems need. Returns the process exit code: 0 after a normal close (the close button,
// SIGTERM or SIGINT), 1 when the window or its OpenGL context cannot be created, with one line
// on stderr saying why.
int run_program();
