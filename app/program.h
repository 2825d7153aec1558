#pragma once
// The whole life of the window program: start-up, the frame loop and shutdown, in the order the
// subsystems need. Returns the process exit code: 0 after a normal close (the close button,
// SIGTERM or SIGINT), 1 when the window or its OpenGL context cannot be created, with one line
// on stderr saying why.
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "state/app.h"

struct ProgramOptions {
  ReferenceWorkload reference = ReferenceWorkload::standard();
  // Measurement programs drive the window through this: called after every frame, it returns
  // false to close the window. The shipped program leaves it empty.
  std::function<bool(App&)> after_frame;
  // Replaces the frame rate while a run is in progress, to measure what it costs.
  std::optional<double> running_frame_rate;
  // A captured machine tree whose sensors the window reads instead of this machine's (Linux;
  // STRELVIK_MACHINE_ROOT, a testing aid). Empty: this machine.
  std::string machine_root = machine_root_from_environment();

  static std::string machine_root_from_environment() {
    const char* root = std::getenv("STRELVIK_MACHINE_ROOT");
    return root != nullptr ? root : "";
  }
};

int run_program(const ProgramOptions& options = {});
