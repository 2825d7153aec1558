// The JSON documents the client writes and reads, without a network.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>

#include "leaderboard_client/reply_reading.h"

namespace {

TEST(SubmissionBody, IsCompactWithKeysInByteOrderAndEscapes) {
  EXPECT_EQ(submission_body("Example CPU", RunKind::multi, 8123, 16),
            R"({"cpu_name":"Example CPU","score":8123,"threads":16,"type":"multi"})");
  EXPECT_EQ(submission_body("Q\"\\\t\x01 \xC3\xA9", RunKind::single, -5, 1),
            "{\"cpu_name\":\"Q\\\"\\\\\\t\\u0001 \xC3\xA9\",\"score\":-5,\"threads\":1,\"type\":\"single\"}");
  // A name that is not UTF-8 cannot be sent as JSON: the library's own error says so.
  try {
    submission_body("bad \xFF name", RunKind::single, 1, 1);
    FAIL() << "no error";
  } catch (const nlohmann::json::type_error& e) {
    EXPECT_EQ(e.id, 316);
  }
}

TEST(SubmissionReply, OnlyABooleanTrueOkAccepts) {
  EXPECT_NO_THROW(check_submission_reply(R"( {"ok": true, "rank": 3} )"));
  EXPECT_THROW(check_submission_reply(R"({"ok":false})"), std::runtime_error);
  EXPECT_THROW(check_submission_reply(R"({"ok":null})"), nlohmann::json::type_error);
  EXPECT_THROW(check_submission_reply(R"({"ok":true} // done)"), nlohmann::json::parse_error);
}

TEST(ReadRows, NumbersConvertLikeTheWindowButNeverWrap) {
  const auto one = [](const std::string& score) {
    return read_rows(R"({"leaderboard":[{"cpu":"c","avg_score":)" + score + R"(,"runs":1}]})").at(0).avg_score;
  };
  EXPECT_EQ(one("2147483647"), 2147483647);
  EXPECT_EQ(one("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(one("2147483647.9"), 2147483647);
  EXPECT_EQ(one("-0.9"), 0);
  EXPECT_EQ(one("1e3"), 1000);
  for (const char* beyond : {"2147483648", "-2147483649", "18446744073709551615", "2147483648.0", "-1e300"}) {
    EXPECT_THROW(one(beyond), std::out_of_range) << beyond;
  }
  // Comments are not JSON.
  EXPECT_THROW(read_rows("/* rows */ {}"), nlohmann::json::parse_error);
}

TEST(ReadRows, TheServersSpreadAndThreadKeysAreIgnored) {
  // A row as the server sends it since it reports each processor's spread.
  const std::string reply =
      R"({"leaderboard":[{"avg_score":1170,"cpu":"AMD Ryzen 9 7950X","max":5000,"median":1200,"min":1000,)"
      R"("p10":1000,"p90":5000,"runs":6,"threads":[16,32]},{"avg_score":900,"cpu":"<img src=x>","max":900,)"
      R"("median":900,"min":900,"p10":900,"p90":900,"runs":1,"threads":[8]}]})";
  EXPECT_EQ(read_rows(reply), (std::vector<LeaderboardRow>{{"AMD Ryzen 9 7950X", 1170, 6}, {"<img src=x>", 900, 1}}));
}

}  // namespace
