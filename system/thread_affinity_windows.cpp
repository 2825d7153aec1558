// Windows: a thread runs within one processor group, so a set is bound as one group's mask.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "system/thread_affinity.h"

namespace {

void add_mask(ProcessorSet& processors, WORD group, KAFFINITY mask) {
  for (unsigned bit = 0; bit < 64; ++bit)
    if ((static_cast<std::uint64_t>(mask) >> bit) & 1u) processors.push_back(group * 64u + bit);
}

}  // namespace

bool bind_this_thread(const ProcessorSet& processors) {
  if (processors.empty()) return false;
  GROUP_AFFINITY affinity{};
  affinity.Group = static_cast<WORD>(processors.front() / 64);
  for (const unsigned p : processors)
    if (p / 64 == affinity.Group) affinity.Mask |= static_cast<KAFFINITY>(1) << (p % 64);
  return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) != 0;
}

ProcessorSet this_thread_processors() {
  GROUP_AFFINITY affinity{};
  if (!GetThreadGroupAffinity(GetCurrentThread(), &affinity)) return {};
  ProcessorSet processors;
  add_mask(processors, affinity.Group, affinity.Mask);
  return processors;
}

ProcessorSet this_process_processors() {
  USHORT count = 0;
  GetProcessGroupAffinity(GetCurrentProcess(), &count, nullptr);  // asks for the size
  std::vector<USHORT> groups(count == 0 ? 1 : count);
  count = static_cast<USHORT>(groups.size());
  // Wine answers no group at all: the process is then in group 0, as on one-group machines.
  if (!GetProcessGroupAffinity(GetCurrentProcess(), &count, groups.data()) || count == 0) {
    groups = {0};
    count = 1;
  }
  ProcessorSet processors;
  if (count == 1) {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return {};
    add_mask(processors, groups[0], process);
    return processors;
  }
  // A process spanning groups has no mask of its own: each group's active processors.
  for (USHORT i = 0; i < count; ++i) {
    const DWORD active = GetActiveProcessorCount(groups[i]);
    for (DWORD bit = 0; bit < active && bit < 64; ++bit) processors.push_back(groups[i] * 64u + bit);
  }
  std::sort(processors.begin(), processors.end());
  return processors;
}
