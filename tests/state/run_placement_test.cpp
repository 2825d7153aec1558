// The window's Multi-Core run and the runner's place their workers alike on a machine whose
// processors come in groups (made up here: 3 + 2), through the paths each program takes; the
// single-core and SMT runs bind theirs as a made-up mixed machine's core records say (under wine
// too, where the records are what Windows would give).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "cli/run_command.h"
#include "state/app.h"
#include "state/benchmark_runs.h"
#include "system/core_placement.h"
#include "system/processor_core_records.h"
#include "system/processor_groups.h"
#include "system/thread_affinity.h"
#include "tests/support/core_records.h"

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

// Each worker's processors, read on its own thread once the placement's hook has bound it.
class AffinityRecord {
 public:
  WorkerStartHook after(WorkerStartHook bind) {
    return [this, bind = std::move(bind)](std::int32_t worker) {
      bind(worker);
      std::lock_guard lock(mutex_);
      seen_[worker] = this_thread_processors();
    };
  }
  std::map<std::int32_t, ProcessorSet> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  std::mutex mutex_;
  std::map<std::int32_t, ProcessorSet> seen_;
};

BenchmarkResult run_to_end(App& app, RunKind kind) {
  start_run(app, kind);
  while (app.engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return app.engine.take_result();
}

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

TEST(RunPlacement, OneCoreRunsBindTheirWorkersToTheFastestCoreOfTheCoreRecords) {
  const ProcessorSet mine = this_process_processors();
  if (mine.size() < 2 || mine[1] >= 63) GTEST_SKIP() << "needs two processors to make a core of";
  // A P core (EfficiencyClass 1) of two threads, this process's first two processors, and an E
  // core (class 0) of one thread beside them.
  std::vector<std::uint8_t> records;
  add_core(records, 1, 0, (std::uint64_t{1} << mine[0]) | (std::uint64_t{1} << mine[1]));
  add_core(records, 0, 0, std::uint64_t{1} << (mine[1] + 1));
  const std::optional<CpuTopology> topology = parse_processor_core_records(records, CoreNaming::x86);
  ASSERT_TRUE(topology && topology->mixed());
  const SinglePlacement single = place_single_run(*topology, mine, SingleBinding::fastest_type);
  const SmtPlacement smt = place_smt_run(*topology, mine);

  AffinityRecord record;
  WorkerPlacement placement = with_one_core_placement({}, single, smt);
  placement.single.on_worker_start = record.after(placement.single.on_worker_start);
  placement.smt.on_worker_start = record.after(placement.smt.on_worker_start);
  App app(ReferenceWorkload{kTiny, ""}, std::move(placement));
  describe_one_core_runs(app.system_info, single, smt);
  EXPECT_EQ(run_threads(app, RunKind::smt), 2);

  const BenchmarkResult smt_result = run_to_end(app, RunKind::smt);
  EXPECT_EQ(smt_result.threads, 2);
  EXPECT_EQ(smt_result.core_type, "P");
  EXPECT_EQ(record.take(), (std::map<std::int32_t, ProcessorSet>{{0, {mine[0]}}, {1, {mine[1]}}}));

  const BenchmarkResult single_result = run_to_end(app, RunKind::single);
  EXPECT_EQ(single_result.core_type, "P");
  EXPECT_EQ(record.take(), (std::map<std::int32_t, ProcessorSet>{{0, {mine[0], mine[1]}}}));

  // A multi-core run is the machine's: neither bound nor named.
  EXPECT_EQ(run_to_end(app, RunKind::multi).core_type, std::nullopt);
  EXPECT_TRUE(record.take().empty());
}
