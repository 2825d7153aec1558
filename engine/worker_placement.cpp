#include "engine/worker_placement.h"

#include <algorithm>
#include <limits>
#include <thread>

std::int32_t WorkerPlacement::thread_count() const {
  return hardware_threads > 0 ? hardware_threads : hardware_thread_count();
}

std::int32_t hardware_thread_count() {
  const unsigned count = std::thread::hardware_concurrency();
  if (count == 0) {
    return 1;
  }
  return static_cast<std::int32_t>(std::min<unsigned>(count, std::numeric_limits<std::int32_t>::max()));
}
