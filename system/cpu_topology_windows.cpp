// Windows: the processor core records of GetLogicalProcessorInformationEx, every group at once.
#include <windows.h>

#include <cstddef>
#include <vector>

#include "system/core_placement.h"
#include "system/cpu_topology.h"
#include "system/processor_core_records.h"
#include "system/thread_affinity.h"

// The parser reads fixed offsets: they must be the system header's.
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Relationship) == core_record::kRelationship);
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Size) == core_record::kSize);
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.Flags) == core_record::kFlags);
// EfficiencyClass is the byte after Flags; mingw-w64's header still calls it Reserved[0].
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.Flags) + 1 == core_record::kEfficiencyClass);
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.GroupCount) == core_record::kGroupCount);
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.GroupMask) == core_record::kGroupMasks);
static_assert(sizeof(GROUP_AFFINITY) == core_record::kGroupAffinitySize);
static_assert(offsetof(GROUP_AFFINITY, Group) == core_record::kGroupInAffinity);

CpuTopology this_machine_cpu_topology() {
#if defined(__aarch64__) || defined(_M_ARM64)
  constexpr CoreNaming naming = CoreNaming::arm;
#else
  constexpr CoreNaming naming = CoreNaming::x86;
#endif
  DWORD length = 0;
  GetLogicalProcessorInformationEx(RelationProcessorCore, nullptr, &length);
  if (length == 0) return {};
  std::vector<std::uint8_t> buffer(length);
  auto* records = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
  if (!GetLogicalProcessorInformationEx(RelationProcessorCore, records, &length)) return {};
  buffer.resize(length);
  return parse_processor_core_records(buffer, naming).value_or(CpuTopology{});
}

// Windows knows its favoured cores within a type and moves the one worker to them itself.
SinglePlacement this_machine_single_placement() {
  return place_single_run(this_machine_cpu_topology(), this_process_processors(), SingleBinding::fastest_type);
}

SmtPlacement this_machine_smt_placement() {
  return place_smt_run(this_machine_cpu_topology(), this_process_processors());
}
