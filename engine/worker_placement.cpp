#include "engine/worker_placement.h"

#include <algorithm>
#include <limits>
#include <thread>

std::int32_t WorkerPlacement::thread_count() const {
  return hardware_threads > 0 ? hardware_threads : hardware_thread_count();
}

namespace {

const OneCorePlacement* one_core(const WorkerPlacement& placement, RunKind kind) {
  switch (kind) {
    case RunKind::single: return &placement.single;
    case RunKind::smt: return &placement.smt;
    case RunKind::multi: return nullptr;
  }
  return nullptr;  // unreachable: every kind is listed above
}

}  // namespace

const WorkerStartHook& WorkerPlacement::worker_start(RunKind kind) const {
  const OneCorePlacement* own = one_core(*this, kind);
  return own != nullptr && own->on_worker_start ? own->on_worker_start : on_worker_start;
}

std::optional<std::string> WorkerPlacement::core_type(RunKind kind) const {
  const OneCorePlacement* own = one_core(*this, kind);
  return own != nullptr ? own->core_type : std::nullopt;
}

std::int32_t hardware_thread_count() {
  const unsigned count = std::thread::hardware_concurrency();
  if (count == 0) {
    return 1;
  }
  return static_cast<std::int32_t>(std::min<unsigned>(count, std::numeric_limits<std::int32_t>::max()));
}
