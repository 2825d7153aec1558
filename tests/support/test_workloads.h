#pragma once
// Workloads small enough for tests to run to their end, and their reference hashes.
#include <chrono>
#include <string>
#include <thread>

#include "engine/benchmark_engine.h"
#include "verify/sha256.h"

// About a third of a second for one worker in a release build: long enough to be seen running,
// short enough for sanitizer builds.
inline constexpr BenchmarkConfig kQuickWorkload{8, 50, 32, 1, 128, 72};
// Long enough that a cancel always lands while the run is in progress.
inline constexpr BenchmarkConfig kSlowWorkload{32, 50, 32, 1, 320, 180};

// The SHA-256 of a workload's finished image, rendered by an engine of its own.
inline std::string reference_hash(BenchmarkConfig config) {
  BenchmarkEngine engine{WorkerPlacement{}};
  config.thread_count = 2;
  engine.start(config);
  while (engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  engine.take_result();
  return sha256_hex(engine.pixels.snapshot());
}
