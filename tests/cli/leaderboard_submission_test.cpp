// What the runner submits to the leaderboard and how it shows the leaderboard, without a network.
#include "leaderboard_client/terminal_text.h"

#include <gtest/gtest.h>

#include <vector>

#include "cli/command_line.h"
#include "cli/leaderboard_command.h"
#include "cli/run_comparison.h"
#include "cli/run_report.h"

namespace {

Command parse(std::vector<const char*> args) {
  args.insert(args.begin(), "strelvik-cli");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

RunReport run(RunKind kind, int score, bool verified = true, bool custom = false) {
  RunReport r;
  r.result = BenchmarkResult{kind, score, 1.0, 1, ""};
  r.verdict.image_verified = verified;
  r.verdict.custom = custom;
  r.verdict.may_record = r.verdict.may_submit = verified && !custom;
  return r;
}

TEST(LeaderboardCommandLine, NoSubmitAndTheLeaderboardSubcommand) {
  EXPECT_TRUE(std::get<RunOptions>(parse({"multi"})).submit);
  EXPECT_FALSE(std::get<RunOptions>(parse({"both", "--repeat", "3", "--no-submit"})).submit);
  EXPECT_FALSE(std::get<LeaderboardRequest>(parse({"leaderboard"})).kind);
  EXPECT_EQ(std::get<LeaderboardRequest>(parse({"leaderboard", "single"})).kind, RunKind::single);
  for (std::vector<const char*> bad : {std::vector<const char*>{"leaderboard", "Single"},
                                       {"leaderboard", "both"},
                                       {"leaderboard", "--no-submit"},
                                       {"leaderboard", "multi", "single"}}) {
    const Command command = parse(bad);
    ASSERT_TRUE(std::holds_alternative<EarlyExit>(command)) << bad[1];
    EXPECT_EQ(std::get<EarlyExit>(command).code, 2);
  }
}

TEST(SeriesSubmission, TheMedianVerifiedStandardRunOfEachKind) {
  std::vector<RunReport> reports{run(RunKind::multi, 900),
                                 run(RunKind::multi, 1000),
                                 run(RunKind::multi, 800),
                                 run(RunKind::single, 50),
                                 run(RunKind::multi, 5000, true, true),
                                 run(RunKind::multi, 7000, false)};
  // Custom and unverified runs take no part: the median of 800, 900 and 1000.
  EXPECT_EQ(median_run(reports, RunKind::multi), 0u);
  EXPECT_EQ(median_run(reports, RunKind::single), 3u);
  // An even count takes the lower middle score, never an average no run produced.
  reports.push_back(run(RunKind::multi, 950));
  EXPECT_EQ(median_run(reports, RunKind::multi), 0u);
  EXPECT_FALSE(median_run({run(RunKind::single, 5, false), run(RunKind::single, 6, true, true)}, RunKind::single));
}

TEST(SeriesSubmission, ARunKeptBackByItsWarningsIsComparedAndALowScoreNamesThem) {
  const RunWarning battery{RunWarningCode::Battery, "The machine ran on battery."};
  RunReport kept = run(RunKind::multi, 700);
  kept.verdict.may_compare = true;
  hold_back_for_warnings(kept.verdict, {battery});
  kept.warnings = {battery};
  const std::vector<RunReport> reports{kept};
  EXPECT_FALSE(median_run(reports, RunKind::multi));
  EXPECT_EQ(median_run(reports, RunKind::multi, MedianOf::ComparableRuns), 0u);
  // In a series it waits for the median like any other run, not for a submission it cannot have.
  EXPECT_EQ(not_compared_reason(kept.verdict, true), "only the series' median run is compared");

  kept.comparison = ComparisonOutcome{ScoreComparison{ComparisonVerdict::low, 40, 1000, 2, 30}, ""};
  const std::string text = run_report_text(kept);
  EXPECT_NE(text.find("Likely cause: The machine ran on battery."), std::string::npos) << text;
}

TEST(LeaderboardTable, MarksOnlyThisMachinesExactName) {
  // Runs beyond those counted (more than 3 of one sender) do not lift the "~" mark.
  const std::vector<LeaderboardRow> rows{
      {"Example CPU", 8123, 9, 5}, {"example cpu", 8000, 9, 4}, {"Example CPU ", 7000, 3}};
  const std::string text = leaderboard_table_text(rows, "Example CPU");
  EXPECT_EQ(text,
            "     #  CPU                                                  Score   Runs\n"
            "*    1  Example CPU                                           8123      9\n"
            " ~   2  example cpu                                           8000      9\n"
            " ~   3  Example CPU                                           7000      3\n"
            "* this machine\n"
            "~ fewer than 5 runs counted in the average\n");
  EXPECT_EQ(leaderboard_table_text(rows, "Other").find('*'), std::string::npos);
  EXPECT_EQ(leaderboard_table_text({}, "Example CPU"), "No data yet\n");
}

TEST(LeaderboardTable, ServerTextCannotControlTheTerminal) {
  // Clear screen, window title, a C1 control (U+009B, CSI), DEL and bytes that are not UTF-8.
  const std::vector<LeaderboardRow> rows{
      {"A\x1b[2J\x1b]0;owned\x07 \xc2\x9b"
       "2J\x7f \xff\xc0\xaf é™",
       1, 1}};
  const std::string text = leaderboard_table_text(rows, "");
  EXPECT_NE(text.find(R"(A\x1B[2J\x1B]0;owned\x07 \u009B2J\x7F \xFF\xC0\xAF é™)"), std::string::npos) << text;
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << text;
  EXPECT_EQ(escape_for_terminal("Ryzen™ 9 «Ω»"), "Ryzen™ 9 «Ω»");
}

TEST(RunReportSubmission, StatusInTextAndJson) {
  RunReport report = run(RunKind::multi, 8123);
  report.submit_status = "Submitted OK (multi 8123)";
  EXPECT_EQ(run_report_json(report)["submit_status"], "Submitted OK (multi 8123)");
  EXPECT_NE(run_report_text(report).find("  leaderboard: Submitted OK (multi 8123)\n"), std::string::npos);
  RunSummary summary;
  summary.kind = RunKind::multi;
  EXPECT_TRUE(run_summary_json(summary)["submit_status"].is_null());
  summary.submit_status = "Submit error: HTTP 429";
  EXPECT_EQ(run_summary_json(summary)["submit_status"], "Submit error: HTTP 429");

  // The comparison follows the submission line; a low one names the usual causes below it.
  report.comparison = ComparisonOutcome{ScoreComparison{ComparisonVerdict::low, 40, 9000, 3, 10}, ""};
  EXPECT_NE(run_report_text(report).find("  leaderboard: Submitted OK (multi 8123)\n"
                                         "  comparison: Low for this processor: 3rd percentile of 40 runs, 10 % below "
                                         "the median 9000\n  Usual causes: cooling, power plan, memory settings\n"),
            std::string::npos);
  // Without a leaderboard only the JSON says why there is none.
  report.comparison = ComparisonOutcome{std::nullopt, std::string(kNotConfigured)};
  EXPECT_EQ(run_report_text(report).find("comparison"), std::string::npos);
  EXPECT_EQ(run_report_json(report)["comparison_reason"], "Leaderboard not configured");
}

}  // namespace
