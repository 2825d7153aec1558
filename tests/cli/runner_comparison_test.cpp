// The runner's comparison, in-process against a scripted server on loopback: a small workload
// runs as the standard one, its score is placed among made-up runs of its processor, and the
// requests show what left the machine.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "cli/run_command.h"
#include "tests/leaderboard_client/leaderboard_fixture.h"
#include "tests/support/test_workloads.h"

namespace {

constexpr Workload kTiny{.width = 32, .height = 32, .samples_per_pixel = 1, .max_depth = 3, .tile_size = 8};
const std::string kCpu = "Compare CPU";
const std::string kDistributionRequest = "GET /cpu.json?kind=multi&name=Compare%20CPU&distribution=1 HTTP/1.1";

struct Shared {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "server");
  ReferenceWorkload reference{kTiny, reference_hash(kTiny)};
};
Shared* shared = nullptr;
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<Shared>(shared));

// `runs` runs of one point each, one per score from score - runs / 2 up: the score is their middle.
std::string distribution_around(std::int32_t score, int runs) {
  nlohmann::json buckets = nlohmann::json::array();
  for (int i = 0; i < runs; ++i) buckets.push_back({score - runs / 2 + i, score - runs / 2 + i, 1});
  return nlohmann::json{{"kind", "multi"}, {"cpu", kCpu}, {"runs", runs}, {"median", score}, {"buckets", buckets}}
      .dump();
}

std::string request_line(const std::string& request) { return request.substr(0, request.find("\r\n")); }

class RunnerComparison : public ::testing::Test {
 protected:
  ScriptedTlsServer server{shared->cert};
  LeaderboardSettings settings = server_settings(server.port(), shared->cert.cert);

  // Runs `options` with a comparer that serves `reply(score)` for the distribution, as the runner's
  // own comparer asks it; returns stdout's JSON lines.
  std::vector<nlohmann::json> run(RunOptions options, const std::function<ScriptedTlsServer::Script(int)>& reply,
                                  bool submit = false) {
    options.workload = kTiny;
    options.reference = shared->reference;
    options.json = true;
    const RunComparer comparer = [&](const RunReport& report) {
      server.push(reply(report.result.score));
      return fetch_comparison(settings, report.result.kind, kCpu, report.result.score);
    };
    const RunSubmitter submitter = [&](const RunReport& report) {
      server.push(ScriptedTlsServer::reply(200, R"({"ok":true})"));
      server.push(ScriptedTlsServer::reply(200, R"({"leaderboard":[]})"));
      LeaderboardClient client(settings);
      client.submit(kCpu, report.result.kind, report.result.score, report.result.threads);
      client.stop_all();
      return client.submit_status_text();
    };
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    exit_code = run_benchmarks(options, WorkerPlacement{}, {}, submit ? submitter : RunSubmitter{}, comparer);
    std::istringstream out(::testing::internal::GetCapturedStdout());
    human = ::testing::internal::GetCapturedStderr();
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(out, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  int exit_code = -1;
  std::string human;
};

TEST_F(RunnerComparison, AScoreAmongFortyRunsIsPlacedBeforeItIsSubmittedAndTheScoreNeverLeaves) {
  const auto lines = run(
      {}, [](int score) { return ScriptedTlsServer::reply(200, distribution_around(score, 40)); }, true);
  ASSERT_EQ(exit_code, 0) << human;
  ASSERT_EQ(lines.size(), 1u);
  const nlohmann::json& run = lines[0];
  // 20 of the 40 runs lie below and one is equal: (20 + 0.5) / 40 = 51 %.
  EXPECT_EQ(run["comparison"],
            nlohmann::json({{"runs", 40}, {"median", run["score"]}, {"percentile", 51}, {"verdict", "typical"}}));
  EXPECT_TRUE(run["comparison_reason"].is_null());
  const std::string score = std::to_string(run["score"].get<int>());
  EXPECT_NE(human.find("  leaderboard: Submitted OK (multi " + score +
                       ")\n  comparison: Typical for this processor: "
                       "51st percentile of 40 runs (median " +
                       score + ")\n"),
            std::string::npos)
      << human;

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(request_line(requests[0]), kDistributionRequest);
  EXPECT_EQ(request_line(requests[1]), "POST /api.php HTTP/1.1");
  for (const std::string& request : requests) {
    if (request.rfind("GET ", 0) == 0) {
      EXPECT_EQ(request.find(score), std::string::npos) << request;
    }
  }
}

TEST_F(RunnerComparison, TooFewRunsUnknownProcessorsAndOlderServersGiveAReasonWithSubmissionsOff) {
  auto lines = run({}, [](int score) { return ScriptedTlsServer::reply(200, distribution_around(score, 3)); });
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["comparison"]["verdict"], "too_few");
  EXPECT_TRUE(lines[0]["comparison"]["percentile"].is_null());
  EXPECT_NE(human.find("  comparison: Too few runs of this processor to compare (3)\n"), std::string::npos) << human;

  lines = run({}, [](int) { return ScriptedTlsServer::reply(404, R"({"error":"no accepted runs"})"); });
  EXPECT_TRUE(lines[0]["comparison"].is_null());
  EXPECT_EQ(lines[0]["comparison_reason"], "No runs of this processor yet");

  // A server of the previous version ignores distribution=1 and sends its processor page.
  lines = run({}, [](int) { return ScriptedTlsServer::reply(200, R"({"cpu":"Compare CPU","histogram":{}})"); });
  EXPECT_EQ(lines[0]["comparison_reason"], "This leaderboard server does not offer comparisons");
  EXPECT_EQ(exit_code, 0);
  // No submission was made: every request was a distribution's.
  for (const std::string& request : server.requests()) EXPECT_EQ(request_line(request), kDistributionRequest);
}

TEST_F(RunnerComparison, ASeriesComparesOnlyItsMedianRun) {
  RunOptions options;
  options.repeat = 3;
  const auto lines =
      run(options, [](int score) { return ScriptedTlsServer::reply(200, distribution_around(score, 9)); });
  ASSERT_EQ(lines.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(lines[i]["comparison"].is_null());
    EXPECT_EQ(lines[i]["comparison_reason"], "only the series' median run is compared");
  }
  EXPECT_EQ(lines[3]["type"], "summary");
  EXPECT_EQ(lines[3]["comparison"]["median"], lines[3]["median_score"]);
  EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
