// `strelvik-cli stress` in-process: scripted passes and a clock that advances 30 s per pass, so
// that a ten-minute test ends in no time. What it prints, stores and exits with.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/stress_command.h"

namespace {

constexpr Workload kTestWorkload{.width = 64, .height = 32, .samples_per_pixel = 2, .max_depth = 5, .tile_size = 16};

// Each pass takes 30 s of the fake clock and gives the next scripted score and image; a pass
// past the script's end stands for Ctrl-C (no result).
class ScriptedPasses : public IStressPassRunner {
 public:
  ScriptedPasses(double& clock, std::vector<std::int32_t> scores, std::vector<std::string> hashes)
      : clock_(clock), scores_(std::move(scores)), hashes_(std::move(hashes)) {}
  PassRun run_pass(const RunRequest& run, const PassLabel& label) override {
    labels.push_back(label);
    EXPECT_EQ(run.kind, RunKind::multi);
    EXPECT_EQ(run.threads, 4);
    PassRun pass;
    const auto i = static_cast<std::size_t>(label.pass - 1);
    if (i >= scores_.size()) return pass;
    clock_ += 30.0;
    pass.result = BenchmarkResult{RunKind::multi, scores_[i], 120000.0 / scores_[i], 4, "2026-12-09T10:00:00"};
    pass.image_sha256 = hashes_[std::min(i, hashes_.size() - 1)];
    pass.sensors.temp_c_max = 70.0 + static_cast<double>(i);
    pass.sensors.clock_mhz_avg = 4000.0 - 300.0 * static_cast<double>(i);  // 3.1 GHz by the fourth pass
    pass.warnings = {{RunWarningCode::Battery, "on battery"}};
    return pass;
  }
  std::vector<PassLabel> labels;

 private:
  double& clock_;
  std::vector<std::int32_t> scores_;
  std::vector<std::string> hashes_;
};

struct Outcome {
  int exit_code = -1;
  std::vector<nlohmann::json> objects;
  std::vector<StressRecord> recorded;
};

Outcome run_stress(ScriptedPasses& passes, double& clock, Workload workload = kTestWorkload, std::int32_t minutes = 2) {
  std::ostringstream json;
  std::FILE* human = std::tmpfile();
  StressEnvironment env{.passes = passes,
                        .clock = [&clock] { return clock; },
                        .machine = MachineThreads{.logical = 4, .usable = 4},
                        .reference = ReferenceWorkload{.workload = kTestWorkload, .sha256 = "right"},
                        .json_out = json,
                        .human = human};
  Outcome o;
  const StressOptions options{.workload = workload, .minutes = minutes, .json = true, .record_history = true};
  o.exit_code = run_stress_test(options, env, [&](const StressRecord& r) {
    o.recorded.push_back(r);
    return true;
  });
  std::fclose(human);
  std::istringstream lines(json.str());
  for (std::string line; std::getline(lines, line);) o.objects.push_back(nlohmann::json::parse(line));
  return o;
}

TEST(StressCommand, PrintsEveryPassThenTheSummaryAndRecordsOneTest) {
  double clock = 500.0;
  ScriptedPasses passes(clock, {200, 190, 196, 180}, {"right"});
  const Outcome o = run_stress(passes, clock);
  EXPECT_EQ(o.exit_code, 0);
  ASSERT_EQ(o.objects.size(), 5u);  // four passes: the fourth ends at 2:00
  for (std::size_t i = 0; i < 4; ++i) {
    const nlohmann::json& pass = o.objects[i];
    EXPECT_EQ(pass["type"], "stress-pass");
    EXPECT_EQ(pass["pass"], i + 1);
    EXPECT_EQ(pass["image_sha256"], "right");
    EXPECT_TRUE(pass.contains("time_seconds") && pass["sensors"].contains("temp_c_max"));
  }
  const nlohmann::json& summary = o.objects.back();
  EXPECT_EQ(summary["type"], "stress");
  EXPECT_EQ(summary["pass_count"], 4);
  EXPECT_EQ(summary["minutes_requested"], 2);
  EXPECT_EQ(summary["elapsed_seconds"], 120.0);
  EXPECT_DOUBLE_EQ(summary["stability_percent"].get<double>(), 90.0);
  EXPECT_DOUBLE_EQ(summary["drop_percent"].get<double>(), 10.0);
  EXPECT_EQ(summary["sensors"]["temp_c_max"], 73.0);
  // Each condition once for the whole test; the clock's fall shows only across the passes.
  ASSERT_EQ(summary["warnings"].size(), 2u);
  EXPECT_EQ(summary["warnings"][1]["code"], "throttling");
  EXPECT_EQ(summary["verdict"], "unsteady");
  EXPECT_EQ(summary["recorded"], true);
  ASSERT_EQ(o.recorded.size(), 1u);
  EXPECT_EQ(o.recorded[0].summary.median_score, 190);
  EXPECT_EQ(o.recorded[0].threads, 4);
  EXPECT_EQ(o.recorded[0].date, "2026-12-09T10:00:00");
  // The progress line's time left counts down from the minutes.
  EXPECT_EQ(passes.labels[0].seconds_left, 120.0);
  EXPECT_EQ(passes.labels[3].seconds_left, 30.0);
}

TEST(StressCommand, AWrongImageEndsTheTestWithCode3AndStoresNothing) {
  double clock = 0.0;
  ScriptedPasses passes(clock, {200, 200, 200, 200}, {"right", "wrong"});
  const Outcome o = run_stress(passes, clock);
  EXPECT_EQ(o.exit_code, 3);
  EXPECT_TRUE(o.recorded.empty());
  ASSERT_EQ(o.objects.size(), 2u);  // the right pass, then the summary
  const nlohmann::json& summary = o.objects.back();
  EXPECT_EQ(summary["verdict"], "unstable");
  EXPECT_EQ(summary["failure"]["pass"], 2);
  EXPECT_EQ(summary["failure"]["elapsed_seconds"], 60.0);
  EXPECT_EQ(summary["failure"]["temp_c"], 71.0);
  EXPECT_EQ(summary["recorded"], false);
}

TEST(StressCommand, CancelShowsThePassesSoFarWithCode130AndStoresNothing) {
  double clock = 0.0;
  ScriptedPasses passes(clock, {200, 198}, {"right"});
  const Outcome o = run_stress(passes, clock, kTestWorkload, 10);
  EXPECT_EQ(o.exit_code, 130);
  EXPECT_TRUE(o.recorded.empty());
  ASSERT_EQ(o.objects.size(), 3u);
  EXPECT_EQ(o.objects.back()["verdict"], "cancelled");
  EXPECT_EQ(o.objects.back()["pass_count"], 2);
}

TEST(StressCommand, ACustomTestComparesEachPassWithTheFirstAndIsNeverStored) {
  double clock = 0.0;
  Workload custom = kTestWorkload;
  custom.samples_per_pixel = 3;
  ScriptedPasses steady(clock, {200, 200, 200}, {"first"});
  const Outcome o = run_stress(steady, clock, custom, 1);
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_TRUE(o.recorded.empty());
  EXPECT_EQ(o.objects.back()["custom"], true);
  EXPECT_EQ(o.objects.back()["verdict"], "stable");

  ScriptedPasses drifting(clock, {200, 200, 200}, {"first", "first", "other"});
  EXPECT_EQ(run_stress(drifting, clock, custom, 1).exit_code, 3);
}

TEST(StressCommand, TheCommandLineTakesMinutesAndTheCustomWorkload) {
  const char* args[] = {"strelvik-cli", "stress", "--minutes", "1", "--size", "320x180", "--spp", "4", "--json"};
  const Command command = parse_command_line(9, args);
  const auto& options = std::get<StressOptions>(command);
  EXPECT_EQ(options.minutes, 1);
  EXPECT_EQ(options.workload.width, 320);
  EXPECT_EQ(options.workload.samples_per_pixel, 4);
  EXPECT_TRUE(options.json && options.record_history);

  const char* standard[] = {"strelvik-cli", "stress", "--no-history"};
  const Command parsed = parse_command_line(3, standard);
  const auto& defaults = std::get<StressOptions>(parsed);
  EXPECT_EQ(defaults.minutes, 10);
  EXPECT_EQ(defaults.workload, kStandardWorkload);
  EXPECT_FALSE(defaults.record_history);

  for (const char* minutes : {"0", "241", "ten"}) {
    const char* bad[] = {"strelvik-cli", "stress", "--minutes", minutes};
    EXPECT_EQ(std::get<EarlyExit>(parse_command_line(4, bad)).code, 2) << minutes;
  }
  const char* repeat[] = {"strelvik-cli", "stress", "--repeat", "2"};
  EXPECT_EQ(std::get<EarlyExit>(parse_command_line(4, repeat)).code, 2);
}

}  // namespace
