// The queue order: the standard image's costliest tiles first, every other image row-major.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "engine/standard_tile_costs.h"
#include "engine/tile_order.h"
#include "engine/tiles.h"

namespace {

std::vector<std::int32_t> row_major(std::int32_t count) {
  std::vector<std::int32_t> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  return order;
}

TEST(TileOrder, TheStandardOrderIsAPermutationOfEveryTileCostliestFirst) {
  std::vector<Tile> tiles;
  build_tile_list(tiles, kStandardWorkload.width, kStandardWorkload.height, kStandardWorkload.tile_size);
  ASSERT_EQ(tiles.size(), kStandardTileCount) << "the cost table no longer fits the standard image";

  const std::vector<std::int32_t>& order = standard_tile_order();
  std::vector<std::int32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, row_major(static_cast<std::int32_t>(kStandardTileCount)));
  for (std::size_t k = 1; k < order.size(); ++k) {
    ASSERT_GE(kStandardTileCosts[order[k - 1]], kStandardTileCosts[order[k]]) << k;
  }
  // Every cost was counted: a tile traces at least one segment per sample.
  EXPECT_GT(*std::min_element(kStandardTileCosts.begin(), kStandardTileCosts.end()), 0u);
}

TEST(TileOrder, CostliestFirstOnlyForTheStandardWorkloadAndRowMajorForAnyOther) {
  const auto count = static_cast<std::int32_t>(kStandardTileCount);
  EXPECT_EQ(tile_queue_order(kStandardWorkload, count), standard_tile_order());
  EXPECT_EQ(queued_tile_costs(kStandardWorkload).front(),
            *std::max_element(kStandardTileCosts.begin(), kStandardTileCosts.end()));
  for (auto change : {&Workload::samples_per_pixel, &Workload::max_depth, &Workload::width, &Workload::tile_size}) {
    Workload other = kStandardWorkload;
    other.*change += 1;
    EXPECT_FALSE(is_standard_workload(other));
    EXPECT_EQ(tile_queue_order(other, count), row_major(count));
    EXPECT_TRUE(queued_tile_costs(other).empty());
  }
  const Workload small{.width = 64, .height = 48, .samples_per_pixel = 1, .max_depth = 2, .tile_size = 16};
  EXPECT_EQ(tile_queue_order(small, 12), row_major(12));
  EXPECT_TRUE(
      tile_queue_order(Workload{.width = 0, .height = 0, .samples_per_pixel = 1, .max_depth = 2, .tile_size = 16}, 0)
          .empty());
}

}  // namespace
