// A stress test in history.json: its keys survive a load and a rewrite, a malformed one costs
// nothing else, and it changes no kind's best score.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/best_scores.h"
#include "history/history_format.h"
#include "history/stress_entry.h"

namespace {

TEST(StressEntry, KeepsItsPassesStabilityAndVerdictThroughARewrite) {
  StressSummary summary{.pass_count = 3,
                        .minutes_requested = 10,
                        .elapsed_seconds = 612.5,
                        .stability_percent = 97.5,
                        .drop_percent = 1.0,
                        .median_score = 240,
                        .sensors = {},
                        .verdict = StressVerdict::stable,
                        .failure = {}};
  std::vector<StressPass> passes(3);
  for (std::size_t i = 0; i < passes.size(); ++i) {
    passes[i] = {
        .score = 240 + static_cast<std::int32_t>(i), .time_seconds = 200.0, .image_sha256 = "ab", .sensors = {}};
  }
  passes[1].sensors.temp_c_max = 88.0;
  const HistoryEntry entry = stress_history_entry(summary, passes, 2, "2026-12-09T10:00:00", "Example CPU");
  EXPECT_EQ(entry.type, "stress");
  EXPECT_EQ(entry.score, 240);
  EXPECT_EQ(entry.time_seconds, 612.5);

  const std::string text = serialize_history({entry});
  EXPECT_EQ(text.find("\"ab\""), std::string::npos) << "no image hash is stored";
  const ParsedHistory back = parse_history(text);
  ASSERT_EQ(back.kind, HistoryTextKind::Runs);
  ASSERT_TRUE(back.entries.at(0).stress);
  const HistoryStress& stress = *back.entries[0].stress;
  ASSERT_EQ(stress.passes.size(), 3u);
  EXPECT_EQ(stress.passes[2].score, 242);
  EXPECT_EQ(stress.passes[1].sensors.temp_c_max, 88.0);
  EXPECT_EQ(stress.stability_percent, 97.5);
  EXPECT_EQ(stress.verdict, "stable");
  EXPECT_EQ(serialize_history(back.entries), text) << "a second rewrite changes nothing";

  HistoryEntry multi;
  multi.type = "multi";
  multi.score = 200;
  const BestScores best = best_scores({back.entries[0], multi});
  EXPECT_EQ(best.multi, 200) << "a stress test is no multi-core run";
  EXPECT_EQ(best.single, 0);
}

TEST(StressEntry, MalformedStressKeysAreKeptAsTheyWereAndFailNothing) {
  const std::string text =
      R"({"runs": [{"type": "stress", "score": 5, "passes": [{"score": "x"}, 3, {"score": 7, "time_seconds": 2}],
         "stability_percent": "high", "verdict": 9}]})";
  const ParsedHistory h = parse_history(text);
  ASSERT_EQ(h.kind, HistoryTextKind::Runs);
  ASSERT_TRUE(h.entries.at(0).stress);
  ASSERT_EQ(h.entries[0].stress->passes.size(), 1u);
  EXPECT_EQ(h.entries[0].stress->passes[0].score, 7);
  const std::string rewritten = serialize_history(h.entries);
  EXPECT_NE(rewritten.find(R"("stability_percent": "high")"), std::string::npos);
  EXPECT_NE(rewritten.find(R"("score": "x")"), std::string::npos);
}

}  // namespace
