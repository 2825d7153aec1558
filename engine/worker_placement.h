#pragma once
// How the platform places a run's workers: the hardware thread count where the standard library
// cannot see every processor (Windows processor groups), and a hook each worker runs on its own
// thread before its first task. Each BenchmarkEngine is given one when it is made, so that no
// program that runs a benchmark can forget it; the defaults change nothing.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/run_kind.h"

using WorkerStartHook = std::function<void(std::int32_t worker_index)>;

// Where a run on one core puts its workers (system/core_placement.h): the hook binds them, and
// the core type names where they ran, for the result (absent on a machine of one type).
struct OneCorePlacement {
  WorkerStartHook on_worker_start;  // empty: the placement's own hook
  std::optional<std::string> core_type{};
};

struct WorkerPlacement {
  std::int32_t hardware_threads = 0;  // 0: the standard library's count
  WorkerStartHook on_worker_start;    // empty: none
  OneCorePlacement single;            // the single-core run's, on the fastest core
  OneCorePlacement smt;               // the SMT run's, on that core's hardware threads

  // The machine's hardware thread count: `hardware_threads` when the platform gave one, else
  // hardware_thread_count().
  std::int32_t thread_count() const;
  // The hook a run of `kind` starts its workers with, and the core type it runs on.
  const WorkerStartHook& worker_start(RunKind kind) const;
  std::optional<std::string> core_type(RunKind kind) const;
};

// The hardware thread count as the standard library sees it; a report of 0 (the query failed)
// means one worker, since a pool without workers would never finish.
std::int32_t hardware_thread_count();
