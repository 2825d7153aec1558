#pragma once
// How the platform places a run's workers: the hardware thread count where the standard library
// cannot see every processor (Windows processor groups), and a hook each worker runs on its own
// thread before its first task. Each BenchmarkEngine is given one when it is made, so that no
// program that runs a benchmark can forget it; the defaults change nothing.
#include <cstdint>
#include <functional>

using WorkerStartHook = std::function<void(std::int32_t worker_index)>;

struct WorkerPlacement {
  std::int32_t hardware_threads = 0;  // 0: the standard library's count
  WorkerStartHook on_worker_start;    // empty: none

  // The machine's hardware thread count: `hardware_threads` when the platform gave one, else
  // hardware_thread_count().
  std::int32_t thread_count() const;
};

// The hardware thread count as the standard library sees it; a report of 0 (the query failed)
// means one worker, since a pool without workers would never finish.
std::int32_t hardware_thread_count();
