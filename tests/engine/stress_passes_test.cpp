// The stress test's rules over a scripted engine and a clock that moves only when a pass ends:
// when it stops, what it keeps of a wrong or cancelled test, and its figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/stress_test.h"

namespace {

StressPass pass(std::int32_t score, std::string hash = "h") {
  return StressPass{.score = score, .time_seconds = 120000.0 / score, .image_sha256 = std::move(hash), .sensors = {}};
}

// Runs passes of `pass_seconds` each until the test says stop; returns how many ran.
int passes_until_done(std::int32_t minutes, double pass_seconds) {
  StressTest test(minutes, 1000.0);
  double now = 1000.0;
  int count = 0;
  bool more = true;
  while (more && count < 1000) {
    now += pass_seconds;
    ++count;
    more = test.add_pass(pass(100), true, now);
  }
  EXPECT_TRUE(test.finished());
  EXPECT_EQ(test.summary().elapsed_seconds, count * pass_seconds);
  return count;
}

TEST(StressTest, EndsWithTheFirstPassThatFinishesOnceTheMinutesAreOver) {
  EXPECT_EQ(passes_until_done(2, 30.0), 4);  // the fourth ends exactly at 2:00
  EXPECT_EQ(passes_until_done(2, 31.0), 4);  // 2:04: the pass that crossed the line counts
  EXPECT_EQ(passes_until_done(10, 29.0), 21);
}

TEST(StressTest, RunsAtLeastThreePassesWhateverTheMinutes) {
  EXPECT_EQ(passes_until_done(1, 30.0), 3);
  EXPECT_EQ(passes_until_done(1, 480.0), 3);  // a slow machine still gets a stability figure
}

TEST(StressTest, MinutesOutsideTheRangeAreClampedAndTimeLeftNeverGoesNegative) {
  EXPECT_EQ(StressTest(0, 0.0).minutes(), kStressMinMinutes);
  EXPECT_EQ(StressTest(1000, 0.0).minutes(), kStressMaxMinutes);
  const StressTest test(1, 50.0);
  EXPECT_EQ(test.seconds_left(80.0), 30.0);
  EXPECT_EQ(test.seconds_left(500.0), 0.0);
}

TEST(StressTest, StabilityDropAndMedianComeFromThePassScores) {
  StressTest test(1, 0.0);
  double now = 0.0;
  for (const std::int32_t score : {200, 196, 180}) test.add_pass(pass(score), true, now += 30.0);
  const StressSummary s = test.summary();
  EXPECT_EQ(s.pass_count, 3);
  EXPECT_DOUBLE_EQ(s.stability_percent, 90.0);
  EXPECT_DOUBLE_EQ(s.drop_percent, 10.0);
  EXPECT_EQ(s.median_score, 196);
  EXPECT_EQ(s.verdict, StressVerdict::unsteady);

  // 97 % exactly is stable; a machine that sped up has a negative drop.
  const std::vector<StressPass> steady{pass(97), pass(100), pass(99)};
  EXPECT_DOUBLE_EQ(stability_percent(steady), 97.0);
  EXPECT_DOUBLE_EQ(drop_percent(steady), (1.0 - 99.0 / 97.0) * 100.0);
  StressTest stable(1, now = 0.0);
  for (const StressPass& p : steady) stable.add_pass(p, true, now += 30.0);
  EXPECT_EQ(stable.summary().verdict, StressVerdict::stable);
  EXPECT_EQ(median_pass_score(std::vector<StressPass>{pass(5), pass(9), pass(7), pass(1)}), 5);
}

TEST(StressTest, AWrongImageEndsTheTestAtThatPassWithItsTimeAndTemperature) {
  StressTest test(10, 0.0);
  ASSERT_TRUE(test.add_pass(pass(100), true, 30.0));
  StressPass hot = pass(100);
  hot.sensors.temp_c_max = 97.0;
  EXPECT_FALSE(test.add_pass(hot, false, 60.0));
  EXPECT_FALSE(test.add_pass(pass(100), true, 90.0));  // nothing after the end counts
  const StressSummary s = test.summary();
  EXPECT_EQ(s.verdict, StressVerdict::unstable);
  EXPECT_EQ(s.pass_count, 1);
  ASSERT_TRUE(s.failure);
  EXPECT_EQ(s.failure->pass, 2);
  EXPECT_EQ(s.failure->elapsed_seconds, 60.0);
  EXPECT_EQ(s.failure->temp_c, 97.0);
}

TEST(StressTest, WithoutAReferenceEveryPassMustEqualTheFirst) {
  StressTest test(10, 0.0);
  EXPECT_TRUE(test.add_pass(pass(100, "first"), std::nullopt, 30.0));
  EXPECT_TRUE(test.add_pass(pass(100, "first"), std::nullopt, 60.0));
  EXPECT_FALSE(test.add_pass(pass(100, "other"), std::nullopt, 90.0));
  ASSERT_TRUE(test.failure());
  EXPECT_EQ(test.failure()->pass, 3);
}

TEST(StressTest, ACancelledTestKeepsItsPassesAndSaysCancelled) {
  StressTest test(10, 0.0);
  test.add_pass(pass(100), true, 30.0);
  test.cancel(45.0);
  EXPECT_TRUE(test.finished());
  const StressSummary s = test.summary();
  EXPECT_EQ(s.verdict, StressVerdict::cancelled);
  EXPECT_EQ(s.pass_count, 1);
  EXPECT_EQ(s.elapsed_seconds, 45.0);
}

TEST(StressTest, WholeTestSensorsWeighTheClockByTimeAndSumEnergyOnlyWithoutGaps) {
  StressPass fast = pass(200);  // 600 s
  fast.sensors = {.clock_mhz_avg = 4000.0,
                  .clock_mhz_min = 3900.0,
                  .temp_c_max = 80.0,
                  .power_w_avg = {},
                  .energy_j = 60000.0,
                  .points_per_watt = {}};
  StressPass slow = pass(100);  // 1200 s
  slow.sensors = {.clock_mhz_avg = 3100.0,
                  .clock_mhz_min = 3000.0,
                  .temp_c_max = 95.0,
                  .power_w_avg = {},
                  .energy_j = 90000.0,
                  .points_per_watt = {}};
  const SensorSummary both = whole_test_sensors(std::vector<StressPass>{fast, slow}, 150);
  EXPECT_DOUBLE_EQ(*both.clock_mhz_avg, 3400.0);
  EXPECT_EQ(both.clock_mhz_min, 3000.0);
  EXPECT_EQ(both.temp_c_max, 95.0);
  EXPECT_DOUBLE_EQ(*both.energy_j, 150000.0);
  EXPECT_DOUBLE_EQ(*both.power_w_avg, 150000.0 / 1800.0);
  EXPECT_DOUBLE_EQ(*both.points_per_watt, 150 / (150000.0 / 1800.0));

  slow.sensors.energy_j.reset();  // one pass could not read the counters
  const SensorSummary gap = whole_test_sensors(std::vector<StressPass>{fast, slow}, 150);
  EXPECT_FALSE(gap.energy_j || gap.power_w_avg || gap.points_per_watt);
}

}  // namespace
