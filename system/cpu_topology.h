#pragma once
// The machine's logical processors with their physical core and core type, as the platform
// readers (cpu_topology_linux.cpp, processor_core_records.cpp) find them, and the rules that turn
// per-processor speed classes into named core types. Placement decisions are in core_placement.h.
#include <cstdint>
#include <string>
#include <vector>

#include "system/system_info.h"

// Processor numbers: the kernel's on Linux, group * 64 + bit on Windows. Sorted, no repeats.
using ProcessorSet = std::vector<unsigned>;

struct LogicalProcessor {
  unsigned id = 0;
  std::uint32_t core = 0;         // equal for the hardware threads of one physical core
  std::uint64_t speed_class = 0;  // equal within a core type, higher is faster
  std::uint64_t ranking = 0;      // highest_perf or maximum clock: the favoured core; 0 unknown
  std::string part_name;          // ARM: the core's name from the part tables; empty elsewhere
  std::uint32_t type = 0;         // index into CpuTopology::types; 0 on a machine of one type
};

// How types are named: "P", "E" on x86; "big", "LITTLE" (or the cores' names) on ARM.
enum class CoreNaming { x86, arm };

struct CpuTopology {
  std::vector<LogicalProcessor> processors;  // by id
  std::vector<CoreType> types;               // fastest first; empty on a machine of one type
  bool mixed() const { return types.size() > 1; }
};

// Groups the processors by speed class into types, fastest first, counts their cores and
// threads and names them. Fewer than two classes leave `types` empty.
CpuTopology make_cpu_topology(std::vector<LogicalProcessor> processors, CoreNaming naming);

// Speed classes from cpu_capacity values (one per processor, same order): values within 5 % of
// the highest value of their cluster are one class. The class is the cluster's highest value.
std::vector<std::uint64_t> capacity_classes(const std::vector<std::uint64_t>& capacities);

// This machine's (cpu_topology_linux.cpp, cpu_topology_windows.cpp).
CpuTopology this_machine_cpu_topology();

// "6P + 8E" or "4 Cortex-A76 + 4 Cortex-A55": cores per type, fastest first.
std::string core_types_text(const std::vector<CoreType>& types);
