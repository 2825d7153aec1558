#pragma once
// Where the single-thread and the one-core SMT runs put their workers, decided from the
// topology and this process's affinity mask alone, so every rule is tested on fake machines.
// The engine binds each worker on its own thread at start (thread_affinity.h).
//   Single: on a machine of one core type, unbound. On a mixed machine, one processor of the
//   fastest type (the favoured one where the ranking says so) on Linux; the whole fastest type
//   on Windows, whose scheduler knows its favoured cores itself.
//   SMT: one worker on each hardware thread of the physical core the single run uses.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/worker_placement.h"
#include "system/cpu_topology.h"
#include "system/system_info.h"

enum class SingleBinding {
  favoured_processor,  // Linux
  fastest_type,        // Windows
};

struct SinglePlacement {
  ProcessorSet processors;               // the one worker's affinity; empty: unbound
  std::optional<std::string> core_type;  // the type it runs on; absent on a machine of one type
  // Not empty when the fastest type lies outside the affinity mask: the run then takes the
  // fastest type it may use, is kept locally and is not submitted, with this as the reason.
  std::string not_standard_reason;
  friend bool operator==(const SinglePlacement&, const SinglePlacement&) = default;
};

struct SmtPlacement {
  ProcessorSet processors;  // worker i is bound to processors[i]; empty: no SMT run here
  std::optional<std::string> core_type;
  std::string unavailable_reason;   // why there is no SMT run (for the button and exit code 2)
  std::string not_standard_reason;  // as for SinglePlacement
  friend bool operator==(const SmtPlacement&, const SmtPlacement&) = default;
};

// `allowed` empty means every processor.
SinglePlacement place_single_run(const CpuTopology& topology, const ProcessorSet& allowed, SingleBinding binding);
SmtPlacement place_smt_run(const CpuTopology& topology, const ProcessorSet& allowed);

// This machine's, from this_machine_cpu_topology() and this process's affinity mask, with this
// platform's binding (cpu_topology_linux.cpp, cpu_topology_windows.cpp).
SinglePlacement this_machine_single_placement();
SmtPlacement this_machine_smt_placement();

// A worker start hook's body: worker i binds itself to per_worker[i % size] (bind_this_thread);
// nothing is bound when the list is empty or a set is. A refused binding leaves the worker where
// it is: slower, never wrong. Single run: {processors}; SMT run: one set per processor.
std::function<void(std::int32_t worker_index)> worker_binding(std::vector<ProcessorSet> per_worker);

// `placement` with the single-core and SMT runs bound as these placements say: the one worker
// to its processors, each SMT worker to one thread of the core, and the core type named.
WorkerPlacement with_one_core_placement(WorkerPlacement placement, const SinglePlacement& single,
                                        const SmtPlacement& smt);

// The facts the window's buttons and the record/submit rule need about the one-core runs.
void describe_one_core_runs(SystemInfo& info, const SinglePlacement& single, const SmtPlacement& smt);
