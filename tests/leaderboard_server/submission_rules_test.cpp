// Rules that keep one request, or one address, from taking over the ranking.
#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/rules/submission.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

std::string body(const std::string& cpu, long long score, long long threads, const std::string& kind) {
  return nlohmann::json{{"cpu_name", cpu}, {"score", score}, {"threads", threads}, {"type", kind}}.dump();
}

std::string refusal(const std::string& cpu, long long score = 100, long long threads = 1,
                    const std::string& kind = "single") {
  return validate_submission(body(cpu, score, threads, kind)).error;
}

TEST(ScoreCeiling, IsPerThreadAndLeavesRealResultsAlone) {
  EXPECT_EQ(refusal("A", kMaxScorePerThread), "");
  EXPECT_NE(refusal("A", kMaxScorePerThread + 1).find("above what a run on 1 thread can reach"), std::string::npos);
  EXPECT_NE(refusal("A", 10'000'000).find("can reach"), std::string::npos);
  EXPECT_EQ(refusal("A", 16LL * kMaxScorePerThread, 16, "multi"), "");
  EXPECT_NE(refusal("A", 16LL * kMaxScorePerThread + 1, 16, "multi").find("on 16 threads"), std::string::npos);
  // A 192-thread server that renders the image in 2 s (score 60000) is far from its ceiling.
  EXPECT_EQ(refusal("A", 60'000, 192, "multi"), "");
  EXPECT_EQ(refusal("A", 10'000'000, 4096, "multi"), "");
}

TEST(ProcessorNames, ThatLookBlankOrLikeAnotherAreRefused) {
  const std::string real = "AMD Ryzen 9 7950X 16-Core Processor";
  for (const std::string& name :
       std::vector<std::string>{real + "\u200B", "\u202E" + real, real + "\u2066", "\u00AD" + real, "\uFEFF" + real,
                                std::string("\u00A0\u00A0"), real + "\u3000", "A\u2028B", "A\u2029B", "\u2007",
                                "\u0301", "\u0301" + real, "A\u180EB", "A\uFE0FB", "\u3164"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(refusal(name), "");
  }
  // ASCII spaces stay as they are, and real non-ASCII names pass, marks after their base too.
  for (const std::string& name :
       std::vector<std::string>{"  " + real + "   ", std::string("Ryzen™ 9 «Ω»"), std::string("Core e\u0301"),
                                std::string("龍芯 3A6000"), std::string("Эльбрус-8С")})
    EXPECT_EQ(refusal(name), "") << name;
}

TEST(Ranking, CountsOnlyAFewRunsOfEachSenderInARow) {
  // One real run, then 18 fake ones from one address under the same name.
  std::vector<StoredScore> runs{{"Real CPU", 1004, 1, "", "genuine"}};
  for (int i = 0; i < 18; ++i) runs.push_back({"Real CPU", 2565, 1, "", "faker"});
  const auto entries = build_board(runs).entries;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].row.avg_score, (1004 + 3 * 2565 + 2) / 4);  // the earliest 3 of the faker's count
  EXPECT_EQ(entries[0].row.runs, 19);
  // Runs stored before senders were kept have none; each of them counts.
  runs = {
      {"Old CPU", 10, 1, "", ""}, {"Old CPU", 10, 1, "", ""}, {"Old CPU", 10, 1, "", ""}, {"Old CPU", 30, 1, "", ""}};
  EXPECT_EQ(build_board(runs).entries[0].row.avg_score, 15);
}

}  // namespace
