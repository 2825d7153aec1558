// Windows: with more than one processor group the standard library counts only the group the
// program started in, and a new thread stays in its creator's group.
#include <windows.h>

#include <vector>

#include "engine/worker_placement.h"
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

void install_worker_placement() {
  const std::vector<GROUP_AFFINITY> groups = active_groups();
  if (groups.size() <= 1) return;
  std::vector<std::uint32_t> sizes;
  for (const GROUP_AFFINITY& group : groups)
    sizes.push_back(static_cast<std::uint32_t>(__builtin_popcountll(group.Mask)));
  WorkerPlacement placement;
  placement.hardware_threads = static_cast<std::int32_t>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
  placement.on_worker_start = [groups, sizes](std::int32_t worker_index) {
    const GROUP_AFFINITY affinity = groups[group_for_worker(worker_index, sizes)];
    // A refusal leaves the worker where it is: slower, never wrong.
    SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
  };
  set_worker_placement(std::move(placement));
}
