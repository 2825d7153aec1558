#include "engine/workload.h"

#include "engine/standard_tile_costs.h"

std::span<const std::uint32_t> counted_tile_costs(const Workload& workload) {
  if (!is_standard_workload(workload)) return {};
  return kStandardTileCosts;
}
