#include "engine/tile_order.h"

#include <algorithm>
#include <numeric>

const std::vector<std::int32_t>& standard_tile_order() {
  static const std::vector<std::int32_t> order = [] {
    const std::span<const std::uint32_t> costs = counted_tile_costs(kStandardWorkload);
    std::vector<std::int32_t> indices(costs.size());
    std::iota(indices.begin(), indices.end(), 0);
    std::stable_sort(indices.begin(), indices.end(),
                     [&costs](std::int32_t a, std::int32_t b) { return costs[a] > costs[b]; });
    return indices;
  }();
  return order;
}

std::vector<std::int32_t> tile_queue_order(const Workload& workload, std::int32_t tile_count) {
  if (!counted_tile_costs(workload).empty()) return standard_tile_order();
  std::vector<std::int32_t> row_major(static_cast<std::size_t>(std::max(tile_count, 0)));
  std::iota(row_major.begin(), row_major.end(), 0);
  return row_major;
}

std::vector<double> queued_tile_costs(const Workload& workload) {
  const std::span<const std::uint32_t> costs = counted_tile_costs(workload);
  std::vector<double> queued;
  if (costs.empty()) return queued;
  for (const std::int32_t tile : standard_tile_order()) queued.push_back(costs[tile]);
  return queued;
}
