// Placing a score among its processor's runs from the served distribution, and refusing any
// distribution that could place it wrongly.
#include "leaderboard_client/score_comparison.h"

#include "leaderboard_client/comparison_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

ScoreDistribution distribution(std::int32_t median, std::vector<DistributionBucket> buckets) {
  std::int64_t runs = 0;
  for (const auto& b : buckets) runs += b.runs;
  return {.runs = runs, .median = median, .buckets = std::move(buckets)};
}

TEST(ScoreComparison, IsTheShareBelowPlusHalfTheEqualOnesWhereBucketsAreOnePointWide) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    std::vector<int> runs(5 + random() % 60);
    for (int& s : runs) s = 100 + static_cast<int>(random() % 30);
    std::map<int, std::int64_t> counts;
    for (int s : runs) ++counts[s];
    std::vector<DistributionBucket> buckets;
    for (const auto& [score, n] : counts) buckets.push_back({score, score, n});
    const ScoreDistribution d = distribution(runs[0], buckets);
    for (int score = 95; score <= 135; ++score) {
      const auto below = std::count_if(runs.begin(), runs.end(), [&](int s) { return s < score; });
      const auto equal = std::count(runs.begin(), runs.end(), score);
      const double exact =
          100.0 * (static_cast<double>(below) + static_cast<double>(equal) / 2) / static_cast<double>(runs.size());
      const ScoreComparison c = compare_score(d, score);
      ASSERT_TRUE(c.percentile);
      ASSERT_LE(std::abs(*c.percentile - exact), 0.5) << "seed " << seed << ", score " << score;
    }
  }
}

TEST(ScoreComparison, CountsHalfTheScoresBucketAsBelowItAndJudgesTheRoundedPercentile) {
  const ScoreDistribution d = distribution(1014, {{1000, 1009, 4}, {1010, 1019, 10}, {1020, 1029, 6}});
  EXPECT_EQ(compare_score(d, 1012).percentile, 45);  // 4 below, the 10 of its bucket straddle it
  EXPECT_EQ(compare_score(d, 1025).percentile, 85);
  EXPECT_EQ(compare_score(d, 1009), (ScoreComparison{ComparisonVerdict::typical, 20, 1014, 10, std::nullopt}));
  EXPECT_EQ(compare_score(d, 999), (ScoreComparison{ComparisonVerdict::low, 20, 1014, 0, 1}));  // 1.48 % below
  EXPECT_EQ(compare_score(d, 500), (ScoreComparison{ComparisonVerdict::low, 20, 1014, 0, 51}));
  EXPECT_EQ(compare_score(d, 1030).verdict, ComparisonVerdict::high);
  EXPECT_EQ(compare_score(d, 1030).percentile, 100);
  // A median at the top of the score range: twice it does not fit 32 bits.
  EXPECT_EQ(compare_score(distribution(2147483600, {{2147483000, 2147483647, 40}}), 68645).below_median_percent, 100);

  // 90 is still typical, above it high; 9.5 rounds to 10, typical, while 9.25 is low.
  const ScoreDistribution top = distribution(100, {{100, 100, 9}, {200, 200, 1}});
  EXPECT_EQ(compare_score(top, 150).verdict, ComparisonVerdict::typical);
  EXPECT_EQ(compare_score(top, 200).verdict, ComparisonVerdict::high);  // 95
  EXPECT_EQ(compare_score(distribution(102, {{100, 100, 18}, {101, 101, 2}, {102, 102, 180}}), 101).verdict,
            ComparisonVerdict::typical);
  EXPECT_EQ(compare_score(distribution(102, {{100, 100, 18}, {101, 101, 1}, {102, 102, 181}}), 101).verdict,
            ComparisonVerdict::low);
}

TEST(ScoreComparison, NeedsFiveRunsAndSaysSoInOneLine) {
  const ScoreComparison few = compare_score(distribution(2470, {{2450, 2473, 4}}), 2460);
  EXPECT_EQ(few.verdict, ComparisonVerdict::too_few);
  EXPECT_FALSE(few.percentile);
  EXPECT_EQ(comparison_text(few), "Too few runs of this processor to compare (4)");
  EXPECT_EQ(compare_score(distribution(2470, {{2450, 2473, 5}}), 2460).verdict, ComparisonVerdict::typical);

  EXPECT_EQ(comparison_text({ComparisonVerdict::typical, 40, 2470, 1, std::nullopt}),
            "Typical for this processor: 1st percentile of 40 runs (median 2470)");
  EXPECT_EQ(comparison_text({ComparisonVerdict::low, 40, 2470, 2, 12}),
            "Low for this processor: 2nd percentile of 40 runs, 12 % below the median 2470");
  EXPECT_EQ(comparison_text({ComparisonVerdict::high, 40, 2470, 93, std::nullopt}),
            "High for this processor: 93rd percentile of 40 runs (median 2470)");
  for (const auto& [percent, text] :
       std::vector<std::pair<int, std::string>>{{11, "11th"}, {12, "12th"}, {13, "13th"}, {22, "22nd"}, {100, "100th"}})
    EXPECT_NE(comparison_text({ComparisonVerdict::typical, 40, 2470, percent, std::nullopt}).find(text + " percentile"),
              std::string::npos);
  EXPECT_STREQ(comparison_verdict_text(ComparisonVerdict::too_few), "too_few");
}

TEST(DistributionReading, ReadsTheServedShape) {
  const DistributionReading r = read_distribution(
      R"({"kind":"multi","cpu":"Example CPU","runs":8,"median":2430,"buckets":[[2400,2423,3],[2424,2447,5]],"extra":1})",
      RunKind::multi, "Example CPU");
  ASSERT_TRUE(r.distribution) << r.error;
  EXPECT_EQ(r.distribution->runs, 8);
  EXPECT_EQ(r.distribution->median, 2430);
  EXPECT_EQ(r.distribution->buckets, (std::vector<DistributionBucket>{{2400, 2423, 3}, {2424, 2447, 5}}));
}

TEST(DistributionReading, RefusesWhatCouldPlaceAScoreWronglyWithAReason) {
  const auto reason = [](const std::string& reply) {
    const DistributionReading r = read_distribution(reply, RunKind::multi, "X");
    EXPECT_FALSE(r.distribution) << reply;
    return r.error;
  };
  const std::string ok_head = R"({"kind":"multi","cpu":"X",)";
  EXPECT_EQ(reason(""), "Unusable distribution from the server: not JSON (at byte 1)");
  EXPECT_EQ(reason(ok_head + R"("runs":1e400,"median":5,"buckets":[[5,5,1]]})"),
            "Unusable distribution from the server: not JSON (a number out of range)");
  EXPECT_EQ(reason(ok_head + R"("runs":0,"median":1,"buckets":[]})"), "Unusable distribution from the server: no runs");
  EXPECT_NE(
      reason(R"({"kind":"single","cpu":"X","runs":1,"median":5,"buckets":[[5,5,1]]})").find("kind asked for (multi)"),
      std::string::npos);
  EXPECT_NE(reason(R"({"kind":"multi","cpu":"\u001b[31mY","runs":1,"median":5,"buckets":[[5,5,1]]})")
                .find("another processor"),
            std::string::npos);
  for (const std::string& bad : {
           std::string(R"({"kind":"multi","cpu":"X","runs":1,"median":5,"buckets":[[5,5,1]]} {})"),  // two values
           std::string(R"({"cpu":"X","runs":1,"median":5,"buckets":[[5,5,1]]})"),
           std::string(R"({"kind":"multi","runs":1,"median":5,"buckets":[[5,5,1]]})"),
       })
    EXPECT_FALSE(reason(bad).empty()) << bad;
  for (const char* rest : {
           R"("runs":"1","median":5,"buckets":[[5,5,1]]})",  // text for a number
           R"("runs":1.0,"median":5,"buckets":[[5,5,1]]})",  // not an integer
           R"("runs":-1,"median":5,"buckets":[[5,5,1]]})",
           R"("median":5,"buckets":[[5,5,1]]})",  // no count
           R"("runs":1,"buckets":[[5,5,1]]})",    // no median
           R"("runs":1,"median":0,"buckets":[[5,5,1]]})",
           R"("runs":1,"median":5})",  // no buckets
           R"("runs":1,"median":5,"buckets":{}})",
           R"("runs":1,"median":5,"buckets":[]})",  // fewer than the count
           R"("runs":1,"median":5,"buckets":[[5,5]]})",
           R"("runs":1,"median":5,"buckets":[[6,5,1]]})",  // ends before it starts
           R"("runs":1,"median":5,"buckets":[[0,5,1]]})",
           R"("runs":1,"median":5,"buckets":[[5,2147483648,1]]})",  // beyond 32 bits
           R"("runs":1,"median":5,"buckets":[[5,5,0],[6,6,1]]})",   // an empty bucket
           R"("runs":2,"median":5,"buckets":[[5,6,1],[6,7,1]]})",   // overlapping
           R"("runs":2,"median":5,"buckets":[[7,7,1],[5,5,1]]})",   // out of order
           R"("runs":2,"median":5,"buckets":[[5,5,1],[6,6,2]]})",   // more than the count
           R"("runs":1,"median":9,"buckets":[[5,5,1]]})",           // median outside
           R"("runs":18446744073709551615,"median":5,"buckets":[[5,5,1]]})",
       })
    EXPECT_NE(reason(ok_head + rest).find("Unusable distribution from the server: "), std::string::npos) << rest;
}

TEST(ComparisonRequest, SendsTheNameAndKindOnlyAndReadsEveryKindOfReply) {
  // Every byte outside the unreserved set is escaped: '&' or '#' in a name cannot end the query.
  EXPECT_EQ(distribution_path(RunKind::single, "Core\xe2\x84\xa2 i9 & co #1"),
            "/cpu.json?kind=single&name=Core%E2%84%A2%20i9%20%26%20co%20%231&distribution=1");
  const std::string served = R"({"kind":"multi","cpu":"X","runs":5,"median":100,"buckets":[[90,110,5]]})";
  EXPECT_EQ(comparison_from_reply(served, RunKind::multi, "X", 100).comparison->percentile, 50);
  // An earlier server's processor page has no buckets; a page of another kind is no distribution.
  EXPECT_EQ(comparison_from_reply(R"({"cpu":"X","runs":5,"histogram":{}})", RunKind::multi, "X", 100).reason,
            kNoComparisons);
  const ComparisonOutcome other = comparison_from_reply(served, RunKind::single, "X", 100);
  EXPECT_FALSE(other.comparison);
  EXPECT_EQ(other.reason, "Unusable distribution from the server: not of the kind asked for (single)");
  EXPECT_EQ(comparison_from_reply("[1,2", RunKind::multi, "X", 100).reason.rfind("Unusable distribution", 0), 0u);

  LeaderboardSettings unusable;
  unusable.unusable_reason = std::string(kNotConfigured);
  EXPECT_EQ(fetch_comparison(unusable, RunKind::multi, "X", 100).reason, kNotConfigured);
}

TEST(ComparisonRequest, ALowResultNamesItsWarningsElseTheUsualCauses) {
  const ScoreComparison low{ComparisonVerdict::low, 40, 2470, 3, 12};
  EXPECT_EQ(low_result_causes(low, {}), "Usual causes: cooling, power plan, memory settings");
  EXPECT_EQ(low_result_causes(low, {"on battery", "clock fell by 25 %"}),
            "Likely cause: on battery; clock fell by 25 %");
  EXPECT_EQ(low_result_causes({ComparisonVerdict::typical, 40, 2470, 50, std::nullopt}, {"on battery"}), "");
}

}  // namespace
