// The conditions a run was measured under: other programs' load, a battery, throttling, and
// which of them keep a run off the leaderboard.
#include <gtest/gtest.h>

#include <vector>

#include "system/run_conditions.h"

namespace {

// One sample every 0.5 s with `mhz(t)` as the clock.
template <typename F>
std::vector<SensorSample> series(double seconds, F mhz) {
  std::vector<SensorSample> out;
  for (double t = 0.0; t <= seconds + 1e-9; t += 0.5) out.push_back({t, mhz(t), 60.0, std::nullopt});
  return out;
}

TEST(RunConditions, BackgroundLoadIsOthersBusyTimeAsAShareOfAllProcessors) {
  const SystemTimes before{1000, 1000, 1000};
  // 400 ticks passed on all processors: 100 idle, 300 busy, of which this process used 200.
  const SystemTimes after{1100, 1200, 1200};
  EXPECT_DOUBLE_EQ(*background_load_share(before, after, 50, 250), 0.25);
  EXPECT_DOUBLE_EQ(*background_load_share(before, after, 0, 400), 0.0) << "own time counted past the total";
  EXPECT_FALSE(background_load_share(after, before, 0, 0)) << "counters that went backwards";
  EXPECT_FALSE(background_load_share(before, before, 0, 0)) << "no time passed";
  EXPECT_FALSE(background_load_warning(0.10));
  const auto warning = background_load_warning(0.25);
  EXPECT_EQ(warning->code, RunWarningCode::BackgroundLoad);
  EXPECT_NE(warning->text.find("25 %"), std::string::npos);
  EXPECT_FALSE(background_load_warning(std::nullopt));
}

TEST(RunConditions, LoadCountersComeFromOneSourceAndBothMustAnswer) {
  class Counters final : public ICpuTimesSource {
   public:
    double now_seconds() override { return 0.0; }
    std::optional<SystemTimes> system_times() override { return SystemTimes{ticks, ticks, ticks}; }
    std::optional<std::uint64_t> process_time() override { return own; }
    std::uint64_t ticks = 100;
    std::optional<std::uint64_t> own = 10;
  } counters;
  const auto before = read_load_counters(counters);
  counters.ticks = 200;  // 200 ticks in all, 100 of them idle
  counters.own = 60;
  EXPECT_DOUBLE_EQ(*background_load_share(before, read_load_counters(counters)), 0.25);
  counters.own.reset();
  EXPECT_FALSE(read_load_counters(counters));
  EXPECT_FALSE(background_load_share(before, std::nullopt));
}

TEST(RunConditions, BatteryWarnsOnlyWhenKnownToBeOnBattery) {
  EXPECT_EQ(battery_warning(true)->code, RunWarningCode::Battery);
  EXPECT_FALSE(battery_warning(false));
  EXPECT_FALSE(battery_warning(std::nullopt));
}

TEST(RunConditions, ThrottlingIsALaterTenSecondsBelowEightyPercentOfTheFirst) {
  const auto steady = series(30.0, [](double) { return 4000.0; });
  EXPECT_FALSE(throttling_warning(steady, 30.0, std::nullopt));
  // A short dip (3 s at half clock) in a 10 s window keeps its mean at 85 %.
  const auto dip = series(30.0, [](double t) { return t >= 15.0 && t < 18.0 ? 2000.0 : 4000.0; });
  EXPECT_FALSE(throttling_warning(dip, 30.0, std::nullopt));
  const auto fall = series(30.0, [](double t) { return t < 15.0 ? 4000.0 : 3000.0; });
  const auto warning = throttling_warning(fall, 30.0, std::nullopt);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->code, RunWarningCode::Throttling);
  EXPECT_FALSE(
      throttling_warning(series(19.5, [](double t) { return t < 10.0 ? 4000.0 : 1000.0; }), 19.5, std::nullopt))
      << "not judged under 20 s";
}

TEST(RunConditions, ThrottlingIsAlsoReachingTheTemperatureLimit) {
  auto hot = series(25.0, [](double) { return 4000.0; });
  hot[30].temp_c = 100.0;
  EXPECT_FALSE(throttling_warning(hot, 25.0, std::nullopt)) << "no limit known";
  EXPECT_FALSE(throttling_warning(hot, 25.0, 100.5));
  EXPECT_EQ(throttling_warning(hot, 25.0, 100.0)->code, RunWarningCode::Throttling);
}

TEST(RunConditions, AFinishedRunsWarningsComeInAFixedOrderAndThrottlingOnlyOnceItEnded) {
  SensorRecorder record;
  for (double t = 0.0; t <= 30.0; t += 0.5) {
    const SamplePoint point = t == 0.0    ? SamplePoint::MeasuredStart
                              : t == 30.0 ? SamplePoint::MeasuredEnd
                                          : SamplePoint::Periodic;
    record.add(t, SensorReadout{t < 15.0 ? 4000.0 : 2500.0, 70.0, {}}, point);
  }
  std::vector<RunWarningCode> codes;
  for (const RunWarning& w : run_warnings(0.5, true, record, std::nullopt)) codes.push_back(w.code);
  EXPECT_EQ(codes, (std::vector<RunWarningCode>{RunWarningCode::BackgroundLoad, RunWarningCode::Battery,
                                                RunWarningCode::Throttling}));
  EXPECT_TRUE(run_warnings(0.05, false, SensorRecorder{}, 50.0).empty());
}

TEST(RunConditions, BatteryAndLoadKeepARunOffTheLeaderboardButThrottlingDoesNot) {
  const RunWarning throttling{RunWarningCode::Throttling, "hot"};
  const RunWarning battery{RunWarningCode::Battery, "unplugged"};
  EXPECT_FALSE(warnings_forbid_submission({throttling}));
  EXPECT_TRUE(warnings_forbid_submission({throttling, battery}));
  EXPECT_EQ(submission_block_reason({throttling, battery}), "unplugged");
  EXPECT_TRUE(warnings_forbid_submission({{RunWarningCode::BackgroundLoad, "busy"}}));
  EXPECT_EQ(warnings_json({throttling, battery}).dump(),
            R"([{"code":"throttling","text":"hot"},{"code":"battery","text":"unplugged"}])");

  // The verdict says why in a restricted run's words; a run that may not be submitted anyway
  // keeps its own reason. A run kept back is still compared: viewing is allowed.
  RunVerdict submittable;
  submittable.may_record = submittable.may_submit = submittable.may_compare = true;
  hold_back_for_warnings(submittable, {throttling});
  EXPECT_TRUE(submittable.may_submit);
  hold_back_for_warnings(submittable, {throttling, {RunWarningCode::Battery, "The machine ran on battery."}});
  EXPECT_FALSE(submittable.may_submit);
  EXPECT_TRUE(submittable.may_compare);
  EXPECT_EQ(submittable.not_submitted_reason, "not submitted: the machine ran on battery.");
  RunVerdict restricted;
  restricted.may_record = true;
  restricted.not_submitted_reason = "not submitted: only 1 of 4";
  hold_back_for_warnings(restricted, {battery});
  EXPECT_EQ(restricted.not_submitted_reason, "not submitted: only 1 of 4");
}

}  // namespace
