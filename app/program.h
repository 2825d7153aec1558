#pragma once
// The whole life of the window program: start-up, the frame loop and shutdown, in the order the
// subsystems need. Returns the process exit code: 0 after a normal close (the close button,
// SIGTERM or SIGINT), 1 when the window or its OpenGL context cannot be created, with one line
// on stderr saying why.
#include <functional>
#include <optional>

#include "state/app.h"

struct ProgramOptions {
  ReferenceWorkload reference = ReferenceWorkload::standard();
  // Measurement programs drive the window through this: called after every frame, it returns
  // false to close the window. The shipped program leaves it empty.
  std::function<bool(App&)> after_frame;
  // Replaces the frame rate while a run is in progress, to measure what it costs.
  std::optional<double> running_frame_rate;
};

int run_program(const ProgramOptions& options = {});
