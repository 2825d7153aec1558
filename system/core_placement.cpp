#include "system/core_placement.h"

#include <algorithm>

#include "system/thread_affinity.h"

namespace {

bool is_allowed(const ProcessorSet& allowed, unsigned id) {
  return allowed.empty() || std::binary_search(allowed.begin(), allowed.end(), id);
}

// The fastest type this process may run on; nothing when it may run on none of them.
std::optional<std::uint32_t> fastest_allowed_type(const CpuTopology& topology, const ProcessorSet& allowed) {
  std::optional<std::uint32_t> fastest;
  for (const LogicalProcessor& p : topology.processors)
    if (is_allowed(allowed, p.id) && (!fastest || p.type < *fastest)) fastest = p.type;
  return fastest;
}

std::string outside_mask_reason(const CpuTopology& topology) {
  return "not submitted: this process may not run on the " + topology.types.front().name +
         " cores, the fastest of this machine";
}

bool whole_core_allowed(const CpuTopology& topology, const ProcessorSet& allowed, std::uint32_t core) {
  return std::all_of(topology.processors.begin(), topology.processors.end(),
                     [&](const LogicalProcessor& p) { return p.core != core || is_allowed(allowed, p.id); });
}

// The highest-ranked processor of `type` that passes `fits`, the lowest number among equals:
// identical cores differ in ranking where the firmware names favoured cores.
template <typename Fits>
const LogicalProcessor* favoured(const CpuTopology& topology, std::uint32_t type, Fits fits) {
  const LogicalProcessor* best = nullptr;
  for (const LogicalProcessor& p : topology.processors) {
    if (p.type != type || !fits(p)) continue;
    if (best == nullptr || p.ranking > best->ranking) best = &p;
  }
  return best;
}

}  // namespace

SinglePlacement place_single_run(const CpuTopology& topology, const ProcessorSet& allowed, SingleBinding binding) {
  SinglePlacement placement;
  if (!topology.mixed()) return placement;  // the scheduler's choice among equals, as before
  const auto type = fastest_allowed_type(topology, allowed);
  if (!type) return placement;
  placement.core_type = topology.types[*type].name;
  if (*type != 0) placement.not_standard_reason = outside_mask_reason(topology);
  if (binding == SingleBinding::fastest_type) {
    for (const LogicalProcessor& p : topology.processors)
      if (p.type == *type && is_allowed(allowed, p.id)) placement.processors.push_back(p.id);
    return placement;
  }
  const LogicalProcessor* chosen =
      favoured(topology, *type, [&](const LogicalProcessor& p) { return is_allowed(allowed, p.id); });
  placement.processors = {chosen->id};
  return placement;
}

SmtPlacement place_smt_run(const CpuTopology& topology, const ProcessorSet& allowed) {
  SmtPlacement placement;
  const auto type = fastest_allowed_type(topology, allowed);
  if (!type) {
    placement.unavailable_reason = "No SMT run: this machine does not say which threads share a core";
    return placement;
  }
  const std::string cores = topology.mixed() ? topology.types[*type].name + " core" : "core";
  const auto threads_of = [&](std::uint32_t core) {
    ProcessorSet threads;
    for (const LogicalProcessor& p : topology.processors)
      if (p.core == core) threads.push_back(p.id);
    return threads;
  };
  const bool smt = std::any_of(topology.processors.begin(), topology.processors.end(), [&](const LogicalProcessor& p) {
    return p.type == *type && threads_of(p.core).size() > 1;
  });
  if (!smt) {
    placement.unavailable_reason = "No SMT run: each " + cores + " of this processor runs one thread (no SMT)";
    return placement;
  }
  const LogicalProcessor* chosen = favoured(topology, *type, [&](const LogicalProcessor& p) {
    return threads_of(p.core).size() > 1 && whole_core_allowed(topology, allowed, p.core);
  });
  if (chosen == nullptr) {
    placement.unavailable_reason = "No SMT run: this process's affinity mask holds no whole " + cores;
    return placement;
  }
  placement.processors = threads_of(chosen->core);
  if (topology.mixed()) {
    placement.core_type = topology.types[*type].name;
    if (*type != 0) placement.not_standard_reason = outside_mask_reason(topology);
  }
  return placement;
}

std::function<void(std::int32_t)> worker_binding(std::vector<ProcessorSet> per_worker) {
  return [per_worker = std::move(per_worker)](std::int32_t worker_index) {
    if (per_worker.empty() || worker_index < 0) return;
    const ProcessorSet& set = per_worker[static_cast<std::size_t>(worker_index) % per_worker.size()];
    if (!set.empty()) bind_this_thread(set);
  };
}

WorkerPlacement with_one_core_placement(WorkerPlacement placement, const SinglePlacement& single,
                                        const SmtPlacement& smt) {
  if (!single.processors.empty()) placement.single.on_worker_start = worker_binding({single.processors});
  placement.single.core_type = single.core_type;
  std::vector<ProcessorSet> smt_threads;
  for (const unsigned id : smt.processors) smt_threads.push_back({id});
  if (!smt_threads.empty()) placement.smt.on_worker_start = worker_binding(std::move(smt_threads));
  placement.smt.core_type = smt.core_type;
  return placement;
}

void describe_one_core_runs(SystemInfo& info, const SinglePlacement& single, const SmtPlacement& smt) {
  info.smt_threads = static_cast<std::uint32_t>(smt.processors.size());
  info.smt_unavailable_reason = smt.unavailable_reason;
  info.one_core_not_standard_reason = single.not_standard_reason;
}
