#pragma once
// What a program does around a run's measured phase, called on the run's own thread: the sensor
// sampler's start and end reads, and the pause before the phase in which other programs' load is
// measured. The engine knows nothing of sensors; the defaults do nothing.
#include <atomic>
#include <functional>

#include "engine/benchmark_run.h"

struct RunPhaseHooks {
  // After the preparation, before the clock starts. May take a while (the load check's 2 s) and
  // should return early once `cancel` is set.
  std::function<void(const RunRequest& run, const std::atomic<bool>& cancel)> before_measured_phase;
  std::function<void()> measured_phase_started;
  // Once the clock has stopped, before the result is published, so that a caller that sees the
  // result also finds what these hooks recorded. `completed` is false for a cancelled or failed run.
  std::function<void(bool completed)> measured_phase_ended;
};
