// Sampling, smoothing and the ring buffer of the utilisation monitor, with a fake clock and
// fake counters.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "system/cpu_usage_monitor.h"

namespace {

// Each system_times() call adds `busy` and `idle` ticks to the counters, or fails once when
// asked to.
class FakeTimes final : public ICpuTimesSource {
 public:
  double now = 100.0;
  std::uint64_t busy = 100, idle = 0;
  int failures = 0, queries = 0;
  SystemTimes t{};
  double now_seconds() override { return now; }
  std::optional<SystemTimes> system_times() override {
    ++queries;
    if (failures > 0) {
      --failures;
      return std::nullopt;
    }
    t.idle += idle;
    t.kernel += idle + busy / 2;  // kernel time includes idle time
    t.user += busy - busy / 2;
    return t;
  }
};

// One frame every 0.5 s while running.
void run_frames(CpuUsageMonitor& m, FakeTimes& f, int samples) {
  for (int i = 0; i < samples; ++i) {
    f.now += 0.5;
    m.update(true, f);
  }
}

TEST(CpuUsageMonitor, TheFirstSampleOfARunOnlySetsTheBaseline) {
  CpuUsageMonitor m;
  FakeTimes f;
  m.update(false, f);
  EXPECT_EQ(f.queries, 0) << "idle monitor reads nothing";
  m.update(true, f);
  EXPECT_TRUE(m.sampling);
  EXPECT_EQ(m.stored, 0);
  EXPECT_FALSE(m.first_sample);
  f.now += 0.49;
  m.update(true, f);
  EXPECT_EQ(f.queries, 1) << "no sample before half a second";
  f.now += 0.01;
  m.update(true, f);
  EXPECT_EQ(m.stored, 1);
}

TEST(CpuUsageMonitor, SmoothingStartsAtTheFirstValueNotAtZero) {
  CpuUsageMonitor m;
  FakeTimes f;
  m.update(true, f);
  run_frames(m, f, 1);
  EXPECT_FLOAT_EQ(m.smoothed, 100.0f) << "a run at full load does not climb from 15 %";
  f.busy = 0;
  f.idle = 100;
  run_frames(m, f, 1);
  EXPECT_FLOAT_EQ(m.smoothed, 85.0f);
  EXPECT_DOUBLE_EQ(m.average(), 50.0);
}

TEST(CpuUsageMonitor, UsageIsBusyShareOfElapsedAndAZeroIntervalCountsAsZero) {
  CpuUsageMonitor m;
  FakeTimes f;
  f.busy = 30;
  f.idle = 70;
  m.update(true, f);
  run_frames(m, f, 1);
  EXPECT_NEAR(m.average(), 30.0, 1e-4);
  f.busy = 0;
  f.idle = 0;
  run_frames(m, f, 1);
  EXPECT_EQ(m.sample_count, 2);
  EXPECT_NEAR(m.average(), 15.0, 1e-4);
}

TEST(CpuUsageMonitor, ANegativeUsageIsClampedAndACounterGoingBackwardsSkipsTheSample) {
  CpuUsageMonitor m;
  FakeTimes f;
  m.update(true, f);
  f.t.idle += 1000;  // idle grew more than kernel: a negative usage
  run_frames(m, f, 1);
  EXPECT_EQ(m.usage_history[0], 0.0f);
  EXPECT_EQ(m.sample_count, 1);
  // iowait going backwards (idle shrinks while the others grow): skipped and re-based, no spike.
  f.t.idle -= 1;
  run_frames(m, f, 1);
  EXPECT_EQ(m.sample_count, 1);
  // A processor unplugged: every total shrinks. Skipped too.
  f.t = SystemTimes{};
  run_frames(m, f, 1);
  EXPECT_EQ(m.sample_count, 1);
  EXPECT_EQ(m.stored, 1);
  run_frames(m, f, 1);  // the next sample measures from the new baseline: all busy
  EXPECT_EQ(m.sample_count, 2);
  EXPECT_NEAR(m.total, 100.0, 1e-4);
}

TEST(CpuUsageMonitor, AFailedQuerySkipsTheSampleAndRetriesAfterAnotherInterval) {
  CpuUsageMonitor m;
  FakeTimes f;
  f.failures = 1;
  m.update(true, f);
  EXPECT_TRUE(m.first_sample) << "the baseline is still missing";
  m.update(true, f);  // a missing baseline is due at once
  EXPECT_FALSE(m.first_sample);

  f.failures = 1;
  run_frames(m, f, 1);
  EXPECT_EQ(m.stored, 0);
  const int queries = f.queries;
  f.now += 0.25;
  m.update(true, f);
  EXPECT_EQ(f.queries, queries) << "not retried every frame";
  f.now += 0.25;
  m.update(true, f);
  EXPECT_EQ(m.stored, 1);
}

TEST(CpuUsageMonitor, ALongRunIsKeptWholeWithEachValuesTime) {
  CpuUsageMonitor m;
  FakeTimes f;
  m.update(true, f);
  const double start = f.now;
  run_frames(m, f, 700);
  ASSERT_EQ(m.stored, 700);
  ASSERT_EQ(m.sample_times.size(), 700u);
  EXPECT_GT(m.sample_times.front(), start);
  EXPECT_DOUBLE_EQ(m.sample_times.back(), f.now);
}

TEST(CpuUsageMonitor, ARunsEndFreezesItsAverageAndANewRunClearsTheSeries) {
  CpuUsageMonitor m;
  FakeTimes f;
  m.update(true, f);
  for (std::uint64_t busy : {96u, 97u, 98u}) {
    f.busy = busy;
    f.idle = 100 - busy;
    run_frames(m, f, 1);
  }
  m.update(false, f);
  EXPECT_FALSE(m.sampling);
  EXPECT_NEAR(m.display_value(), 97.0f, 1e-3);
  EXPECT_EQ(m.stored, 3);
  f.now += 10;
  m.update(false, f);
  EXPECT_EQ(m.stored, 3) << "nothing sampled between runs";

  m.update(true, f);
  EXPECT_EQ(m.stored, 0);
  EXPECT_EQ(m.sample_count, 0);
  EXPECT_TRUE(m.usage_history.empty());
  EXPECT_TRUE(m.sampling);
}

TEST(CpuUsageMonitor, SamplesThisMachinesCounters) {
  const auto source = make_platform_cpu_times_source();
  const auto first = source->system_times();
  ASSERT_TRUE(first);
  EXPECT_GE(first->kernel, first->idle);
  const double t0 = source->now_seconds();
  EXPECT_GE(source->now_seconds(), t0);
}

}  // namespace
