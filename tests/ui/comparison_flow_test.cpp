// The comparison line under a score, through the panels of a real App against a scripted
// leaderboard on loopback that serves a made-up distribution.
#include <gtest/gtest.h>

#include "state/run_monitoring.h"
#include "tests/ui/panel_harness.h"
#include "tests/ui/unplugged_laptop.h"

namespace {

struct Shared {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "leaderboard");
  std::string quick_hash = reference_hash(kQuickWorkload);
};
Shared* shared = nullptr;
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<Shared>(shared));

// 40 runs far above anything the quick workload scores: its score is low, at the 0th percentile.
const std::string kFastRuns =
    R"({"kind":"single","cpu":"Compared CPU","runs":40,"median":2147483600,"buckets":[[2147483000,2147483647,40]]})";
const std::string kEmptyBoard = R"({"leaderboard":[]})";

TEST(ComparisonFlow, TheScoreShowsWhereItStandsUnderItUntilTheKindsNextRun) {
  TempDir dir;
  ScriptedTlsServer server(shared->cert);
  // The boards fetched at start-up, then the run's comparison, submission and refreshed board,
  // in the order one request thread makes them.
  for (const std::string& reply : {kEmptyBoard, kEmptyBoard, kFastRuns, std::string(R"({"ok":true})"), kEmptyBoard})
    server.push(ScriptedTlsServer::reply(200, reply));
  PanelHarness h(server.port(), shared->cert.cert, dir.path() / "history.json", "Compared CPU",
                 ReferenceWorkload{kQuickWorkload, shared->quick_hash});
  h.settle_leaderboard();

  ASSERT_TRUE(h.click("Single-Core"));
  ASSERT_TRUE(h.frames_until([&] { return h.app->history.size() == 1; }));
  h.settle_leaderboard();
  const std::string text = h.frame();
  const std::string score = "SC: " + std::to_string(h.app->single_score);
  const std::string line = "Low for this processor: 0th percentile of 40 runs, 100 % below the median 2147483600";
  // Under the single-core score, above the multi-core one, with the usual causes below it.
  ASSERT_NE(text.find(score), std::string::npos) << text;
  EXPECT_GT(text.find(line), text.find(score)) << text;
  EXPECT_GT(text.find("Usual causes: cooling, power plan, memory settings"), text.find(line)) << text;
  EXPECT_GT(text.find("MC: ---"), text.find("Usual causes")) << text;
  EXPECT_EQ(h.app->leaderboard.submit_status_text(),
            "Submitted OK (single " + std::to_string(h.app->single_score) + ")");
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[2].substr(0, requests[2].find("\r\n")),
            "GET /cpu.json?kind=single&name=Compared%20CPU&distribution=1 HTTP/1.1");

  // It stays while other frames are drawn and goes when the kind's next run starts.
  EXPECT_NE(h.frame().find(line), std::string::npos);
  ASSERT_TRUE(h.click("Single-Core"));
  EXPECT_EQ(h.last_text.find(line), std::string::npos) << h.last_text;
}

TEST(ComparisonFlow, ARunKeptBackByABatteryIsComparedAndItsLowScoreNamesTheBattery) {
  TempDir dir;
  ScriptedTlsServer server(shared->cert);
  // The boards fetched at start-up, then the run's comparison and no submission.
  for (const std::string& reply : {kEmptyBoard, kEmptyBoard, kFastRuns})
    server.push(ScriptedTlsServer::reply(200, reply));
  PanelHarness h(server.port(), shared->cert.cert, dir.path() / "history.json", "Compared CPU",
                 ReferenceWorkload{kQuickWorkload, shared->quick_hash});
  attach_run_monitor(*h.app, unplugged_laptop_monitor());
  h.settle_leaderboard();

  ASSERT_TRUE(h.click("Single-Core"));
  ASSERT_TRUE(h.frames_until([&] { return h.app->history.size() == 1; }));
  h.settle_leaderboard();
  const std::string text = h.frame();
  EXPECT_NE(text.find("Low for this processor: 0th percentile of 40 runs"), std::string::npos) << text;
  EXPECT_NE(text.find("Likely cause: The machine ran on battery"), std::string::npos) << text;
  EXPECT_EQ(text.find("Usual causes"), std::string::npos) << text;
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_NE(h.app->leaderboard.submit_status_text().find("not submitted: the machine ran on battery"),
            std::string::npos);
}

}  // namespace
