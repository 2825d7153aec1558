#pragma once
// How the platform places a run's workers: the hardware thread count where the standard library
// cannot see every processor (Windows processor groups), and a hook each worker runs on its own
// thread before its first task. Set once at start-up, before any run; the defaults change nothing.
#include <cstdint>
#include <functional>

using WorkerStartHook = std::function<void(std::int32_t worker_index)>;

struct WorkerPlacement {
  std::int32_t hardware_threads = 0;  // 0: the standard library's count
  WorkerStartHook on_worker_start;    // empty: none
};

void set_worker_placement(WorkerPlacement placement);
const WorkerPlacement& worker_placement();
