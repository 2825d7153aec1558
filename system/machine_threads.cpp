#include "system/machine_threads.h"

#include <algorithm>

#include "system/core_placement.h"
#include "system/probe.h"
#include "system/processor_groups.h"

MachineThreads machine_threads(const SystemInfo& info) {
  MachineThreads machine;
  machine.logical = info.logical_processors > 0 ? static_cast<std::int32_t>(info.logical_processors)
                                                : platform_worker_placement().thread_count();
  machine.usable = info.usable_processors > 0
                       ? std::min(static_cast<std::int32_t>(info.usable_processors), machine.logical)
                       : machine.logical;
  machine.smt = static_cast<std::int32_t>(info.smt_threads);
  machine.one_core_not_standard_reason = info.one_core_not_standard_reason;
  return machine;
}

MachineThreads this_machine_threads() {
  const auto sources = make_platform_system_sources();
  SystemInfo info;
  info.logical_processors = sources->logical_processors();
  info.usable_processors =
      usable_processor_count(info.logical_processors, sources->affinity_processors(), sources->quota_processors());
  describe_one_core_runs(info, this_machine_single_placement(), this_machine_smt_placement());
  return machine_threads(info);
}
