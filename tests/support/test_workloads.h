#pragma once
// Workloads small enough for tests to run to their end, and their reference hashes.
#include <chrono>
#include <string>
#include <thread>

#include "engine/benchmark_engine.h"
#include "verify/sha256.h"

// About a third of a second for one worker in a release build: long enough to be seen running,
// short enough for sanitizer builds.
inline constexpr Workload kQuickWorkload{
    .width = 128, .height = 72, .samples_per_pixel = 8, .max_depth = 50, .tile_size = 32};
// Long enough that a cancel always lands while the run is in progress.
inline constexpr Workload kSlowWorkload{
    .width = 320, .height = 180, .samples_per_pixel = 32, .max_depth = 50, .tile_size = 32};

// The SHA-256 of a workload's finished image, rendered by an engine of its own.
inline std::string reference_hash(const Workload& workload) {
  BenchmarkEngine engine{WorkerPlacement{}};
  engine.start(RunRequest{.workload = workload, .kind = RunKind::multi, .threads = 2});
  while (engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  engine.take_result();
  return sha256_hex(engine.pixels.snapshot());
}
