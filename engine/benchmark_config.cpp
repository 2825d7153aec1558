#include "engine/benchmark_config.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "engine/worker_placement.h"

namespace {
WorkerPlacement g_placement;
}

void set_worker_placement(WorkerPlacement placement) { g_placement = std::move(placement); }

const WorkerPlacement& worker_placement() { return g_placement; }

std::int32_t hardware_thread_count() {
  if (g_placement.hardware_threads > 0) return g_placement.hardware_threads;
  const unsigned count = std::thread::hardware_concurrency();
  if (count == 0) {
    return 1;
  }
  return static_cast<std::int32_t>(std::min<unsigned>(count, std::numeric_limits<std::int32_t>::max()));
}
