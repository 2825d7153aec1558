// The standard image is fixed forever. CI cannot render all of it, so it renders three of its
// tiles at the full configuration and compares their hashes with those of the reference image:
// any change to the tracer's arithmetic or random stream fails here.
#include <gtest/gtest.h>

#include <vector>

#include "engine/benchmark_scene.h"
#include "engine/preview_image.h"
#include "engine/render_tile.h"
#include "engine/tiles.h"
#include "verify/image_verification.h"
#include "verify/run_verdict.h"
#include "verify/sha256.h"

namespace {

// SHA-256 of one tile's RGBA bytes, rows top first, rendered exactly as a standard run does.
std::string standard_tile_sha256(std::int32_t index) {
  const Workload& config = kStandardWorkload;
  const BenchmarkScene scene = build_benchmark_scene();
  std::vector<Tile> tiles;
  build_tile_list(tiles, config.width, config.height, config.tile_size);
  const Tile& tile = tiles.at(index);

  PreviewImage image(config.width, config.height);
  render_tile(image.data(), config, tile, scene, tile_seed(index), nullptr);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tile.w) * tile.h * 4);
  for (std::int32_t row = 0; row < tile.h; ++row) {
    image.copy_bytes(static_cast<std::size_t>(tile.y + row) * config.width + tile.x, tile.w,
                     bytes.data() + static_cast<std::size_t>(row) * tile.w * 4);
  }
  return sha256_hex(bytes);
}

RunRequest standard_run(RunKind kind, std::int32_t threads) {
  return RunRequest{.workload = kStandardWorkload, .kind = kind, .threads = threads};
}

}  // namespace

TEST(ReferenceImage, FirstMiddleAndLastTilesMatchTheStandardImage) {
  EXPECT_EQ(standard_tile_sha256(0), "830511a247d05621e2cfc35fff589cd5b37db4b003e5d66f7a6f3100305d5368");
  EXPECT_EQ(standard_tile_sha256(1000), "6da0bc6abd621df08cc2918dd99a756c7ccb36fe3028f7de19de69b32071851c");
  EXPECT_EQ(standard_tile_sha256(2039), "a4fff5b7a7eaaf2d8b0fcfbd068b6072ce644cb35921a0c708cf1c6772fd61bb");
}

TEST(RunVerdict, OnlyAVerifiedRunOfTheWorkloadAtItsKindsThreadCountCounts) {
  const ReferenceWorkload standard = ReferenceWorkload::standard();
  const auto judge = [&](const RunRequest& run, const std::string& sha) {
    return judge_run(standard, run, MachineThreads{8, 8}, sha);
  };
  for (const RunRequest& run : {standard_run(RunKind::single, 1), standard_run(RunKind::multi, 8)}) {
    const RunVerdict right = judge(run, kStandardImageSha256);
    EXPECT_TRUE(right.may_record && right.may_submit && !right.custom) << run.threads;
    const RunVerdict wrong = judge(run, "00");
    EXPECT_EQ(wrong.image_verified, false);
    EXPECT_FALSE(wrong.may_record || wrong.may_submit);
  }
  // Another thread count for its kind: still verified, but custom and never kept. A multi-core
  // run on one worker is one of these, not a single-core run.
  for (const RunRequest& run :
       {standard_run(RunKind::multi, 3), standard_run(RunKind::multi, 1), standard_run(RunKind::single, 8)}) {
    const RunVerdict custom = judge(run, kStandardImageSha256);
    EXPECT_EQ(custom.image_verified, true);
    EXPECT_TRUE(custom.custom) << run.threads;
    EXPECT_FALSE(custom.may_record || custom.may_submit);
  }
  // On a machine of one processor that one worker is the whole machine: a standard multi run.
  EXPECT_TRUE(
      judge_run(standard, standard_run(RunKind::multi, 1), MachineThreads{1, 1}, kStandardImageSha256).may_submit);
  // Another image (tile seeds follow the tile index, so the tile size counts): nothing to verify.
  RunRequest tiles = standard_run(RunKind::multi, 8);
  tiles.workload.tile_size = 16;
  EXPECT_FALSE(judge(tiles, kStandardImageSha256).image_verified.has_value());
  // A test's own workload counts like the standard one.
  const Workload workload{.width = 16, .height = 16, .samples_per_pixel = 2, .max_depth = 3, .tile_size = 8};
  const ReferenceWorkload small{workload, "abc"};
  EXPECT_TRUE(judge_run(small, RunRequest{.workload = workload, .kind = RunKind::multi, .threads = 2},
                        MachineThreads{2, 2}, "abc")
                  .may_submit);
}

TEST(RunVerdict, AMultiRunOnFewerProcessorsThanTheMachineHasIsRecordedButNotSubmitted) {
  const ReferenceWorkload standard = ReferenceWorkload::standard();
  const MachineThreads container{64, 4};  // a container limited to 4 CPUs of a 64-thread host
  const RunVerdict multi = judge_run(standard, standard_run(RunKind::multi, 4), container, kStandardImageSha256);
  EXPECT_TRUE(multi.may_record && !multi.custom);
  EXPECT_FALSE(multi.may_submit);
  EXPECT_EQ(multi.not_submitted_reason,
            "not submitted: this process may use only 4 of the machine's 64 logical processors");
  // The host's thread count is not this run's kind: custom, neither kept nor explained.
  const RunVerdict host = judge_run(standard, standard_run(RunKind::multi, 64), container, kStandardImageSha256);
  EXPECT_TRUE(host.custom);
  EXPECT_FALSE(host.may_record || host.may_submit);
  EXPECT_TRUE(host.not_submitted_reason.empty());
  // One thread is one thread whatever the mask: single-core runs still count in full.
  const RunVerdict single =
      judge_run(standard, standard_run(RunKind::single, 1), MachineThreads{64, 1}, kStandardImageSha256);
  EXPECT_TRUE(single.may_record && single.may_submit);
  // A restricted machine whose image is wrong keeps nothing, and there is no reason to give.
  const RunVerdict wrong = judge_run(standard, standard_run(RunKind::multi, 4), container, "00");
  EXPECT_FALSE(wrong.may_record || wrong.may_submit);
  EXPECT_TRUE(wrong.not_submitted_reason.empty());
}

TEST(RunVerdict, OneCoreRunsOffTheFastestCoreTypeAreRecordedButNotSubmitted) {
  const ReferenceWorkload standard = ReferenceWorkload::standard();
  MachineThreads machine{8, 8, 2, ""};
  const auto judge = [&](RunKind kind, std::int32_t threads) {
    return judge_run(standard, standard_run(kind, threads), machine, kStandardImageSha256);
  };
  EXPECT_TRUE(judge(RunKind::smt, 2).may_submit);
  EXPECT_TRUE(judge(RunKind::smt, 4).custom) << "an SMT run uses its core's threads, no more";
  machine.one_core_not_standard_reason = "not submitted: this process may not run on the P cores";
  for (const RunKind kind : {RunKind::single, RunKind::smt}) {
    const RunVerdict off = judge(kind, standard_threads(kind, machine));
    EXPECT_TRUE(off.may_record && !off.custom);
    EXPECT_FALSE(off.may_submit);
    EXPECT_EQ(off.not_submitted_reason, machine.one_core_not_standard_reason);
  }
  EXPECT_TRUE(judge(RunKind::multi, 8).may_submit) << "the whole machine is still the whole machine";
}

TEST(Sha256, MatchesTheKnownDigestOfAnEmptyInput) {
  EXPECT_EQ(sha256_hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}
