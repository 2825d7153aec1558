#include <gtest/gtest.h>

#include <vector>

#include "cli/command_line.h"
#include "cli/progress_reporter.h"
#include "cli/run_options.h"
#include "cli/run_report.h"

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
  EXPECT_EQ(options.kind, RunKind::Both);
  const std::vector<BenchmarkConfig> runs = planned_runs(options, 16);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].thread_count, 1);
  EXPECT_EQ(runs[1].thread_count, 16);
  for (const BenchmarkConfig& c : runs) {
    EXPECT_EQ(c.samples_per_pixel, 128);
    EXPECT_EQ(c.max_depth, 50);
    EXPECT_EQ(c.tile_size, 32);
    EXPECT_EQ(c.width, 1920);
    EXPECT_EQ(c.height, 1080);
  }
}

TEST(CommandLine, CustomOptionsAndRepeats) {
  const auto options =
      std::get<RunOptions>(parse({"multi", "--threads", "3", "--repeat", "4", "--size", "64x32", "--spp", "2",
                                  "--depth", "5", "--tile", "8", "--json", "--no-history", "--image", "out.png"}));
  EXPECT_TRUE(options.json);
  EXPECT_FALSE(options.record_history);
  EXPECT_EQ(options.image_path, "out.png");
  const auto runs = planned_runs(options, 2);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[3].thread_count, 3);
  EXPECT_EQ(runs[3].width, 64);
  EXPECT_EQ(runs[3].height, 32);
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

TEST(ProgressLine, ShowsCountsPercentAndExtrapolatedRemainingTime) {
  EXPECT_EQ(format_progress_line({510, 2040, 12.0}, 8), "[##......]  510/2040   25.0%  elapsed 0:12  remaining 0:36");
  EXPECT_EQ(format_progress_line({0, 2040, 0.0}, 0), "0/2040    0.0%  elapsed 0:00");
  EXPECT_EQ(format_progress_line({2040, 2040, 75.0}, 0), "2040/2040  100.0%  elapsed 1:15");
  EXPECT_EQ(format_duration(3725.0), "1:02:05");
}

TEST(RunReport, JsonHasTheDocumentedKeysInOrder) {
  RunReport report;
  report.result = BenchmarkResult{"multi", 1234, 97.25, 8, "2026-12-07T10:00:00"};
  report.config = standard_config(8);
  report.image_sha256 = "ab";
  const auto custom = run_report_json(report);
  std::vector<std::string> keys;
  for (const auto& item : custom.items()) {
    keys.push_back(item.key());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"type", "score", "time_seconds", "threads", "date", "width", "height",
                                            "samples", "max_depth", "tile_size", "image_sha256", "verified", "custom",
                                            "recorded", "submit_status"}));
  EXPECT_TRUE(custom["verified"].is_null());
  EXPECT_TRUE(custom["submit_status"].is_null());
  report.verdict.image_verified = false;
  EXPECT_EQ(run_report_json(report)["verified"], false);
  EXPECT_NE(run_report_text(report).find("NOT VERIFIED"), std::string::npos);
}

TEST(RunSummary, MedianMinMaxAndSpreadPerKind) {
  std::vector<RunReport> reports(5);
  const double times[] = {10.0, 12.0, 11.0, 30.0, 11.5};
  for (int i = 0; i < 5; ++i) {
    reports[i].result =
        BenchmarkResult{i == 4 ? "single" : "multi", static_cast<int>(120000 / times[i]), times[i], 2, ""};
  }
  const auto summaries = summarize(reports);
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0].kind, "single");
  EXPECT_EQ(summaries[1].runs, 4);
  EXPECT_DOUBLE_EQ(summaries[1].median_time, 11.5);
  EXPECT_DOUBLE_EQ(summaries[1].min_time, 10.0);
  EXPECT_DOUBLE_EQ(summaries[1].spread_percent, 20.0 / 11.5 * 100.0);
  EXPECT_EQ(run_summary_json(summaries[1])["type"], "summary");
}
