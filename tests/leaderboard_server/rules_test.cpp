// The server's pure rules: ranking and outliers, the token bucket, listen addresses, log lines.
#include "leaderboard_server/front/access_log.h"
#include "leaderboard_server/front/listen_address.h"
#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/rules/rate_limiter.h"

#include <gtest/gtest.h>

namespace {

std::vector<bool> flags(std::initializer_list<int> scores) { return find_outliers(std::vector<int>(scores)); }

TEST(Outliers, AreJudgedOnlyFromFiveRunsOn) {
  EXPECT_EQ(flags({1000, 1000, 1000, 90000}), std::vector<bool>(4, false));
  EXPECT_EQ(flags({1000, 1000, 1000, 1000, 90000}), (std::vector<bool>{false, false, false, false, true}));
}

TEST(Outliers, UseTheMedianAbsoluteDeviationAndFlagBothDirections) {
  // median 1000, MAD 10: |z| = 0.6745 * d / 10 > 3.5 once d > 51.9
  EXPECT_EQ(flags({990, 1000, 1010, 1000, 1051, 990, 1010}), std::vector<bool>(7, false));
  EXPECT_EQ(flags({990, 1000, 1010, 1000, 1052, 990, 1010}),
            (std::vector<bool>{false, false, false, false, true, false, false}));
  EXPECT_EQ(flags({990, 1000, 1010, 1000, 948, 990, 1010}),
            (std::vector<bool>{false, false, false, false, true, false, false}));
}

TEST(Outliers, FallBackToTheMeanAbsoluteDeviationWhenMostRunsAreEqual) {
  // MAD 0; mean absolute deviation 800: z = 4000 / (1.2533 * 800) = 3.99 for the odd one out.
  EXPECT_EQ(flags({1000, 1000, 1000, 1000, 5000}), (std::vector<bool>{false, false, false, false, true}));
  // Mean absolute deviation 6: z = 20 / 7.52 = 2.66, kept.
  EXPECT_EQ(flags({1000, 1000, 1000, 1010, 1020}), std::vector<bool>(5, false));
  // One run off among ten equal ones: mean absolute deviation 1, z = 10 / 1.2533, flagged.
  EXPECT_EQ(flags({1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1010}),
            (std::vector<bool>{false, false, false, false, false, false, false, false, false, true}));
  EXPECT_EQ(flags({7, 7, 7, 7, 7, 7}), std::vector<bool>(6, false));
}

TEST(Average, RoundsHalfAwayFromZeroExactly) {
  EXPECT_EQ(average_without_outliers({2000, 2001}), 2001);
  EXPECT_EQ(average_without_outliers({2000, 2001, 2001}), 2001);  // 2000.67
  EXPECT_EQ(average_without_outliers({2000, 2000, 2001}), 2000);  // 2000.33
  EXPECT_EQ(average_without_outliers({9'999'999, 10'000'000}), 10'000'000);
  EXPECT_EQ(average_without_outliers({1000, 1000, 1000, 1000, 5000}), 1000);
  EXPECT_EQ(average_without_outliers({}), 0);
}

TEST(Ranking, OrdersByAverageThenRunsThenNameBytes) {
  std::vector<StoredScore> runs{{"b", 10, 1, "", ""},    {"a", 10, 1, "", ""},    {"B", 10, 1, "", ""},
                                {"solo", 20, 1, "", ""}, {"pair", 20, 1, "", ""}, {"pair", 20, 1, "", ""},
                                {"é", 10, 1, "", ""},    {"z ", 10, 1, "", ""},   {"z", 10, 1, "", ""}};
  const Board board = build_board(runs);
  std::vector<std::string> order;
  for (const auto& e : board.entries) order.push_back(e.row.cpu);
  EXPECT_EQ(order, (std::vector<std::string>{"pair", "solo", "B", "a", "b", "z", "z ", "é"}));
  EXPECT_EQ(board.entries[0].row.runs, 2);
  EXPECT_TRUE(build_board(std::vector<ProcessorRow>{}).entries.empty());
}

TEST(RateLimiter, AllowsABurstThenRefillsContinuously) {
  RateLimiter limiter(6);  // one token every 10 minutes
  const auto t0 = RateLimiter::Clock::time_point{} + std::chrono::hours(1000);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(limiter.acquire("a", t0), 0);
  EXPECT_EQ(limiter.acquire("a", t0), 600);
  EXPECT_EQ(limiter.acquire("b", t0), 0);  // buckets are per address
  EXPECT_EQ(limiter.acquire("a", t0 + std::chrono::minutes(5)), 300);
  EXPECT_EQ(limiter.acquire("a", t0 + std::chrono::minutes(10)), 0);
  // Refill stops at the burst size.
  const auto later = t0 + std::chrono::hours(10);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(limiter.acquire("a", later), 0);
  EXPECT_GT(limiter.acquire("a", later), 0);
}

TEST(RateLimiter, ZeroTurnsItOffAndFullBucketsAreForgotten) {
  RateLimiter off(0);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(off.acquire("a"), 0);

  RateLimiter limiter(60);
  const auto t0 = RateLimiter::Clock::time_point{} + std::chrono::hours(1000);
  for (int i = 0; i < 10'001; ++i) limiter.acquire("client-" + std::to_string(i), t0);
  EXPECT_EQ(limiter.tracked_clients(), 10'001u);
  // An hour later all of them are full again, so the next sender sweeps them away.
  limiter.acquire("late", t0 + std::chrono::hours(1));
  EXPECT_EQ(limiter.tracked_clients(), 1u);
}

TEST(RateLimiter, CountsAnIpv6HostByItsSlash64) {
  EXPECT_EQ(rate_limit_key("2001:db8:1:2:aaaa:bbbb:cccc:dddd"), "2001:db8:1:2::/64");
  EXPECT_EQ(rate_limit_key("2001:db8:1:2::1"), rate_limit_key("2001:db8:1:2:ffff::9"));
  EXPECT_NE(rate_limit_key("2001:db8:1:2::1"), rate_limit_key("2001:db8:1:3::1"));
  EXPECT_EQ(rate_limit_key("::ffff:192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(rate_limit_key("192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(rate_limit_key("not an address"), "not an address");
}

TEST(ListenAddress, ParsesHostAndPortAndKnowsLoopback) {
  EXPECT_EQ(parse_listen_address("127.0.0.1:8080")->port, 8080);
  EXPECT_EQ(parse_listen_address("[::1]:8443")->host, "::1");
  EXPECT_EQ(parse_listen_address("localhost:0")->port, 0);
  for (const char* bad : {"127.0.0.1", ":80", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:-1", "::1:80", "[::1:80",
                          "[nothost]:80", "127.0.0.1:80x"})
    EXPECT_FALSE(parse_listen_address(bad)) << bad;
  for (const char* host : {"127.0.0.1", "127.1.2.3", "::1", "localhost"}) EXPECT_TRUE(is_loopback_host(host)) << host;
  for (const char* host : {"0.0.0.0", "::", "192.0.2.1", "128.0.0.1", "::ffff:127.0.0.1", "example.org"})
    EXPECT_FALSE(is_loopback_host(host)) << host;
}

TEST(AccessLog, OneLinePerRequestWithCraftedTargetsEscaped) {
  const auto when = std::chrono::system_clock::time_point{} + std::chrono::milliseconds(1'700'000'000'123);
  EXPECT_EQ(format_access_line(when, "GET", "/api.php?type=single", 200, 0.25),
            "2023-11-14T22:13:20.123Z GET /api.php?type=single 200 0.250ms");
  const std::string line = format_access_line(when, "GET", "/x\n2023-01-01 GET /forged 200", 404, 1);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_NE(line.find("/x\\x0A2023-01-01\\x20GET"), std::string::npos) << line;
  EXPECT_LT(format_access_line(when, "GET", std::string(10'000, 'a'), 414, 1).size(), 400u);
}

}  // namespace

// ---- the leaderboard cache ----------------------------------------------------------------

#include "leaderboard_server/api/leaderboard_cache.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// A store whose rows the test changes behind the cache's back, as another instance would.
class FakeStore : public IRunStore {
 public:
  std::optional<ProcessorRow> add_run(const Submission& run, const std::string&, const std::string&) override {
    std::lock_guard lock(mutex);
    runs.push_back({run.cpu_name, run.score, run.threads, "", ""});
    for (const auto& s : summarise_runs(runs))
      if (s.cpu == run.cpu_name) return processor_row(s);
    return std::nullopt;
  }
  std::vector<ProcessorRow> processor_rows(RunKind) override {
    ++queries;
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    std::lock_guard lock(mutex);
    std::vector<ProcessorRow> rows;
    for (const auto& s : summarise_runs(runs)) rows.push_back(processor_row(s));
    return rows;
  }
  std::optional<ProcessorSummary> processor(RunKind, std::string_view) override { return std::nullopt; }
  std::vector<StoredScore> scores(RunKind) override { return runs; }
  bool summaries_ready() override { return true; }
  void compute_summaries(const std::function<void(const std::string&)>&, const std::atomic<bool>&) override {}
  void ping() override {}
  std::mutex mutex;
  std::vector<StoredScore> runs;
  std::atomic<int> queries{0};
  int delay_ms = 0;
};

TEST(LeaderboardCache, ShowsALocalSubmissionAtOnceAndAnotherInstancesAfterExpiry) {
  // An hour's lifetime, so that nothing expires however slowly the test runs.
  FakeStore store;
  LeaderboardCache cache(store, 100, std::chrono::hours(1));
  EXPECT_EQ(*cache.get(RunKind::single), R"({"leaderboard":[]})");
  cache.apply(RunKind::single, *store.add_run({"Here", RunKind::single, 5, 1}, "", ""));
  EXPECT_EQ(*cache.get(RunKind::single),
            R"({"leaderboard":[{"avg_score":5,"counted_runs":1,"cpu":"Here","max":5,"median":5,"min":5,"p10":5,)"
            R"("p90":5,"runs":1,"threads":[1]}]})");

  store.add_run({"Elsewhere", RunKind::single, 9, 1}, "", "");  // no invalidation: stored by another instance
  EXPECT_EQ(cache.get(RunKind::single)->find("Elsewhere"), std::string::npos);
  // The kinds are cached apart, and a local run changes its row without a query.
  const int before = store.queries;
  cache.apply(RunKind::multi, {.cpu = "Multi", .runs = 1, .avg_score = 3, .spread = {}, .threads = {}});
  EXPECT_EQ(cache.get(RunKind::single)->find("Multi"), std::string::npos);
  EXPECT_EQ(store.queries, before);

  // A short lifetime: the sleep is a lower bound, so the body has surely expired after it.
  LeaderboardCache brief(store, 100, std::chrono::milliseconds(50));
  EXPECT_NE(brief.get(RunKind::single)->find("Here"), std::string::npos);
  store.add_run({"Later", RunKind::single, 7, 1}, "", "");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_NE(brief.get(RunKind::single)->find("Later"), std::string::npos);
}

TEST(LeaderboardCache, ConcurrentReadersShareOneRebuild) {
  FakeStore store;
  store.delay_ms = 50;
  LeaderboardCache cache(store, 100, std::chrono::hours(1));  // nothing expires however slow the threads
  std::vector<std::thread> readers;
  for (int i = 0; i < 8; ++i)
    readers.emplace_back([&] {
      for (int k = 0; k < 20; ++k) cache.get(RunKind::multi);
    });
  for (auto& t : readers) t.join();
  EXPECT_EQ(store.queries, 1);
}

}  // namespace
