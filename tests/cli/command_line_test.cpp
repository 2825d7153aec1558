#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress_reporter.h"
#include "cli/run_options.h"
#include "cli/run_report.h"
#include "engine/remaining_time.h"
#include "engine/smt_uplift.h"

namespace {

Command parse(std::vector<const char*> args) {
  args.insert(args.begin(), "strelvik-cli");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

int usage_code(std::vector<const char*> args) {
  const Command command = parse(std::move(args));
  const auto* early = std::get_if<EarlyExit>(&command);
  return early ? early->code : -1;
}

}  // namespace

TEST(CommandLine, StandardRunsUseThePanelsConfiguration) {
  const Command command = parse({"both"});
  const auto& options = std::get<RunOptions>(command);
  EXPECT_EQ(options.kinds, (std::vector<RunKind>{RunKind::single, RunKind::multi}));
  const std::vector<RunRequest> runs = planned_runs(options, MachineThreads{32, 16});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].kind, RunKind::single);
  EXPECT_EQ(runs[0].threads, 1);
  EXPECT_EQ(runs[1].kind, RunKind::multi);
  EXPECT_EQ(runs[1].threads, 16);
  for (const RunRequest& run : runs) {
    EXPECT_EQ(run.workload,
              (Workload{.width = 1920, .height = 1080, .samples_per_pixel = 128, .max_depth = 50, .tile_size = 32}));
  }
}

TEST(CommandLine, AllRunsSingleSmtAndMultiAndLeavesSmtOutWithoutSmt) {
  const RunOptions options = std::get<RunOptions>(parse({"all"}));
  EXPECT_EQ(options.kinds, (std::vector<RunKind>{RunKind::single, RunKind::smt, RunKind::multi}));
  const auto planned = [&](const MachineThreads& machine) {
    std::vector<std::pair<RunKind, std::int32_t>> runs;
    for (const RunRequest& run : planned_runs(options, machine)) runs.emplace_back(run.kind, run.threads);
    return runs;
  };
  const MachineThreads smt_machine{16, 16, 2, ""};
  EXPECT_EQ(planned(smt_machine), (std::vector<std::pair<RunKind, std::int32_t>>{
                                      {RunKind::single, 1}, {RunKind::smt, 2}, {RunKind::multi, 16}}));
  const MachineThreads no_smt{4, 4};
  EXPECT_EQ(planned(no_smt),
            (std::vector<std::pair<RunKind, std::int32_t>>{{RunKind::single, 1}, {RunKind::multi, 4}}));
  EXPECT_EQ(std::get<RunOptions>(parse({"smt"})).kinds, std::vector<RunKind>{RunKind::smt});
}

TEST(CommandLine, CustomOptionsAndRepeats) {
  const auto options =
      std::get<RunOptions>(parse({"multi", "--threads", "3", "--repeat", "4", "--size", "64x32", "--spp", "2",
                                  "--depth", "5", "--tile", "8", "--json", "--no-history", "--image", "out.png"}));
  EXPECT_TRUE(options.json);
  EXPECT_FALSE(options.record_history);
  EXPECT_EQ(options.image_path, "out.png");
  const auto runs = planned_runs(options, MachineThreads{2, 2});
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[3].threads, 3);
  EXPECT_EQ(runs[3].workload,
            (Workload{.width = 64, .height = 32, .samples_per_pixel = 2, .max_depth = 5, .tile_size = 8}));
  // One worker asked of a multi-core run keeps its kind: a custom multi-core run.
  const auto one = planned_runs(std::get<RunOptions>(parse({"multi", "--threads", "1"})), MachineThreads{8, 8});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].kind, RunKind::multi);
  EXPECT_EQ(one[0].threads, 1);
}

TEST(CommandLine, BadUsageIsRefusedWithCode2) {
  EXPECT_EQ(usage_code({}), 2);
  EXPECT_EQ(usage_code({"sprint"}), 2);
  EXPECT_EQ(usage_code({"multi", "--frobnicate"}), 2);
  EXPECT_EQ(usage_code({"multi", "--threads", "0"}), 2);
  EXPECT_EQ(usage_code({"multi", "--threads", "-3"}), 2);
  EXPECT_EQ(usage_code({"multi", "--threads", "two"}), 2);
  EXPECT_EQ(usage_code({"multi", "--repeat", "0"}), 2);
  EXPECT_EQ(usage_code({"multi", "--size", "0x5"}), 2);
  EXPECT_EQ(usage_code({"multi", "--size", "40000x40000"}), 2);  // bytes overflow 32 bits
  EXPECT_EQ(usage_code({"multi", "--spp", "0"}), 2);
  EXPECT_EQ(usage_code({"multi", "--tile", "0"}), 2);
  EXPECT_EQ(usage_code({"single", "multi"}), 2);
  EXPECT_EQ(usage_code({"history", "--delete", "0"}), 2);
  EXPECT_EQ(usage_code({"--help"}), 0);
  EXPECT_EQ(usage_code({"multi", "--help"}), 0);
}

TEST(CommandLine, RefusalsSayPlainlyWhatIsWrong) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"bogus"}, "unknown command 'bogus'"},
      {{"history", "--delete", "0"}, "0 is not in the range 1 to 2147483647"},
      {{"multi", "--spp", "abc"}, "--spp: 'abc' is not a number"},
      {{"multi", "--threads", "2.5"}, "'2.5' is not a number"},
      {{"single", "--threads", "3"}, "--threads applies to 'multi' only"},
      {{"both", "--threads", "2", "--repeat", "2"}, "--threads applies to 'multi' only"},
      {{"smt", "--threads", "4"}, "--threads applies to 'multi' only"},
      {{"multi", "--image", "x.jpg"}, "must end in .png, got 'x.jpg'"},
      {{"multi", "--image", ""}, "--image needs a file name"},
      // A near miss names the option meant; a hidden one never is (single refuses --threads).
      {{"multi", "2", "--thread"}, "; did you mean --threads?"},
      {{"multi", "--jsn"}, "did you mean --json?"},
  };
  for (const auto& [args, message] : cases) {
    const Command command = parse(args);
    const auto* early = std::get_if<EarlyExit>(&command);
    ASSERT_TRUE(early) << message;
    EXPECT_EQ(early->code, 2) << message;
    EXPECT_NE(early->text.find(message), std::string::npos) << early->text;
  }
  EXPECT_EQ(std::get<RunOptions>(parse({"multi", "--image", "OUT.PNG"})).image_path, "OUT.PNG");
}

TEST(CommandLine, HelpShowsTheStandardWorkloadAndTheExitCodes) {
  const Command command = parse({"multi", "--help"});
  const std::string& text = std::get<EarlyExit>(command).text;
  const Workload& w = kStandardWorkload;
  for (const std::string& expected :
       {"(default " + std::to_string(w.width) + "x" + std::to_string(w.height) + ")",
        "(default " + std::to_string(w.samples_per_pixel) + ")", "(default " + std::to_string(w.max_depth) + ")",
        "(default " + std::to_string(w.tile_size) + ")", std::string("Exit codes: 0 done"),
        std::string("130 cancelled")})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  EXPECT_EQ(text.find('{'), std::string::npos) << text;  // no "--no-history{false}"
  EXPECT_NE(text.find("--image FILE.png"), std::string::npos) << text;
  EXPECT_NE(text.find("--size WxH"), std::string::npos) << text;
  // Each command lists only the exit codes it can end with.
  const std::string info = std::get<EarlyExit>(parse({"info", "--help"})).text;
  EXPECT_NE(info.find("Exit codes: 0 done; 2 bad usage."), std::string::npos) << info;
  EXPECT_EQ(info.find("130"), std::string::npos) << info;
  const std::string history = std::get<EarlyExit>(parse({"history", "--help"})).text;
  EXPECT_NE(history.find("1 the history could not be read"), std::string::npos) << history;
  EXPECT_EQ(history.find("reference"), std::string::npos) << history;
  const EarlyExit version = std::get<EarlyExit>(parse({"--version"}));
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.text.substr(0, 13), "strelvik-cli ");
}

TEST(ImageSize, AcceptsOnlyPositiveSizesThatFitThe32BitImage) {
  EXPECT_EQ(parse_image_size("1920x1080"), (std::pair<std::int32_t, std::int32_t>{1920, 1080}));
  EXPECT_EQ(parse_image_size("23170X23170"), (std::pair<std::int32_t, std::int32_t>{23170, 23170}));
  EXPECT_FALSE(parse_image_size("23171x23171"));
  EXPECT_FALSE(parse_image_size("1920"));
  EXPECT_FALSE(parse_image_size("1920x"));
  EXPECT_FALSE(parse_image_size("x1080"));
  EXPECT_FALSE(parse_image_size("19 20x1080"));
  EXPECT_FALSE(parse_image_size("-5x10"));
  EXPECT_FALSE(parse_image_size("99999999999x1"));
}

TEST(ProgressLine, ShowsCountsPercentAndRemainingTime) {
  const RemainingTimeEstimator uniform;
  EXPECT_EQ(format_progress_line("multi (8 threads)", {510, 2040, 12.0}, remaining_text(uniform, {510, 2040, 12.0}), 0),
            "multi (8 threads) 510/2040   25.0%  elapsed 0:12  remaining 0:36");
  // Without tile costs a count of tiles says nothing before a tenth of them are done.
  EXPECT_EQ(remaining_text(uniform, {0, 2040, 0.0}), "estimating\u2026");
  EXPECT_EQ(remaining_text(uniform, {203, 2040, 10.0}), "estimating\u2026");
  EXPECT_EQ(remaining_text(uniform, {204, 2040, 10.0}), "1:30");
  EXPECT_EQ(remaining_text(uniform, {2040, 2040, 75.0}), "");
  EXPECT_EQ(format_progress_line("single (1 thread)", {2040, 2040, 75.0}, "", 0),
            "single (1 thread) 2040/2040  100.0%  elapsed 1:15");
  EXPECT_EQ(format_duration(3725.0), "1:02:05");
  // The percentage is the work's share when the reporter knows it, not the tiles'.
  EXPECT_EQ(format_progress_line(
                "multi", {.tiles_done = 510, .tile_count = 2040, .elapsed_seconds = 12.0, .done_share = 0.5}, "", 0),
            "multi 510/2040   50.0%  elapsed 0:12");
}

TEST(ProgressLine, FitsTheTerminalShorteningTheBarFirst) {
  const ProgressSnapshot s{510, 2040, 12.0};
  const std::string label = "multi (16 threads)";
  const std::string wide = format_progress_line(label, s, "estimating\u2026", 200);
  EXPECT_EQ(wide.substr(0, 20), "multi (16 threads) [");
  EXPECT_NE(wide.find("[#######.......................]"), std::string::npos);  // a full bar of 30

  const auto columns = [](const std::string& text) {
    return std::count_if(text.begin(), text.end(),
                         [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  };
  std::string previous = wide;
  for (int width : {100, 80, 60, 50, 40, 30, 20, 10}) {
    const std::string line = format_progress_line(label, s, "estimating\u2026", width);
    EXPECT_LE(columns(line), width - 1) << line;  // never the last column, where terminals wrap
    EXPECT_LE(columns(line), columns(previous));
    previous = line;
  }
  // At 80 columns only the bar gives way; at 60 the bar and then the elapsed time are gone.
  const std::string at80 = format_progress_line(label, s, "0:36", 80);
  EXPECT_NE(at80.find("multi (16 threads) [#"), std::string::npos);
  EXPECT_NE(at80.find("elapsed 0:12  remaining 0:36"), std::string::npos);
  EXPECT_EQ(format_progress_line(label, s, "0:36", 60), "multi (16 threads) 510/2040   25.0%  remaining 0:36");
  EXPECT_NE(format_progress_line(label, s, "0:36", 20).find("510/2040"), std::string::npos);
}

TEST(RemainingTime, TileCostsWeighTheWorkDone) {
  // Four tiles, the first one as costly as the other three together: half the work after one.
  const std::vector<double> costs{3.0, 1.0, 1.0, 1.0};
  const RemainingTimeEstimator weighted(costs);
  EXPECT_DOUBLE_EQ(*weighted.remaining_seconds(1, 4, 10.0), 10.0);
  EXPECT_DOUBLE_EQ(*weighted.remaining_seconds(3, 4, 25.0), 5.0);
  EXPECT_FALSE(weighted.remaining_seconds(0, 4, 1.0));
  // Costs of another length than the run's tiles are not this run's: counted, not weighed.
  EXPECT_FALSE(weighted.remaining_seconds(1, 20, 10.0));
  EXPECT_DOUBLE_EQ(*weighted.remaining_seconds(2, 20, 10.0), 90.0);
}

TEST(RunReport, JsonHasTheDocumentedKeysInOrder) {
  RunReport report;
  report.result = BenchmarkResult{RunKind::multi, 1234, 97.25, 8, "2026-12-07T10:00:00"};
  report.workload = kStandardWorkload;
  report.image_sha256 = "ab";
  report.sensors = SensorSummary{};
  const auto custom = run_report_json(report);
  std::vector<std::string> keys;
  for (const auto& item : custom.items()) {
    keys.push_back(item.key());
  }
  EXPECT_EQ(keys,
            (std::vector<std::string>{"type", "score", "time_seconds", "threads", "date", "width", "height", "samples",
                                      "max_depth", "tile_size", "image_sha256", "verified", "custom", "recorded",
                                      "submit_status", "sensors", "warnings", "comparison", "comparison_reason"}));
  EXPECT_TRUE(custom["verified"].is_null());
  EXPECT_TRUE(custom["submit_status"].is_null());
  report.verdict.image_verified = false;
  EXPECT_EQ(run_report_json(report)["verified"], false);
  EXPECT_NE(run_report_text(report).find("NOT VERIFIED"), std::string::npos);
}

TEST(RunSummary, TheSmtUpliftComparesTheMedianRunsOfBothKindsInWholePercent) {
  EXPECT_EQ(smt_uplift_text(1000, 1310), "+31 %");
  EXPECT_EQ(smt_uplift_text(1000, 965), "-4 %") << "half away from zero";
  EXPECT_EQ(smt_uplift_text(1000, 1004), "+0 %");
  EXPECT_EQ(smt_uplift_text(0, 1310), "");
  std::vector<RunReport> reports(4);
  const std::pair<RunKind, std::int32_t> runs[] = {
      {RunKind::single, 1000}, {RunKind::smt, 1400}, {RunKind::smt, 1320}, {RunKind::smt, 1300}};
  for (std::size_t i = 0; i < 4; ++i) reports[i].result = BenchmarkResult{runs[i].first, runs[i].second, 1.0, 2, ""};
  EXPECT_EQ(smt_uplift_line(reports), "SMT uplift: +32 % (smt 1320 over single 1000)\n");
  reports[0].verdict.image_verified = false;
  EXPECT_EQ(smt_uplift_line(reports), "") << "a wrong image compares with nothing";
}

TEST(RunSummary, MedianMinMaxAndSpreadPerKind) {
  std::vector<RunReport> reports(5);
  const double times[] = {10.0, 12.0, 11.0, 30.0, 11.5};
  for (int i = 0; i < 5; ++i) {
    reports[i].result = BenchmarkResult{i == 4 ? RunKind::single : RunKind::multi, static_cast<int>(120000 / times[i]),
                                        times[i], 2, ""};
  }
  const auto summaries = summarize(reports);
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0].kind, RunKind::single);
  EXPECT_EQ(summaries[1].runs, 4);
  // An even count: the median is the lower middle run (score 10000 in 12 s), the run a series
  // submits, never the mean of two runs.
  EXPECT_EQ(summaries[1].median_score, 10000);
  EXPECT_DOUBLE_EQ(summaries[1].median_time, 12.0);
  EXPECT_EQ(summaries[1].min_score, 4000);
  EXPECT_DOUBLE_EQ(summaries[1].min_time, 10.0);
  EXPECT_DOUBLE_EQ(summaries[1].spread_percent, 20.0 / 12.0 * 100.0);
  const auto json = run_summary_json(summaries[1]);
  EXPECT_EQ(json["type"], "summary");
  for (const char* key : {"median_score", "min_score", "max_score"}) EXPECT_TRUE(json[key].is_number_integer()) << key;
  EXPECT_NE(run_summary_text(summaries[1]).find("median score 10000 (min 4000, max 12000), median time 12.000 s"),
            std::string::npos);
}
