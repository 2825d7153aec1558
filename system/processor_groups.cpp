#include "system/processor_groups.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

std::uint32_t group_for_worker(std::int32_t worker_index, const std::vector<std::uint32_t>& group_sizes) {
  const std::uint64_t total = std::accumulate(group_sizes.begin(), group_sizes.end(), std::uint64_t{0});
  if (total == 0 || worker_index < 0) return 0;
  std::uint64_t left = static_cast<std::uint64_t>(worker_index) % total;
  // Round r hands one worker to every group with more than r processors.
  const std::uint32_t rounds = *std::max_element(group_sizes.begin(), group_sizes.end());
  for (std::uint32_t round = 0; round < rounds; ++round) {
    for (std::uint32_t group = 0; group < group_sizes.size(); ++group) {
      if (group_sizes[group] <= round) continue;
      if (left == 0) return group;
      --left;
    }
  }
  return 0;  // not reached: left < total
}

WorkerPlacement placement_over_groups(const std::vector<std::uint32_t>& group_sizes, GroupBinder bind) {
  if (group_sizes.size() <= 1) return {};
  const std::uint64_t total = std::accumulate(group_sizes.begin(), group_sizes.end(), std::uint64_t{0});
  WorkerPlacement placement;
  placement.hardware_threads =
      static_cast<std::int32_t>(std::min<std::uint64_t>(total, std::numeric_limits<std::int32_t>::max()));
  placement.on_worker_start = [group_sizes, bind = std::move(bind)](std::int32_t worker_index) {
    bind(group_for_worker(worker_index, group_sizes));
  };
  return placement;
}
