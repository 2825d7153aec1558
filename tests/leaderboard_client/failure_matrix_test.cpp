// Every way a leaderboard reply can go wrong, from a scripted TLS server on loopback: each must
// give the window's exact text, bring `pending` back to 0 and keep the last good rows.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <chrono>

#include "tests/leaderboard_client/leaderboard_fixture.h"

using namespace std::chrono_literals;
using Script = ScriptedTlsServer::Script;

namespace {

struct Shared {
  TempDir dir;
  Certificate trusted = make_self_signed_certificate(dir.path(), "trusted");
  Certificate untrusted = make_self_signed_certificate(dir.path(), "untrusted");
};
Shared* shared = nullptr;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<Shared>(shared));

const std::string kGoodBoard = R"({"leaderboard":[{"cpu":"Good CPU","avg_score":4000,"runs":3}]})";
const std::vector<LeaderboardRow> kGoodRows{{"Good CPU", 4000, 3}};

class FailureMatrix : public ::testing::Test {
 protected:
  ScriptedTlsServer server{shared->trusted};
  LeaderboardClient client{test_settings(server.port(), shared->trusted.cert)};

  // Loads the known good rows for both kinds, so that a failure can be seen to keep them.
  void load_good_rows() {
    server.push(ScriptedTlsServer::reply(200, kGoodBoard));
    server.push(ScriptedTlsServer::reply(200, kGoodBoard));
    client.fetch(RunKind::single);
    client.stop_all();
    client.fetch(RunKind::multi);
    client.stop_all();
    ASSERT_EQ(client.fetch_error_text(), "");
    ASSERT_EQ(client.rows(RunKind::multi), kGoodRows);
  }

  std::string fetch_with(Script script) {
    server.push(std::move(script));
    client.fetch(RunKind::multi);
    client.stop_all();
    EXPECT_EQ(client.pending.load(), 0);
    return client.fetch_error_text();
  }

  std::string submit_with(std::vector<Script> scripts, const std::string& cpu = "Example CPU", int score = 8123) {
    for (Script& s : scripts) server.push(std::move(s));
    client.submit(cpu, RunKind::multi, score, 16);
    client.stop_all();
    EXPECT_EQ(client.pending.load(), 0);
    return client.submit_status_text();
  }
};

const std::string kParse101 = "[json.exception.parse_error.101] parse error at line 1, column ";

TEST_F(FailureMatrix, TransportFailuresGiveTheTransportTexts) {
  load_good_rows();
  const std::string closed_port = "https://127.0.0.1:" + std::to_string(free_loopback_port());
  {
    LeaderboardSettings settings = test_settings(server.port(), shared->trusted.cert);
    settings.port = free_loopback_port();
    LeaderboardClient refused(settings);
    refused.fetch(RunKind::single);
    refused.stop_all();
    // Reasons a user can act on, not the Windows transport's "HttpSendRequest failed".
    EXPECT_EQ(refused.fetch_error_text().rfind("Could not reach the leaderboard: ", 0), 0u)
        << refused.fetch_error_text();
    EXPECT_NE(refused.fetch_error_text().find("refused"), std::string::npos) << refused.fetch_error_text();
  }
  {
    // The server's certificate is valid for 127.0.0.1 but signed by no authority the client trusts.
    ScriptedTlsServer stranger(shared->untrusted);
    LeaderboardClient untrusting(test_settings(stranger.port(), shared->trusted.cert));
    stranger.push(ScriptedTlsServer::reply(200, kGoodBoard));
    untrusting.fetch(RunKind::single);
    untrusting.stop_all();
    EXPECT_EQ(
        untrusting.fetch_error_text().rfind("The leaderboard's certificate is not trusted (SSL certificate problem", 0),
        0u)
        << untrusting.fetch_error_text();
    EXPECT_TRUE(untrusting.rows(RunKind::single).empty());
  }
  EXPECT_EQ(fetch_with({}), "The leaderboard closed the connection before its reply")
      << "closed before the status line";
  EXPECT_EQ(fetch_with({ScriptedTlsServer::send("HTTP/1.1 200 OK\r\nContent-Le")}),
            "The leaderboard closed the connection before its reply")
      << "closed within the headers";
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(500, R"({"ok":false})")), "HTTP 500");
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(404, "")), "HTTP 404");
  // A 1xx block is not the final status; the 200 after it is.
  EXPECT_EQ(fetch_with({ScriptedTlsServer::send("HTTP/1.1 100 Continue\r\n\r\n"),
                        ScriptedTlsServer::reply(200, R"({"leaderboard":[]})")[0]}),
            "");
  load_good_rows();
  EXPECT_EQ(
      fetch_with(
          {ScriptedTlsServer::send("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n" + kGoodBoard.substr(0, 30))}),
      kParse101 + "31: syntax error while parsing value - invalid string: missing closing quote; last read: '\"Good C'")
      << "dropped mid-body: the body so far is read as JSON";
  EXPECT_EQ(client.rows(RunKind::multi), kGoodRows);
}

// A stall before the headers is a send failure; one in the middle of the body leaves the
// body so far, which the JSON reading then refuses. Both end after the receive time-out (1 s here).
TEST_F(FailureMatrix, StallsEndAfterTheReceiveTimeOut) {
  load_good_rows();
  const std::pair<Script, std::string> stalls[] = {
      {{ScriptedTlsServer::hold()}, "No reply from the leaderboard within 1 s"},
      {{ScriptedTlsServer::send("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n{\"leaderboard\":[{"),
        ScriptedTlsServer::hold()},
       kParse101 + "18: syntax error while parsing object key - unexpected end of input; expected string literal"},
  };
  for (const auto& [stall, message] : stalls) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch_with(stall), message);
    const auto took = std::chrono::steady_clock::now() - start;
    // No upper bound: the server stays silent for ever, so only the time-out ends the request.
    EXPECT_GE(took, 900ms) << message;
  }
  EXPECT_EQ(client.rows(RunKind::multi), kGoodRows);
}

TEST_F(FailureMatrix, RepliesThatAreNotALeaderboardKeepTheRows) {
  load_good_rows();
  const std::pair<std::string, std::string> cases[] = {
      {"",
       kParse101 + "1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"<html><body>502 Bad Gateway</body></html>",
       kParse101 + "1: syntax error while parsing value - invalid literal; last read: '<'"},
      {kGoodBoard + " trailing",
       kParse101 +
           "66: syntax error while parsing value - invalid literal; last read: '3}]} tra'; expected end of input"},
      {"[]", "[json.exception.type_error.305] cannot use operator[] with a string argument with array"},
      {R"("text")", "[json.exception.type_error.305] cannot use operator[] with a string argument with string"},
      {R"({"leaderboard":[1]})",
       "[json.exception.type_error.305] cannot use operator[] with a string argument with number"},
      {R"({"leaderboard":[{"cpu":"A","avg_score":1}]})",
       "[json.exception.type_error.302] type must be number, but is null"},
      {R"({"leaderboard":[{"cpu":7,"avg_score":1,"runs":1}]})",
       "[json.exception.type_error.302] type must be string, but is number"},
      {R"({"leaderboard":[{"cpu":"A","avg_score":"12","runs":1}]})",
       "[json.exception.type_error.302] type must be number, but is string"},
      // One bad row fails the whole reply.
      {R"({"leaderboard":[{"cpu":"A","avg_score":1,"runs":1},null]})",
       "[json.exception.type_error.302] type must be string, but is null"},
      {R"({"leaderboard":[{"cpu":"A","avg_score":1e12,"runs":1}]})",
       "leaderboard number out of range: 1000000000000.0"},
  };
  for (const auto& [body, message] : cases) {
    EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(200, body)), message) << body;
    EXPECT_EQ(client.rows(RunKind::multi), kGoodRows) << body;
    EXPECT_EQ(client.rows(RunKind::single), kGoodRows) << body;
  }
}

TEST_F(FailureMatrix, UnusualButValidRepliesArePublished) {
  load_good_rows();
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(200, "{}")), "");
  EXPECT_TRUE(client.rows(RunKind::multi).empty());
  EXPECT_EQ(client.rows(RunKind::single), kGoodRows);  // only the fetched kind is replaced

  load_good_rows();
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(200, " null\n")), "");
  EXPECT_TRUE(client.rows(RunKind::multi).empty());

  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(
                200, R"({"leaderboard":{"b":{"cpu":"Second","avg_score":1234.9,"runs":true},)"
                     R"("a":{"cpu":"First","avg_score":-7.9,"runs":false,"extra":[1]}},"other":1})")),
            "");
  EXPECT_EQ(client.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"First", -7, 0}, {"Second", 1234, 1}}));

  // Larger than one 4096-byte read: returned whole.
  std::string big = R"({"leaderboard":[)";
  std::vector<LeaderboardRow> expected;
  for (int i = 0; i < 200; ++i) {
    const std::string cpu = "Processor with a long name number " + std::to_string(i);
    if (i > 0) big += ',';
    big += nlohmann::json{{"cpu", cpu}, {"avg_score", 9000 - i}, {"runs", i}}.dump();
    expected.push_back({cpu, 9000 - i, i});
  }
  big += "]}";
  ASSERT_GT(big.size(), 4096u * 2);
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(200, big)), "");
  EXPECT_EQ(client.rows(RunKind::multi), expected);
}

TEST_F(FailureMatrix, AReplyBeyondFourMebibytesIsRefusedWithoutReadingItAll) {
  load_good_rows();
  const std::string huge(std::size_t{5} << 20, ' ');
  EXPECT_EQ(fetch_with(ScriptedTlsServer::reply(200, huge)), "Leaderboard reply larger than 4 MiB");
  EXPECT_EQ(client.rows(RunKind::multi), kGoodRows);
}

TEST_F(FailureMatrix, SubmissionVerdicts) {
  load_good_rows();
  const std::string rejected = R"({"ok":false,"error":"score out of range","hint":[1,2]})";
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, rejected)}), "Submit error: Server rejected: " + rejected);
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, R"({"ok":"yes"})")}),
            "Submit error: [json.exception.type_error.302] type must be boolean, but is string");
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, R"({"ok":1})")}),
            "Submit error: [json.exception.type_error.302] type must be boolean, but is number");
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, R"({"accepted":true})")}),
            R"(Submit error: Server rejected: {"accepted":true})");
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, "[true]")}), "Submit error: Server rejected: [true]");
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, "<html>busy</html>")}),
            "Submit error: " + kParse101 + "1: syntax error while parsing value - invalid literal; last read: '<'");
  EXPECT_EQ(client.rows(RunKind::multi), kGoodRows);
  EXPECT_EQ(client.fetch_error_text(), "");  // a submission never touches the fetch error

  // A refused post is not followed by a refresh.
  const std::size_t before = server.requests().size();
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(429, R"({"ok":false})")}), "Submit error: HTTP 429");
  EXPECT_EQ(server.requests().size(), before + 1);

  // Accepted, but the refresh fails: the refresh's error is reported and the rows stay.
  EXPECT_EQ(submit_with({ScriptedTlsServer::reply(200, R"({"ok":true})"), ScriptedTlsServer::reply(500, "")}),
            "Submit error: HTTP 500");
  EXPECT_EQ(client.rows(RunKind::multi), kGoodRows);
}

TEST_F(FailureMatrix, TheRequestOnTheWireIsTheWindows) {
  server.push(ScriptedTlsServer::reply(200, R"({"ok":true})"));
  server.push(ScriptedTlsServer::reply(200, R"({"leaderboard":[{"cpu":"A \"Q\" \\ CPU","avg_score":-5,"runs":1}]})"));
  EXPECT_EQ(submit_with({}, "A \"Q\" \\ CPU", -5), "Submitted OK (multi -5)");
  EXPECT_EQ(client.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"A \"Q\" \\ CPU", -5, 1}}));

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string& post = requests[0];
  EXPECT_EQ(post.rfind("POST /api.php HTTP/1.1\r\n", 0), 0u) << post;
  EXPECT_NE(post.find("\r\nUser-Agent: Strelvik/1.4\r\n"), std::string::npos) << post;
  EXPECT_NE(post.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << post;
  EXPECT_EQ(post.find("Expect:"), std::string::npos) << post;
  const std::string body = R"({"cpu_name":"A \"Q\" \\ CPU","score":-5,"threads":16,"type":"multi"})";
  EXPECT_EQ(post.substr(post.find("\r\n\r\n") + 4), body);

  const std::string& get = requests[1];
  EXPECT_EQ(get.rfind("GET /api.php?type=multi HTTP/1.1\r\n", 0), 0u) << get;
  EXPECT_NE(get.find("\r\nUser-Agent: Strelvik/1.4\r\n"), std::string::npos) << get;
  EXPECT_EQ(get.find("Content-Type"), std::string::npos) << get;
}

}  // namespace
