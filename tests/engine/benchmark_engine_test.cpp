#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <chrono>
#include <thread>

#include "engine/benchmark_engine.h"
#include "engine/score.h"

namespace {

RunRequest run_of(Workload workload, std::int32_t threads, RunKind kind = RunKind::multi) {
  return RunRequest{.workload = workload, .kind = kind, .threads = threads};
}

RunRequest small(std::int32_t threads, std::int32_t spp = 1, RunKind kind = RunKind::multi) {
  return run_of({.width = 96, .height = 64, .samples_per_pixel = spp, .max_depth = 8, .tile_size = 16}, threads, kind);
}

// A run long enough to be caught in progress, made of many small tiles with short rows, so that
// a cancel takes effect quickly even under a sanitizer.
RunRequest slow(std::int32_t threads) {
  return run_of({.width = 256, .height = 256, .samples_per_pixel = 256, .max_depth = 50, .tile_size = 8}, threads);
}

bool wait_until_idle(BenchmarkEngine& engine) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (engine.running.load()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

BenchmarkResult run_to_end(BenchmarkEngine& engine, const RunRequest& run) {
  engine.start(run);
  EXPECT_TRUE(wait_until_idle(engine));
  EXPECT_TRUE(engine.result_ready.load());
  return engine.take_result();
}

bool all_zero(const BenchmarkEngine& engine) {
  for (std::uint8_t byte : engine.pixels.snapshot()) {
    if (byte != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

TEST(BenchmarkEngine, AResultCarriesItsRunsKindWhateverItsThreadCount) {
  BenchmarkEngine engine{WorkerPlacement{}};
  const BenchmarkResult single = run_to_end(engine, small(1, 1, RunKind::single));
  EXPECT_EQ(single.kind, RunKind::single);
  EXPECT_EQ(single.threads, 1);
  EXPECT_GT(single.score, 0);
  EXPECT_GT(single.time_seconds, 0.0);
  // Kept to the microsecond the clock resolves, so that it prints as a short decimal.
  const double microseconds = single.time_seconds * 1e6;
  EXPECT_NEAR(microseconds, static_cast<double>(static_cast<long long>(microseconds + 0.5)), 1e-3);
  EXPECT_FALSE(engine.result_ready.load());  // taken exactly once

  const BenchmarkResult multi = run_to_end(engine, small(3));
  EXPECT_EQ(multi.kind, RunKind::multi);
  EXPECT_EQ(multi.threads, 3);
  EXPECT_EQ(engine.tiles_done.load(), engine.tile_count.load());
  EXPECT_EQ(engine.tile_count.load(), 24);

  // One worker does not make a multi-core run a single-core one.
  const BenchmarkResult one_worker = run_to_end(engine, small(1));
  EXPECT_EQ(one_worker.kind, RunKind::multi);
  EXPECT_EQ(one_worker.threads, 1);
}

TEST(BenchmarkEngine, ImageIsByteIdenticalForAnyThreadCount) {
  BenchmarkEngine engine{WorkerPlacement{}};
  run_to_end(engine, small(1, 3));
  const std::vector<std::uint8_t> one = engine.pixels.snapshot();
  for (std::int32_t threads : {2, 5}) {
    run_to_end(engine, small(threads, 3));
    EXPECT_EQ(engine.pixels.snapshot(), one) << threads << " threads";
  }
  for (std::size_t i = 3; i < one.size(); i += 4) {
    ASSERT_EQ(one[i], 255);  // every pixel rendered
  }
}

TEST(BenchmarkEngine, StartClearsTheImageAndIgnoresRequestsWhileRunning) {
  BenchmarkEngine engine{WorkerPlacement{}};
  run_to_end(engine, small(2));
  engine.start(slow(2));
  EXPECT_TRUE(engine.running.load());
  EXPECT_FALSE(engine.result_ready.load());
  EXPECT_EQ(engine.tiles_done.load(), 0);
  EXPECT_TRUE(all_zero(engine));

  engine.start(run_of({.width = 32, .height = 16, .samples_per_pixel = 1, .max_depth = 1, .tile_size = 8},
                      1));  // dropped: the size stays
  EXPECT_EQ(engine.width, 256);
  EXPECT_EQ(engine.height, 256);
  engine.cancel();
  ASSERT_TRUE(wait_until_idle(engine));
}

TEST(BenchmarkEngine, CancelEndsTheRunWithoutAResultAndKeepsThePreviousOne) {
  BenchmarkEngine engine{WorkerPlacement{}};
  const BenchmarkResult before = run_to_end(engine, small(1));
  engine.result.score = 777;  // marks the stored result; a cancelled run must not touch it

  engine.start(slow(2));
  while (engine.tiles_done.load() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine.cancel();
  ASSERT_TRUE(wait_until_idle(engine));
  EXPECT_FALSE(engine.result_ready.load());
  EXPECT_EQ(engine.result.score, 777);
  EXPECT_EQ(engine.result.date, before.date);
  EXPECT_LT(engine.tiles_done.load(), engine.tile_count.load());
  EXPECT_FALSE(engine.take_failure().has_value());

  // Tiles whose tasks began after the cancel stay empty; the last row of tiles never started.
  const std::vector<std::uint8_t> image = engine.pixels.snapshot();
  EXPECT_EQ(image[(255 * 256 + 255) * 4 + 3], 0);
}

TEST(BenchmarkEngine, CancelWhileIdleDoesNotAffectTheNextRun) {
  BenchmarkEngine engine{WorkerPlacement{}};
  engine.cancel();
  const BenchmarkResult result = run_to_end(engine, small(2));
  EXPECT_EQ(result.kind, RunKind::multi);
}

TEST(BenchmarkEngine, NewRunMakesAnUntakenResultUntakeable) {
  BenchmarkEngine engine{WorkerPlacement{}};
  engine.start(small(1));
  ASSERT_TRUE(wait_until_idle(engine));
  ASSERT_TRUE(engine.result_ready.load());
  engine.start(slow(1));
  EXPECT_FALSE(engine.result_ready.load());
  engine.cancel();
}

TEST(BenchmarkEngine, StartTimeIsZeroUntilTheMeasuredPhaseBegins) {
  BenchmarkEngine engine{WorkerPlacement{}};
  run_to_end(engine, small(1));
  EXPECT_NE(engine.start_time.load(), 0);
  engine.start(slow(1));
  const std::int64_t at_start = engine.start_time.load();
  const std::int64_t now = BenchmarkEngine::steady_now_ns();
  // Either not begun (0) or begun by this run, never the previous run's value.
  EXPECT_TRUE(at_start == 0 || at_start <= now);
  while (engine.start_time.load() == 0) {
    std::this_thread::yield();
  }
  EXPECT_GE(engine.start_time.load(), now - 1'000'000'000);
  engine.cancel();
}

TEST(BenchmarkEngine, DestroyingDuringARunCancelsIt) {
  // A run of hours: the test ends only if the destructor cancels it rather than waiting.
  BenchmarkEngine engine{WorkerPlacement{}};
  engine.start(run_of({.width = 4096, .height = 4096, .samples_per_pixel = 1024, .max_depth = 50, .tile_size = 8}, 2));
  while (engine.tiles_done.load() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && !defined(_WIN32)
// A thread the system refuses must not end the process: the run ends without a result and says
// why. The address-space limit makes thread stacks impossible to map, even for root.
TEST(BenchmarkEngineDeathTest, RefusedThreadsEndTheRunWithAFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        BenchmarkEngine engine{WorkerPlacement{}};
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = 64ull << 20;  // far below what 64 thread stacks need
        setrlimit(RLIMIT_AS, &limit);
        engine.start(small(64));
        while (engine.running.load()) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto failure = engine.take_failure();
        std::_Exit(failure && !engine.result_ready.load() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

TEST(Score, IsTruncatedAndClampedToThe32BitRange) {
  EXPECT_EQ(compute_score(60.0), 2000);
  EXPECT_EQ(compute_score(120.0), 1000);
  EXPECT_EQ(compute_score(45.0), 2666);
  EXPECT_EQ(compute_score(7.3), 16438);
  EXPECT_EQ(compute_score(0.5), 240000);
  EXPECT_EQ(compute_score(0.0), 2147483647);
  EXPECT_EQ(compute_score(1e-9), 2147483647);
  EXPECT_EQ(compute_score(120000.0 / 2147483647.0), 2147483647);
}

TEST(Score, DateHasTheFixedNineteenCharacterPattern) {
  const std::string date = format_result_date(std::chrono::system_clock::now());
  ASSERT_EQ(date.size(), 19u) << date;
  for (std::size_t i = 0; i < date.size(); ++i) {
    const char expected = i == 4 || i == 7 ? '-' : i == 10 ? 'T' : i == 13 || i == 16 ? ':' : '0';
    if (expected == '0') {
      EXPECT_TRUE(date[i] >= '0' && date[i] <= '9') << date;
    } else {
      EXPECT_EQ(date[i], expected) << date;
    }
  }
  const std::string epoch = format_result_date(std::chrono::system_clock::time_point{});
  EXPECT_EQ(epoch.size(), 19u);
}
