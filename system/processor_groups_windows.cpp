// Windows: with more than one processor group the standard library counts only the group the
// program started in, and a new thread stays in its creator's group.
#include <windows.h>

#include <vector>

#include "system/core_placement.h"
#include "system/processor_groups.h"

namespace {

std::vector<GROUP_AFFINITY> active_groups() {
  DWORD length = 0;
  GetLogicalProcessorInformationEx(RelationGroup, nullptr, &length);
  if (length == 0) return {};
  std::vector<unsigned char> buffer(length);
  auto* info = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
  if (!GetLogicalProcessorInformationEx(RelationGroup, info, &length) || info->Relationship != RelationGroup) return {};
  std::vector<GROUP_AFFINITY> groups;
  for (WORD g = 0; g < info->Group.ActiveGroupCount; ++g) {
    GROUP_AFFINITY affinity{};
    affinity.Group = g;
    affinity.Mask = info->Group.GroupInfo[g].ActiveProcessorMask;
    groups.push_back(affinity);
  }
  return groups;
}

}  // namespace

WorkerPlacement platform_worker_placement() {
  const std::vector<GROUP_AFFINITY> groups = active_groups();
  std::vector<std::uint32_t> sizes;
  for (const GROUP_AFFINITY& group : groups)
    sizes.push_back(static_cast<std::uint32_t>(__builtin_popcountll(group.Mask)));
  WorkerPlacement placement = placement_over_groups(sizes, [groups](std::uint32_t group) {
    const GROUP_AFFINITY affinity = groups[group];
    // A refusal leaves the worker where it is: slower, never wrong.
    SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
  });
  return with_one_core_placement(std::move(placement), this_machine_single_placement(), this_machine_smt_placement());
}
