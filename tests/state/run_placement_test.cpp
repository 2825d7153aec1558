// The window's Multi-Core run and the runner's place their workers alike on a machine whose
// processors come in groups (made up here: 3 + 2), through the paths each program takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/run_command.h"
#include "state/app.h"
#include "state/benchmark_runs.h"
#include "system/processor_groups.h"

namespace {

// The group each started worker was bound to, in ascending order.
class GroupRecord {
 public:
  WorkerPlacement placement(const std::vector<std::uint32_t>& sizes) {
    return placement_over_groups(sizes, [this](std::uint32_t group) {
      std::lock_guard lock(mutex_);
      groups_.push_back(group);
    });
  }
  std::vector<std::uint32_t> sorted() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> copy = groups_;
    std::sort(copy.begin(), copy.end());
    return copy;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> groups_;
};

const std::vector<std::uint32_t> kTwoGroups{3, 2};
constexpr Workload kTiny{.width = 32, .height = 32, .samples_per_pixel = 1, .max_depth = 3, .tile_size = 8};

}  // namespace

TEST(RunPlacement, TheWindowAndTheRunnerBindAMultiCoreRunsWorkersToTheSameGroups) {
  GroupRecord window;
  {
    App app(ReferenceWorkload{kTiny, ""}, window.placement(kTwoGroups));
    app.system_info.logical_processors = 5;
    app.system_info.usable_processors = 5;
    start_run(app, RunKind::multi);
    while (app.engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(app.engine.result_ready.load());
    EXPECT_EQ(app.engine.placement().thread_count(), 5);
  }

  GroupRecord runner;
  RunOptions options;
  options.kinds = {RunKind::multi};
  options.threads = 5;  // the made-up machine's processors, not this one's
  options.workload = kTiny;
  options.record_history = false;
  options.submit = false;
  ASSERT_EQ(run_benchmarks(options, runner.placement(kTwoGroups), {}), 0);

  // Every processor gets one worker: three in the first group, two in the second.
  EXPECT_EQ(window.sorted(), (std::vector<std::uint32_t>{0, 0, 0, 1, 1}));
  EXPECT_EQ(runner.sorted(), window.sorted());
}

TEST(RunPlacement, OneGroupPlacesNothingAndCountsAsTheStandardLibrary) {
  const WorkerPlacement one = placement_over_groups({8}, [](std::uint32_t) { FAIL() << "no group to bind to"; });
  EXPECT_FALSE(one.on_worker_start);
  EXPECT_EQ(one.thread_count(), hardware_thread_count());
  EXPECT_EQ(placement_over_groups({64, 64, 8}, [](std::uint32_t) {}).thread_count(), 136);
}
