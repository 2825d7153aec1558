#include "engine/run_estimate.h"

#include <gtest/gtest.h>

#include "engine/remaining_time.h"
#include "engine/tile_order.h"

TEST(RunEstimate, ScalesTheProbeToEveryTileAndSampleOverTheWorkers) {
  // Traced a tenth of the cost at 1 spp in 0.5 s: 5 s for the image at 1 spp, 640 s at 128,
  // shared by 4 workers.
  const TileProbe probe{.seconds = 0.5, .probed_cost = 10.0, .total_cost = 100.0, .samples_per_pixel = 1};
  const RunRequest run{.workload = kStandardWorkload, .kind = RunKind::multi, .threads = 4};
  EXPECT_DOUBLE_EQ(scale_probe(probe, run), 160.0);
  EXPECT_EQ(scale_probe(TileProbe{}, run), 0.0);

  // The standard workload's probe weighs its tiles by their counted costs; a custom one by pixels.
  const TileProbe standard =
      probe_tiles(Workload{.width = 1920, .height = 1080, .samples_per_pixel = 128, .max_depth = 50, .tile_size = 32});
  EXPECT_DOUBLE_EQ(standard.total_cost, 711051990.0);
  EXPECT_GT(standard.probed_cost, 0.0);
  EXPECT_LT(standard.probed_cost, standard.total_cost / 10);
  const TileProbe custom =
      probe_tiles(Workload{.width = 70, .height = 40, .samples_per_pixel = 4, .max_depth = 5, .tile_size = 32});
  EXPECT_DOUBLE_EQ(custom.total_cost, 2800.0);
  EXPECT_DOUBLE_EQ(custom.probed_cost, 2800.0);  // four tiles: all probed
}

TEST(RunEstimate, SaysAboutHowLongInUnitsAGuessDeserves) {
  EXPECT_EQ(format_estimate(0.2), "about 1 s");
  EXPECT_EQ(format_estimate(7.4), "about 7 s");
  EXPECT_EQ(format_estimate(43.0), "about 45 s");
  EXPECT_EQ(format_estimate(1380.0), "about 23 min");
  EXPECT_EQ(format_estimate(3590.0), "about 1 h");
  EXPECT_EQ(format_estimate(4200.0), "about 1 h 10 min");
  EXPECT_EQ(describe_workload(kStandardWorkload), "standard workload (1920x1080, 128 spp, depth 50)");
  EXPECT_EQ(describe_workload(
                Workload{.width = 320, .height = 180, .samples_per_pixel = 8, .max_depth = 50, .tile_size = 32}),
            "custom workload (320x180, 8 spp, depth 50, tiles of 32)");
}

TEST(RemainingTime, TheShareDoneIsWeighedByTheStandardTilesCounts) {
  const RemainingTimeEstimator standard(queued_tile_costs(kStandardWorkload));
  // Costliest first: a tenth of the tiles is nearly a fifth of the work.
  EXPECT_GT(standard.done_share(204, 2040), 0.15);
  EXPECT_EQ(standard.done_share(0, 2040), 0.0);
  EXPECT_EQ(standard.done_share(2040, 2040), 1.0);
  // Without costs, or with costs of another run: the share of tiles.
  EXPECT_DOUBLE_EQ(RemainingTimeEstimator().done_share(51, 204), 0.25);
  EXPECT_DOUBLE_EQ(standard.done_share(51, 204), 0.25);
}
