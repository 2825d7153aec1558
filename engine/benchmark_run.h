#pragma once
// The two records that cross the engine's boundary: the run asked for, and what it produced.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/run_kind.h"
#include "engine/workload.h"

// A run carries its kind from the start: a multi-core run with one worker is still a
// multi-core run (a custom one), never a single-core run.
struct RunRequest {
  Workload workload;
  RunKind kind;
  std::int32_t threads;  // the workers; at least 1
};

struct BenchmarkResult {
  RunKind kind = RunKind::single;
  std::int32_t score = 0;
  double time_seconds = 0.0;
  std::int32_t threads = 0;
  std::string date;  // local time, "%Y-%m-%dT%H:%M:%S"
  // The core type a single-core or SMT run ran on, on a machine that mixes types; else absent.
  std::optional<std::string> core_type{};
};
