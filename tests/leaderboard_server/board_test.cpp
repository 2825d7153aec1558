// The standings behind the web page and the API's extra keys: percentiles, competition ranks,
// the search filter and one processor's figures.
#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/api/board_replies.h"
#include "leaderboard_server/rules/percentiles.h"
#include "leaderboard_server/rules/processor_summary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <random>

using nlohmann::json;

namespace {

// Nearest rank by its definition: the smallest score that at least `percent` % of the runs do
// not exceed.
int reference_percentile(std::vector<int> scores, int percent) {
  std::sort(scores.begin(), scores.end());
  for (std::size_t i = 0; i < scores.size(); ++i)
    if ((i + 1) * 100 >= static_cast<std::size_t>(percent) * scores.size()) return scores[i];
  return 0;
}

TEST(Percentiles, AreNearestRankAndTheMedianOfAnEvenCountIsTheLowerMiddle) {
  const ScoreSpread four = spread_of({40, 10, 30, 20});
  EXPECT_EQ(four.median, 20);
  EXPECT_EQ(four.min, 10);
  EXPECT_EQ(four.max, 40);
  EXPECT_EQ(four.p10, 10);
  EXPECT_EQ(four.p90, 40);
  const ScoreSpread one = spread_of({7});
  EXPECT_EQ(one.min + one.p10 + one.median + one.p90 + one.max, 35);
  EXPECT_EQ(spread_of({}).median, 0);
  // Ten runs: the 10th percentile is the first, the 90th the ninth.
  EXPECT_EQ(spread_of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}).p90, 9);
  EXPECT_EQ(spread_of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}).p10, 1);

  std::mt19937 rng(16);
  for (int n = 1; n <= 60; ++n) {
    std::vector<int> scores;
    for (int i = 0; i < n; ++i) scores.push_back(std::uniform_int_distribution<int>(1, 500)(rng));
    const ScoreSpread s = spread_of(scores);
    EXPECT_EQ(s.p10, reference_percentile(scores, 10)) << n;
    EXPECT_EQ(s.median, reference_percentile(scores, 50)) << n;
    EXPECT_EQ(s.p90, reference_percentile(scores, 90)) << n;
  }
}

std::vector<StoredScore> sample_runs() {
  // "outlier" has one wild run: excluded from its average, not from its spread.
  return {{"tie b", 200, 8, "2026-01-02T00:00:00.000Z"},   {"tie a", 200, 4, "2026-01-01T00:00:00.000Z"},
          {"top", 300, 16, "2026-01-03T00:00:00.000Z"},    {"low", 100, 2, "2026-01-01T00:00:00.000Z"},
          {"outlier", 150, 8, "2026-01-05T00:00:00.000Z"}, {"outlier", 150, 8, "2026-01-04T00:00:00.000Z"},
          {"outlier", 150, 4, "2026-01-06T00:00:00.000Z"}, {"outlier", 150, 8, "2026-01-01T00:00:00.000Z"},
          {"outlier", 9000, 8, "2026-01-02T00:00:00.000Z"}};
}

TEST(Board, RanksLikeACompetitionAndKeepsEveryRunInTheSpread) {
  const Board board = build_board(sample_runs());
  std::vector<std::pair<std::string, long long>> ranks;
  for (const auto& e : board.entries) ranks.emplace_back(e.row.cpu, e.rank);
  EXPECT_EQ(ranks, (std::vector<std::pair<std::string, long long>>{
                       {"top", 1}, {"tie a", 2}, {"tie b", 2}, {"outlier", 4}, {"low", 5}}));
  const BoardEntry* outlier = find_processor(board, "outlier");
  ASSERT_NE(outlier, nullptr);
  EXPECT_EQ(outlier->row.avg_score, 150);
  EXPECT_EQ(outlier->spread.max, 9000);
  EXPECT_EQ(outlier->spread.p90, 9000);
  EXPECT_EQ(outlier->spread.median, 150);
  EXPECT_EQ(outlier->threads, (std::vector<int>{4, 8}));
  EXPECT_EQ(find_processor(board, "Outlier"), nullptr);  // names are exact
  EXPECT_EQ(find_processor(board, "zzz"), nullptr);
}

TEST(Board, ApiRowsKeepTheClientsKeysAndAddTheSpreadAndThreads) {
  const json rows = json::parse(api_reply(build_board(sample_runs()), 2))["leaderboard"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0],
            json::parse(R"({"cpu":"top","avg_score":300,"runs":1,"counted_runs":1,"median":300,"p10":300,"p90":300,
                                      "min":300,"max":300,"threads":[16]})"));
  EXPECT_TRUE(json::parse(api_reply(build_board(std::vector<ProcessorRow>{}), 5)) ==
              json::parse(R"({"leaderboard":[]})"));
}

TEST(Board, CountedRunsAreThoseItsAverageCountsAtMostThreeOfOneSender) {
  std::vector<StoredScore> runs;
  for (int i = 0; i < 6; ++i) runs.push_back({"busy", 100 + i, 4, "2026-01-01T00:00:00.000Z", "one sender"});
  runs.push_back({"busy", 100, 4, "2026-01-02T00:00:00.000Z", "another"});
  const Board board = build_board(runs);
  EXPECT_EQ(board.entries[0].row.runs, 7);
  EXPECT_EQ(board.entries[0].counted_runs, 4);
  EXPECT_EQ(build_board(runs, 0).entries[0].counted_runs, 7);  // every run counts at a LAN event
  EXPECT_EQ(json::parse(page_rows_reply(board, "", 5))["rows"][0]["counted_runs"], 4);
}

TEST(Board, TheSearchLooksAtEveryProcessorIgnoringAsciiCase) {
  const Board board = build_board(sample_runs());
  // The top row alone fits max_rows, yet the filter finds ranks below it.
  const json tie = json::parse(page_rows_reply(board, "TIE", 1));
  EXPECT_EQ(tie["processors"], 5);
  EXPECT_EQ(tie["matches"], 2);
  ASSERT_EQ(tie["rows"].size(), 1u);
  EXPECT_EQ(tie["rows"][0]["cpu"], "tie a");
  EXPECT_EQ(tie["rows"][0]["rank"], 2);
  EXPECT_EQ(json::parse(page_rows_reply(board, "w", 10))["rows"][0]["cpu"], "low");
  EXPECT_EQ(json::parse(page_rows_reply(board, "nothing", 10))["matches"], 0);
  EXPECT_EQ(json::parse(page_rows_reply(board, "", 1))["rows"].size(), 1u);
  EXPECT_TRUE(contains_ignoring_case("Ryzen 9 ÉTÉ", "ryzen 9 É"));
  EXPECT_FALSE(contains_ignoring_case("ÉTÉ", "été"));  // only ASCII letters fold
  EXPECT_TRUE(contains_ignoring_case("abc", ""));
}

TEST(Board, AProcessorsPageCountsEveryRunIntoTheHistogram) {
  std::vector<StoredScore> runs;
  for (int i = 0; i < 30; ++i) runs.push_back({"cpu", 1000 + i * 37, i % 3 == 0 ? 16 : 32, "2026-02-01T00:00:00.000Z"});
  runs.push_back({"cpu", 1000, 16, "2026-01-01T00:00:00.000Z"});
  const Board board = build_board(runs);
  const json page = json::parse(processor_reply(board, *find_processor(board, "cpu"), summarise_runs(runs).at(0)));
  EXPECT_EQ(page["rank"], 1);
  EXPECT_EQ(page["runs"], 31);
  const auto counts = page["histogram"]["counts"].get<std::vector<long long>>();
  EXPECT_LE(counts.size(), static_cast<std::size_t>(kHistogramBins));
  long long total = 0;
  for (long long c : counts) total += c;
  EXPECT_EQ(total, 31);
  EXPECT_EQ(page["histogram"]["width"], 54);  // 1074 possible scores in 20 bins
  EXPECT_EQ(counts.front(), 3);               // 1000 twice and 1037
  EXPECT_EQ(page["histogram"]["from"], 1000);
  EXPECT_GE(page["histogram"]["from"].get<long long>() +
                static_cast<long long>(counts.size()) * page["histogram"]["width"].get<long long>(),
            1000 + 29 * 37 + 1);
  EXPECT_EQ(page["thread_counts"], json::parse(R"([{"threads":16,"runs":11},{"threads":32,"runs":20}])"));
  // One point per day: runs, mean, lowest, highest.
  EXPECT_EQ(page["history"], json::parse(R"([["2026-01-01",1,1000,1000,1000],["2026-02-01",30,1537,1000,2073]])"));
}

TEST(Board, TheDistributionGivesEachBucketsOwnBoundsAndAddsUpToTheRuns) {
  std::vector<StoredScore> runs;
  for (int i = 0; i < 40; ++i) runs.push_back({"cpu", 2400 + i * 3, 8, "2026-02-01T00:00:00.000Z"});
  const json d = json::parse(distribution_reply(RunKind::multi, summarise_runs(runs).at(0)));
  EXPECT_EQ(d["kind"], "multi");
  EXPECT_EQ(d["cpu"], "cpu");
  EXPECT_EQ(d["runs"], 40);
  long long total = 0, previous_upper = 0;
  for (const json& b : d["buckets"]) {
    const int lower = b[0], upper = b[1];
    EXPECT_EQ(score_bucket(lower), score_bucket(upper)) << b;
    EXPECT_EQ(score_bucket(lower - 1) + 1, score_bucket(lower)) << b;  // the bucket's own lower bound
    EXPECT_GT(lower, previous_upper);
    previous_upper = upper;
    total += b[2].get<long long>();
  }
  EXPECT_EQ(total, 40);
  EXPECT_LE(std::abs(d["median"].get<int>() - 2457), 25);  // within one bucket of the exact median
}

}  // namespace
