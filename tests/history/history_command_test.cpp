// `strelvik-cli history`: numbering as the panel shows it, best scores, deletion by number.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/history_command.h"
#include "history/best_scores.h"
#include "history/history_format.h"
#include "tests/support/test_processes.h"

namespace {

HistoryEntry run(int score, const char* type, const char* date = "2026-12-06T16:55:39") {
  HistoryEntry e;
  e.score = score;
  e.type = type;
  e.date = date;
  e.time_seconds = 14.25;
  return e;
}

struct Output {
  int code;
  std::string out, err;
};

Output history_command(const std::string& path, std::optional<int> del, bool json) {
  ResultsHistory h(path);
  std::ostringstream out, err;
  const int code = run_history_command(h, del, json, out, err);
  return {code, out.str(), err.str()};
}

TEST(BestScores, OnlyTheExactKindsCountEachFromZero) {
  const auto b = best_scores({run(5, "single"), run(9, "single"), run(500, "multi"), run(99999, "Multi"),
                              run(7, "Single"), run(-2, "multi"), run(8, "")});
  EXPECT_EQ(b.single, 9);
  EXPECT_EQ(b.multi, 500);
  EXPECT_EQ(best_scores({run(-3, "single")}).single, 0);
  EXPECT_EQ(best_scores({run(1300, "smt"), run(900, "single"), run(1400, "SMT")}).smt, 1300);
}

TEST(HistoryCommand, AStressTestIsListedAsStrAndIsNoMultiCoreBest) {
  TempDir dir;
  write_file(dir.file("history.json"), serialize_history({run(300, "multi"), run(900, "stress")}));
  const auto r = history_command(dir.file("history.json"), std::nullopt, false);
  EXPECT_NE(r.out.find("   2  STR       900"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Best multi-core:  300"), std::string::npos) << r.out;
}

TEST(HistoryCommand, ListsNewestFirstNumberedFromTheOldestWithTheBestOfEachKind) {
  TempDir dir;
  write_file(dir.file("history.json"),
             serialize_history({run(800, "single", "2026-12-01T10:00:00"), run(8000, "multi", "2026-12-02T10:00:00"),
                                run(810, "single", "short")}));
  const auto r = history_command(dir.file("history.json"), std::nullopt, false);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "History: " + dir.file("history.json") +
                       "\n   #  Type    Score        Time  Date\n"
                       "   3  SC        810       14.2s  short\n"
                       "   2  MC       8000       14.2s  2026-12-02\n"
                       "   1  SC        800       14.2s  2026-12-01\n"
                       "Best single-core: 810\nBest multi-core:  8000\n");

  const auto j = nlohmann::json::parse(history_command(dir.file("history.json"), std::nullopt, true).out);
  ASSERT_EQ(j["runs"].size(), 3u);
  EXPECT_EQ(j["runs"][0]["number"], 3);
  EXPECT_EQ(j["runs"][2]["score"], 800);
  EXPECT_EQ(j["best"]["multi"], 8000);
}

TEST(HistoryCommand, AnEmptyHistorySaysSoAndShowsNoBest) {
  TempDir dir;
  const auto r = history_command(dir.file("history.json"), std::nullopt, false);
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("No results yet"), std::string::npos);
  const auto j = nlohmann::json::parse(history_command(dir.file("history.json"), std::nullopt, true).out);
  EXPECT_TRUE(j["runs"].empty());
  EXPECT_TRUE(j["best"]["single"].is_null());
  // Deleting from it is bad usage (2), not an unreadable history (1).
  EXPECT_EQ(history_command(dir.file("history.json"), 1, false).code, 2);
}

TEST(HistoryCommand, DeletesTheEntryByItsShownNumberAndRefusesNumbersThatDoNotExist) {
  TempDir dir;
  const std::string path = dir.file("history.json");
  write_file(path, serialize_history({run(1, "single"), run(2, "multi"), run(3, "single")}));
  auto r = history_command(path, 2, false);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Deleted #2: MC 2, 2026-12-06\n");
  const auto left = parse_history(read_file(path)).entries;
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].score, 1);
  EXPECT_EQ(left[1].score, 3);

  for (int bad : {0, 3, -1}) {
    r = history_command(path, bad, false);
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_NE(r.err.find("no result #"), std::string::npos);
  }
  EXPECT_EQ(parse_history(read_file(path)).entries.size(), 2u);
}

TEST(HistoryCommand, AnUnreadableFileIsReportedAndLeftAlone) {
  TempDir dir;
  const std::string path = dir.file("history.json");
  write_file(path, "{ not json");
  const auto r = history_command(path, std::nullopt, false);
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("not a readable history"), std::string::npos);
  EXPECT_EQ(read_file(path), "{ not json");
}

}  // namespace
