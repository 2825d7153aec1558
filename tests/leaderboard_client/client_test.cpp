// The client against the real leaderboard server over HTTPS on loopback, and its request
// threads: how they are started, pruned, joined and how a failure to start one is published.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <system_error>

#include "tests/leaderboard_client/leaderboard_fixture.h"

using namespace std::chrono_literals;

namespace {

struct Shared {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "server");
};
Shared* shared = nullptr;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<Shared>(shared));

TEST(LeaderboardOverHttps, SubmissionsRefreshTheirKindAndTheStartUpPairFetchesBoth) {
  TempDir dir;
  LeaderboardServer server(shared->cert, dir.path());
  const LeaderboardSettings settings = server_settings(server.port(), shared->cert.cert);

  LeaderboardClient submitter(settings);
  submitter.submit("Example CPU", RunKind::multi, 8123, 16);
  submitter.stop_all();
  EXPECT_EQ(submitter.submit_status_text(), "Submitted OK (multi 8123)");
  EXPECT_EQ(submitter.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"Example CPU", 8123, 1, 1}}));
  EXPECT_TRUE(submitter.rows(RunKind::single).empty());

  // A second run of the same processor: the refreshed rows replace the old ones.
  submitter.submit("Example CPU", RunKind::multi, 8200, 16);
  submitter.stop_all();
  EXPECT_EQ(submitter.submit_status_text(), "Submitted OK (multi 8200)");
  EXPECT_EQ(submitter.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"Example CPU", 8162, 2, 2}}));

  // Non-ASCII and JSON-escaped names travel byte for byte.
  const std::string other = "Zen \"Ünïcode\" \\ 9";
  submitter.submit(other, RunKind::single, 2750, 1);
  submitter.stop_all();
  EXPECT_EQ(submitter.submit_status_text(), "Submitted OK (single 2750)");
  EXPECT_EQ(submitter.rows(RunKind::single), (std::vector<LeaderboardRow>{{other, 2750, 1, 1}}));
  EXPECT_EQ(submitter.fetch_error_text(), "");

  // What the window does at start-up: both kinds at once.
  LeaderboardClient window(settings);
  window.fetch(RunKind::single);
  window.fetch(RunKind::multi);
  window.stop_all();
  EXPECT_EQ(window.pending.load(), 0);
  EXPECT_EQ(window.fetch_error_text(), "");
  EXPECT_EQ(window.submit_status_text(), "");
  EXPECT_EQ(window.rows(RunKind::single), (std::vector<LeaderboardRow>{{other, 2750, 1, 1}}));
  EXPECT_EQ(window.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"Example CPU", 8162, 2, 2}}));

  // The server's own refusal reaches the user with its reason.
  submitter.submit("Example CPU", RunKind::multi, 0, 16);
  submitter.stop_all();
  EXPECT_EQ(submitter.submit_status_text().rfind("Submit error: ", 0), 0u) << submitter.submit_status_text();
  EXPECT_EQ(submitter.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"Example CPU", 8162, 2, 2}}));
}

TEST(LeaderboardOverHttps, ManyOverlappingRequestsAllEndAndAreJoined) {
  TempDir dir;
  LeaderboardServer server(shared->cert, dir.path());
  LeaderboardClient client(server_settings(server.port(), shared->cert.cert));
  for (int i = 0; i < 4; ++i) {
    client.fetch(RunKind::single);
    client.submit("CPU " + std::to_string(i % 2), i % 2 ? RunKind::multi : RunKind::single, 1000 + i, i % 2 ? 8 : 1);
    client.fetch(RunKind::multi);
  }
  // Read while the threads publish: the copies must be whole lists (ThreadSanitizer watches).
  for (int i = 0; i < 50; ++i) {
    (void)client.rows(RunKind::single);
    (void)client.submit_status_text();
    std::this_thread::sleep_for(1ms);
  }
  client.stop_all();
  EXPECT_EQ(client.pending.load(), 0);
  EXPECT_EQ(client.submit_status_text().rfind("Submitted OK (", 0), 0u) << client.submit_status_text();
  // Every submission was stored. The server may answer from its cache while another request
  // refreshes it, so the final standings can take a moment to show.
  const std::vector<LeaderboardRow> single{{"CPU 0", 1001, 2, 2}}, multi{{"CPU 1", 1002, 2, 2}};
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  do {
    client.fetch(RunKind::single);
    client.fetch(RunKind::multi);
    client.stop_all();
    EXPECT_EQ(client.fetch_error_text(), "");
  } while ((client.rows(RunKind::single) != single || client.rows(RunKind::multi) != multi) &&
           std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(client.rows(RunKind::single), single);
  EXPECT_EQ(client.rows(RunKind::multi), multi);
  client.stop_all();  // a second call finds nothing to join
}

// The server stays silent until the client leaves, so without the time-out the join never ends.
TEST(RequestThreads, ClosingWhileARequestStallsWaitsOnlyForTheTimeOut) {
  ScriptedTlsServer server(shared->cert);
  server.push({ScriptedTlsServer::hold()});
  const auto start = std::chrono::steady_clock::now();
  {
    LeaderboardClient client(test_settings(server.port(), shared->cert.cert));
    client.fetch(RunKind::single);
    while (server.requests().empty() && std::chrono::steady_clock::now() - start < 5s) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(client.pending.load(), 1);
  }  // the destructor joins
}

TEST(RequestThreads, FinishedThreadsAreRemovedWhenTheNextRequestStarts) {
  // Not configured: every request ends at once without touching the network.
  std::atomic<int> ended{0};
  LeaderboardClient client(make_leaderboard_settings("https://leaderboard.strelvik.example", nullptr, nullptr),
                           [&ended](std::function<void()> body) {
                             return std::thread([&ended, body = std::move(body)] {
                               body();
                               ended.fetch_add(1);
                             });
                           });
  for (int i = 0; i < 300; ++i) {
    client.fetch(i % 2 ? RunKind::single : RunKind::multi);
    while (ended.load() <= i) std::this_thread::yield();
  }
  EXPECT_LT(client.request_thread_count(), 20u);
  client.stop_all();
  EXPECT_EQ(client.request_thread_count(), 0u);
  EXPECT_EQ(client.fetch_error_text(), "Leaderboard not configured");
}

TEST(RequestThreads, AThreadThatCannotStartIsPublishedAsThatKindsFailure) {
  LeaderboardClient client(
      test_settings(free_loopback_port(), shared->cert.cert), [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread");
      });
  client.fetch(RunKind::single);
  EXPECT_EQ(client.fetch_error_text(), "thread: Resource temporarily unavailable");
  client.submit("CPU", RunKind::multi, 5, 2);
  EXPECT_EQ(client.submit_status_text(), "Submit error: thread: Resource temporarily unavailable");
  client.compare_then_submit("CPU", RunKind::single, 5, 1, true);
  EXPECT_EQ(client.comparison(RunKind::single)->reason, "No comparison: thread: Resource temporarily unavailable");
  EXPECT_EQ(client.submit_status_text(), "Submit error: thread: Resource temporarily unavailable");
  EXPECT_EQ(client.pending.load(), 0);
  EXPECT_EQ(client.request_thread_count(), 0u);
}

TEST(RequestThreads, PlaceholderAddressAndTurnedOffSubmissionsMakeNoRequests) {
  ScriptedTlsServer server(shared->cert);
  {
    LeaderboardClient placeholder(make_leaderboard_settings("https://leaderboard.strelvik.example", nullptr, nullptr));
    placeholder.fetch(RunKind::single);
    placeholder.submit("CPU", RunKind::single, 100, 1);
    placeholder.stop_all();
    EXPECT_EQ(placeholder.fetch_error_text(), "Leaderboard not configured");
    EXPECT_EQ(placeholder.submit_status_text(), "Submit error: Leaderboard not configured");
    placeholder.compare_then_submit("CPU", RunKind::single, 100, 1, false);
    EXPECT_FALSE(placeholder.comparison(RunKind::single));  // no leaderboard: no comparison line
  }
  LeaderboardSettings settings = test_settings(server.port(), shared->cert.cert);
  settings.submissions_enabled = false;
  LeaderboardClient embargoed(settings);
  embargoed.submit("CPU", RunKind::single, 100, 1);
  embargoed.stop_all();
  EXPECT_EQ(embargoed.submit_status_text(), "");
  EXPECT_TRUE(server.requests().empty());
  // Fetching and comparing still work; nothing is submitted.
  server.push(ScriptedTlsServer::reply(200, R"({"leaderboard":[]})"));
  embargoed.fetch(RunKind::single);
  embargoed.stop_all();
  EXPECT_EQ(embargoed.fetch_error_text(), "");
  server.push(ScriptedTlsServer::reply(404, R"({"error":"no accepted runs"})"));
  embargoed.compare_then_submit("CPU", RunKind::single, 100, 1, true);
  embargoed.stop_all();
  EXPECT_EQ(embargoed.comparison(RunKind::single)->reason, "No runs of this processor yet");
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[1].rfind("GET /cpu.json?kind=single&name=CPU&distribution=1 ", 0), 0u);
  EXPECT_EQ(embargoed.submit_status_text(), "");
}

// A server of the version before the SMT board answers 400 to the kind it does not know.
TEST(LeaderboardOverHttps, AServerWithoutTheSmtBoardIsNamedSoAndTheOtherBoardsStillWork) {
  ScriptedTlsServer server(shared->cert);
  LeaderboardClient client(test_settings(server.port(), shared->cert.cert));
  server.push(ScriptedTlsServer::reply(400, R"({"error":"query parameter type must be \"single\" or \"multi\""})"));
  client.fetch(RunKind::smt);
  client.stop_all();
  EXPECT_EQ(client.fetch_error_text(), "This server has no SMT board");
  server.push(ScriptedTlsServer::reply(200, R"({"ok":false,"error":"type must be \"single\" or \"multi\""})"));
  client.submit("CPU", RunKind::smt, 1300, 2);
  client.stop_all();
  EXPECT_EQ(client.submit_status_text(), "Submit error: This server has no SMT board");
  // The same status on another kind is the server's refusal as before.
  server.push(ScriptedTlsServer::reply(400, R"({"error":"no"})"));
  client.fetch(RunKind::single);
  client.stop_all();
  EXPECT_EQ(client.fetch_error_text(), "HTTP 400");
}

}  // namespace
