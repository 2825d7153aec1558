// The leaderboard API end to end: the real server program over HTTPS on loopback, against a
// real SQLite file and a real PostgreSQL database (every backend test runs on both).
#include "leaderboard_server/rules/submission.h"
#include "tests/leaderboard_server/server_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

using nlohmann::json;

namespace {

// One certificate and one PostgreSQL cluster for the whole program; PostgreSQL starts on first use.
struct Shared {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path());
  std::unique_ptr<PostgresCluster> postgres;
};
Shared* shared = nullptr;

class SharedEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The TLS client writes with plain write(2): a server that closes first (after a 413,
    // or at the end of keep-alive) must show up as an error, not kill the test program.
    signal(SIGPIPE, SIG_IGN);
    shared = new Shared;
  }
  void TearDown() override {
    delete shared;
    shared = nullptr;
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment);

constexpr const char* kStaleHeaderName = "X-Leaderboard-Stale";

std::string submission(const std::string& cpu, long long score, long long threads, const std::string& kind) {
  return json{{"cpu_name", cpu}, {"score", score}, {"threads", threads}, {"type", kind}}.dump();
}

struct Row {
  std::string cpu;
  long long avg_score;
  long long runs;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os) {
  *os << "{\"" << r.cpu << "\", " << r.avg_score << ", " << r.runs << "}";
}

class LeaderboardApiTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "postgresql") {
      if (!shared->postgres) shared->postgres = std::make_unique<PostgresCluster>();
      database_ = shared->postgres->create_database();
    } else {
      database_ = (dir_.path() / "leaderboard.sqlite").string();
    }
  }

  std::unique_ptr<ServerProcess> start(std::vector<std::string> flags = {}) {
    std::vector<std::string> all{"--cert",        shared->cert.cert.string(),
                                 "--key",         shared->cert.key.string(),
                                 "--database",    database_,
                                 "--address-key", (dir_.path() / "address.key").string()};
    for (const char* limit : {"--rate-limit", "--submissions-per-hour", "--runs-counted-per-address"})
      if (std::find(flags.begin(), flags.end(), limit) == flags.end()) flags.insert(flags.end(), {limit, "0"});
    all.insert(all.end(), flags.begin(), flags.end());
    return std::make_unique<ServerProcess>(all, dir_.path());
  }

  std::unique_ptr<httplib::Client> client(const ServerProcess& s) { return https_client(s.port(), shared->cert); }

  static json post_ok(httplib::Client& c, const std::string& body) {
    auto res = c.Post("/api.php", body, "application/json");
    EXPECT_TRUE(res) << httplib::to_string(res.error());
    if (!res) return json();
    EXPECT_EQ(res->status, 200) << res->body;
    return json::parse(res->body);
  }

  static std::vector<Row> rows(httplib::Client& c, const std::string& kind) {
    auto res = c.Get("/api.php?type=" + kind);
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200);
    std::vector<Row> out;
    const json doc = json::parse(res->body);
    for (const auto& r : doc.at("leaderboard"))
      out.push_back(
          {r.at("cpu").get<std::string>(), r.at("avg_score").get<long long>(), r.at("runs").get<long long>()});
    return out;
  }

  // One column of a query straight against the database, bypassing the server.
  std::vector<std::string> query(const std::string& sql) {
    std::vector<std::string> out;
    if (GetParam() == "postgresql") {
      const auto file = dir_.path() / "psql.out";
      EXPECT_EQ(run_program({"psql", "-At", "-d", database_, "-o", file.string(), "-c", sql}, dir_.path() / "psql.log"),
                0);
      std::ifstream in(file);
      for (std::string line; std::getline(in, line);) out.push_back(line);
      return out;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(database_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW)
      out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }

  TempDir dir_;
  std::string database_;
};

TEST_P(LeaderboardApiTest, AcceptedRunsAreRankedByAverageThenRunsThenNameBytes) {
  auto server = start();
  auto c = client(*server);
  EXPECT_EQ(rows(*c, "single"), std::vector<Row>{});

  // Trailing spaces are part of the name: the client matches its own row byte for byte.
  const std::string padded = "Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz   ";
  const std::string sql_like = "x'); DROP TABLE runs; --";
  for (auto [cpu, score] : std::vector<std::pair<std::string, int>>{
           {padded, 2000},
           {padded, 2001},                                      // 2000.5 rounds away from zero: 2001
           {"Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz", 2001},  // same average, fewer runs
           {"b-cpu", 1500},
           {"a-cpu", 1500},
           {"B-cpu", 1500},  // full tie: byte order, upper case first
           {sql_like, 10},
           {"Ryzen™ 9 «Ω»", 1}})
    EXPECT_EQ(post_ok(*c, submission(cpu, score, 1, "single")), json({{"ok", true}}));
  EXPECT_EQ(post_ok(*c, submission("Example CPU", 8123, 16, "multi")), json({{"ok", true}}));
  EXPECT_EQ(post_ok(*c, submission("Example CPU", 1400, 2, "smt")), json({{"ok", true}}));

  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{padded, 2001, 2},
                                                  {"Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz", 2001, 1},
                                                  {"B-cpu", 1500, 1},
                                                  {"a-cpu", 1500, 1},
                                                  {"b-cpu", 1500, 1},
                                                  {sql_like, 10, 1},
                                                  {"Ryzen™ 9 «Ω»", 1, 1}}));
  EXPECT_EQ(rows(*c, "multi"), (std::vector<Row>{{"Example CPU", 8123, 1}}));
  EXPECT_EQ(rows(*c, "smt"), (std::vector<Row>{{"Example CPU", 1400, 1}}));
}

TEST_P(LeaderboardApiTest, BadSubmissionsAreRefusedWithAReasonAndNothingIsStored) {
  auto server = start();
  auto c = client(*server);
  const std::string long_name(129, 'x');
  const std::string max_name(128, 'x');
  const std::vector<std::pair<std::string, std::string>> cases = {
      // malformed JSON and wrong shapes
      {"", "not valid JSON"},
      {"{", "not valid JSON"},
      {R"({"cpu_name":"A","score":1,"threads":1,"type":"single"} trailing)", "not valid JSON"},
      {R"({"cpu_name":"A","score":1,"threads":1,"type":"single",})", "not valid JSON"},
      {R"(/* c */ {"cpu_name":"A","score":1,"threads":1,"type":"single"})", "not valid JSON"},
      {"[]", "must be a JSON object"},
      {"null", "must be a JSON object"},
      {"\"text\"", "must be a JSON object"},
      // keys
      {R"({"score":1,"threads":1,"type":"single"})", "missing key \"cpu_name\""},
      {R"({"cpu_name":"A","threads":1,"type":"single"})", "missing key \"score\""},
      {R"({"cpu_name":"A","score":1,"type":"single"})", "missing key \"threads\""},
      {R"({"cpu_name":"A","score":1,"threads":1})", "missing key \"type\""},
      {R"({"cpu_name":"A","score":1,"threads":1,"type":"single","admin":true})", "unexpected key \"admin\""},
      {R"({"cpu_name":"A","score":1,"threads":1,"type":"single","score":2})", "repeats a key"},
      // JSON types
      {R"({"cpu_name":42,"score":1,"threads":1,"type":"single"})", "cpu_name must be a string"},
      {R"({"cpu_name":null,"score":1,"threads":1,"type":"single"})", "cpu_name must be a string"},
      {R"({"cpu_name":"A","score":"100","threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":100.0,"threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":1e3,"threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":true,"threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":1,"threads":"1","type":"single"})", "threads must be 1"},
      {R"({"cpu_name":"A","score":1,"threads":1,"type":["single"]})", "type must be a string"},
      // numbers out of range
      {submission("A", 0, 1, "single"), "score must be an integer from 1 to 10000000"},
      {submission("A", -5, 1, "single"), "score must be an integer from 1 to 10000000"},
      {submission("A", 10'000'001, 1, "single"), "score must be an integer from 1 to 10000000"},
      {R"({"cpu_name":"A","score":99999999999999999999999,"threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":18446744073709551615,"threads":1,"type":"single"})", "score must be an integer"},
      {R"({"cpu_name":"A","score":1e400,"threads":1,"type":"single"})", "not valid JSON"},  // beyond double
      // kind and thread count belong together
      {submission("A", 100, 1, "Single"), "type must be \"single\", \"smt\" or \"multi\""},
      {submission("A", 100, 1, ""), "type must be \"single\", \"smt\" or \"multi\""},
      {submission("A", 100, 8, "single"), "threads must be 1 for a single-core run"},
      {submission("A", 100, 0, "single"), "threads must be 1 for a single-core run"},
      {submission("A", 100, 1, "multi"), "threads must be an integer from 2 to 4096"},
      {submission("A", 100, 4097, "multi"), "threads must be an integer from 2 to 4096"},
      {submission("A", 100, -16, "multi"), "threads must be an integer from 2 to 4096"},
      {submission("A", 100, 1, "smt"), "threads must be an integer from 2 to 8 for an SMT run"},
      {submission("A", 100, 9, "smt"), "threads must be an integer from 2 to 8 for an SMT run"},
      {submission("A", 2 * kMaxScorePerThread + 1, 2, "smt"), "is above what a run on 2 threads can reach"},
      // names
      {submission("", 100, 1, "single"), "cpu_name must not be empty"},
      {submission("   ", 100, 1, "single"), "only of spaces"},
      {submission(long_name, 100, 1, "single"), "129 bytes long; at most 128"},
      {submission(std::string(127, 'y') + "é", 100, 1, "single"), "129 bytes long"},  // bytes, not characters
      {submission("CPU\tX", 100, 1, "single"), "control characters"},
      {submission("CPU\nX", 100, 1, "single"), "control characters"},
      {R"({"cpu_name":"CPU\u0000X","score":1,"threads":1,"type":"single"})", "control characters"},
      {submission("CPU\x7fX", 100, 1, "single"), "control characters"},
      {submission("CPU\u0085X", 100, 1, "single"), "control characters"},
      {"{\"cpu_name\":\"CPU \xff\xfe\",\"score\":1,\"threads\":1,\"type\":\"single\"}", "not valid UTF-8"},
      {"{\"cpu_name\":\"\xc0\xaf\",\"score\":1,\"threads\":1,\"type\":\"single\"}", "not valid UTF-8"},
      {"{\"cpu_name\":\"\xed\xa0\x80\",\"score\":1,\"threads\":1,\"type\":\"single\"}", "not valid UTF-8"},
      {R"({"cpu_name":"\ud800","score":1,"threads":1,"type":"single"})", "not valid JSON"},
  };
  for (const auto& [body, reason] : cases) {
    SCOPED_TRACE(body);
    const json reply = post_ok(*c, body);
    ASSERT_TRUE(reply.is_object());
    EXPECT_EQ(reply.value("ok", true), false);
    EXPECT_NE(reply.value("error", std::string()).find(reason), std::string::npos) << reply.dump();
  }
  EXPECT_EQ(rows(*c, "single"), std::vector<Row>{});
  EXPECT_EQ(rows(*c, "multi"), std::vector<Row>{});
  EXPECT_EQ(rows(*c, "smt"), std::vector<Row>{});
  EXPECT_EQ(query("SELECT COUNT(*) FROM runs"), std::vector<std::string>{"0"});

  // The edges of every range are accepted.
  for (const auto& body : {submission(max_name, 1, 1, "single"), submission("A", kMaxScorePerThread, 1, "single"),
                           submission("A", 5, 2, "multi"), submission("A", 5, 4096, "multi"),
                           submission("A", 5, 2, "smt"), submission("A", 8 * kMaxScorePerThread, 8, "smt"),
                           submission(" A ", 5, 1, "single"), submission(std::string(126, 'y') + "é", 5, 1, "single")})
    EXPECT_EQ(post_ok(*c, body), json({{"ok", true}})) << body;
}

TEST_P(LeaderboardApiTest, HttpLevelErrorsAreJsonWithTheRightStatus) {
  auto server = start();
  auto c = client(*server);
  const auto expect_error = [](const httplib::Result& res, int status) {
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, status) << res->body;
    const json body = json::parse(res->body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << res->body;
    EXPECT_FALSE(body.value("error", std::string()).empty()) << res->body;
  };
  expect_error(c->Get("/api.php"), 400);
  expect_error(c->Get("/api.php?type=both"), 400);
  expect_error(c->Get("/api.php?type=SINGLE"), 400);
  expect_error(c->Get("/index.php"), 404);
  expect_error(c->Get("/apixphp?type=single"), 404);
  expect_error(c->Post("/leaderboard", submission("A", 1, 1, "single"), "application/json"), 404);

  auto put = c->Put("/api.php", submission("A", 1, 1, "single"), "application/json");
  expect_error(put, 405);
  EXPECT_EQ(put->get_header_value("Allow"), "GET, HEAD, POST");
  expect_error(c->Delete("/api.php"), 405);
  expect_error(c->Post("/healthz", "{}", "application/json"), 405);
  httplib::Request trace;
  trace.method = "TRACE";
  trace.path = "/api.php";
  expect_error(c->send(trace), 405);

  expect_error(c->Post("/api.php", submission("A", 1, 1, "single"), "text/plain"), 415);
  expect_error(c->Post("/api.php", submission("A", 1, 1, "single"), "application/x-www-form-urlencoded"), 415);
  expect_error(c->Post("/api.php", submission("A", 1, 1, "single"), "application/jsonp"), 415);
  // Parameters and case of the media type do not matter.
  EXPECT_EQ(json::parse(c->Post("/api.php", submission("A", 1, 1, "single"), "Application/JSON; charset=utf-8")->body),
            json({{"ok", true}}));

  std::string big = submission(std::string(4000, 'x'), 1, 1, "single");
  big.insert(big.size() - 1, std::string(4097 - big.size(), ' '));
  ASSERT_EQ(big.size(), 4097u);
  expect_error(c->Post("/api.php", big, "application/json"), 413);
  // Exactly 4 KiB is still read, and refused only for its content.
  big.erase(big.size() - 2, 1);
  EXPECT_NE(post_ok(*c, big).value("error", std::string()).find("bytes long"), std::string::npos);

  auto health = c->Get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"A", 1, 1}}));
}

TEST_P(LeaderboardApiTest, OutliersAreFlaggedNotRejected) {
  auto server = start();
  auto c = client(*server);
  // Four ordinary runs and one that is 50 times faster: all counted, the fast one not averaged.
  for (int score : {1000, 1010, 990, 1004, 50000}) post_ok(*c, submission("Busy CPU", score, 8, "multi"));
  // Below five runs nothing is judged.
  for (int score : {1000, 50000}) post_ok(*c, submission("New CPU", score, 8, "multi"));
  EXPECT_EQ(rows(*c, "multi"), (std::vector<Row>{{"New CPU", 25500, 2}, {"Busy CPU", 1001, 5}}));
}

TEST_P(LeaderboardApiTest, RunsSurviveARestartWithTheirTimeAndUserAgent) {
  auto server = start();
  {
    auto c = client(*server);
    post_ok(*c, submission("Persistent CPU", 3000, 1, "single"));
    post_ok(*c, submission("Persistent CPU", 9000, 12, "multi"));
  }
  const std::string log = server->access_log();
  EXPECT_EQ(server->stop(), 0);  // SIGTERM is a clean stop
  // One access-log line per request: time, method, target, status, duration.
  EXPECT_NE(log.find(" POST /api.php 200 "), std::string::npos) << log;
  EXPECT_NE(log.find("ms\n"), std::string::npos) << log;

  server = start();
  auto c = client(*server);
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"Persistent CPU", 3000, 1}}));
  EXPECT_EQ(rows(*c, "multi"), (std::vector<Row>{{"Persistent CPU", 9000, 1}}));
  EXPECT_EQ(query("SELECT user_agent FROM runs ORDER BY id"),
            (std::vector<std::string>{"Strelvik/1.4", "Strelvik/1.4"}));
  EXPECT_EQ(query("SELECT COUNT(*) FROM runs WHERE submitted_at IS NOT NULL AND threads IN (1, 12)"),
            std::vector<std::string>{"2"});
  // Both databases hand the web page the same UTC day text, the day's runs and mean, and the
  // thread count.
  const auto page = c->Get("/cpu.json?kind=multi&name=Persistent%20CPU");
  ASSERT_TRUE(page) << httplib::to_string(page.error());
  ASSERT_EQ(page->status, 200) << page->body;
  const json day = json::parse(page->body)["history"].at(0);
  EXPECT_TRUE(std::regex_match(day[0].get<std::string>(), std::regex(R"(20\d\d-\d\d-\d\d)"))) << day;
  EXPECT_EQ(day, json::array({day[0], 1, 9000, 9000, 9000}));
  EXPECT_EQ(json::parse(page->body)["thread_counts"], json::parse(R"([{"threads":12,"runs":1}])"));
}

TEST_P(LeaderboardApiTest, AProcessorsDistributionAddsUpToItsRunsAndAnUnknownNameIs404) {
  auto server = start();
  auto c = client(*server);
  for (int i = 0; i < 12; ++i) post_ok(*c, submission("Spread CPU", 2400 + 25 * i, 8, "multi"));
  const auto res = c->Get("/cpu.json?kind=multi&name=Spread%20CPU&distribution=1");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  const json d = json::parse(res->body);
  EXPECT_EQ(d["kind"], "multi");
  EXPECT_EQ(d["cpu"], "Spread CPU");
  EXPECT_EQ(d["runs"], 12);
  long long total = 0;
  for (const json& b : d["buckets"]) total += b[2].get<long long>();
  EXPECT_EQ(total, 12);
  const auto unknown = c->Get("/cpu.json?kind=single&name=Spread%20CPU&distribution=1");  // no runs of that kind
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);
  EXPECT_TRUE(json::parse(unknown->body).contains("error"));
}

TEST_P(LeaderboardApiTest, ConcurrentSubmittersAreAllCountedExactly) {
  auto server = start();
  constexpr int kClients = 8, kEach = 25;
  std::atomic<int> accepted{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < kClients; ++t)
    clients.emplace_back([&, t] {
      auto c = client(*server);
      for (int i = 0; i < kEach; ++i) {
        // Every submitter also reads, so cache rebuilds race with invalidations.
        auto res = c->Post("/api.php", submission("Shared CPU", 1000 + t, 1, "single"), "application/json");
        if (res && res->status == 200 && res->body == R"({"ok":true})") ++accepted;
        c->Get("/api.php?type=single");
      }
    });
  for (auto& t : clients) t.join();
  EXPECT_EQ(accepted.load(), kClients * kEach);
  // Scores 1000..1007, 25 each: mean 1003.5, rounded away from zero.
  auto c = client(*server);
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"Shared CPU", 1004, kClients * kEach}}));
}

TEST_P(LeaderboardApiTest, InstancesSharingADatabaseSeeEachOthersRunsWithinTwoSeconds) {
  auto a = start();
  auto b = start();
  auto ca = client(*a);
  auto cb = client(*b);
  EXPECT_EQ(rows(*cb, "single"), std::vector<Row>{});  // b caches the empty list
  post_ok(*ca, submission("Cluster CPU", 777, 1, "single"));
  EXPECT_EQ(rows(*ca, "single"), (std::vector<Row>{{"Cluster CPU", 777, 1}}));  // a invalidated its own cache
  const auto start_wait = std::chrono::steady_clock::now();
  std::vector<Row> seen;
  // The bound only ends a broken test; the cache's lifetime itself is tested in server_rules_test.
  while (std::chrono::steady_clock::now() - start_wait < std::chrono::seconds(60)) {
    seen = rows(*cb, "single");
    if (!seen.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(seen, (std::vector<Row>{{"Cluster CPU", 777, 1}}));
}

TEST_P(LeaderboardApiTest, MaxRowsKeepsOnlyTheTop) {
  auto server = start({"--max-rows", "2"});
  auto c = client(*server);
  for (int i = 1; i <= 4; ++i) post_ok(*c, submission("CPU " + std::to_string(i), i * 100, 1, "single"));
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"CPU 4", 400, 1}, {"CPU 3", 300, 1}}));
}

TEST_P(LeaderboardApiTest, OneAddressAddsOnlyAFewRunsToARowAndKeepsNoAddress) {
  auto server = start({"--submissions-per-hour", "3", "--trust-proxy"});
  auto c = client(*server);
  const auto post_from = [&](const std::string& address, const std::string& cpu, int score, const std::string& kind) {
    auto res = c->Post("/api.php", {{"X-Forwarded-For", address}},
                       submission(cpu, score, kind == "single" ? 1 : 8, kind), "application/json");
    return res ? res->status : -1;
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(post_from("203.0.113.7", "Real CPU", 2565, "single"), 200);
  EXPECT_EQ(post_from("203.0.113.7", "Real CPU", 2565, "single"), 429);
  // The limit is per address, processor name and kind.
  EXPECT_EQ(post_from("203.0.113.7", "Other CPU", 900, "single"), 200);
  EXPECT_EQ(post_from("203.0.113.7", "Real CPU", 9000, "multi"), 200);
  EXPECT_EQ(post_from("198.51.100.1", "Real CPU", 1004, "single"), 200);
  EXPECT_EQ(query("SELECT COUNT(*) FROM runs"), std::vector<std::string>{"6"});
  // What is stored of the sender is a keyed hash, the same for one address and never the address.
  const auto clients = query("SELECT client FROM runs ORDER BY id");
  for (const auto& h : clients) {
    EXPECT_EQ(h.size(), 32u) << h;
    EXPECT_EQ(h.find_first_not_of("0123456789abcdef"), std::string::npos) << h;
  }
  EXPECT_EQ(clients[0], clients[4]);
  EXPECT_NE(clients[0], clients[5]);
  EXPECT_TRUE(query("SELECT client FROM runs WHERE client LIKE '%203.0%' OR client LIKE '%198.51%'").empty());

  // Without the limit, one address's flood still counts three times in the average.
  server = start({"--trust-proxy", "--runs-counted-per-address", "3"});
  c = client(*server);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(post_from("203.0.113.7", "Real CPU", 2565, "single"), 200);
  // 1004 once, 2565 three times of 18
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"Real CPU", 2175, 19}, {"Other CPU", 900, 1}}));
}

TEST_P(LeaderboardApiTest, ADatabaseOfTheFirstSchemaIsMigratedWithItsRuns) {
  const bool pg = GetParam() == "postgresql";
  const std::string v1 = std::string("CREATE TABLE runs (id ") + (pg ? "BIGSERIAL" : "INTEGER") +
                         " PRIMARY KEY, kind TEXT NOT NULL CHECK (kind IN ('single', 'multi')), cpu_name TEXT NOT "
                         "NULL, score INTEGER NOT NULL, threads INTEGER NOT NULL,"
                         " user_agent TEXT NOT NULL, submitted_at " +
                         (pg ? "TIMESTAMPTZ NOT NULL DEFAULT now()" : "TEXT NOT NULL") +
                         ");"
                         " INSERT INTO runs (kind, cpu_name, score, threads, user_agent, submitted_at)"
                         " VALUES ('single', 'Old CPU', 700, 1, 'Strelvik/1.3', '2026-01-01');";
  if (pg) {
    ASSERT_EQ(run_program({"psql", "-q", "-d", database_, "-c",
                           "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES "
                           "(1); " +
                               v1},
                          dir_.path() / "psql.log"),
              0);
  } else {
    sqlite3* db = nullptr;
    sqlite3_open(database_.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, (v1 + " PRAGMA user_version = 1;").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  auto server = start();
  auto c = client(*server);
  post_ok(*c, submission("Old CPU", 900, 1, "single"));
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"Old CPU", 800, 2}}));
  EXPECT_EQ(query("SELECT length(client) FROM runs ORDER BY id"), (std::vector<std::string>{"0", "32"}));
  // The third kind's step: the old runs keep their ids and the SMT board takes runs.
  EXPECT_EQ(post_ok(*c, submission("Old CPU", 1100, 2, "smt")), json({{"ok", true}}));
  EXPECT_EQ(rows(*c, "smt"), (std::vector<Row>{{"Old CPU", 1100, 1}}));
  EXPECT_EQ(query("SELECT id || kind FROM runs ORDER BY id"), (std::vector<std::string>{"1single", "2single", "3smt"}));
}

// Only PostgreSQL is a server of its own that can go away and come back.
TEST_P(LeaderboardApiTest, ADatabaseRestartCostsNoRequestAndItsOutageServesTheLastStandings) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "SQLite is a file";
  auto server = start();
  auto c = client(*server);
  post_ok(*c, submission("Steady CPU", 500, 1, "single"));
  const auto before = c->Get("/api.php?type=single");
  ASSERT_TRUE(before);
  // A second start meets the existing schema and says nothing about it.
  auto second = start();
  EXPECT_EQ(second->error_log().find("NOTICE"), std::string::npos) << second->error_log();
  second.reset();

  // Every pooled connection of the server is now broken; none of that may reach a client.
  shared->postgres->stop();
  shared->postgres->start();
  EXPECT_EQ(post_ok(*c, submission("Steady CPU", 700, 1, "single")), json({{"ok", true}}));
  EXPECT_EQ(rows(*c, "single"), (std::vector<Row>{{"Steady CPU", 600, 2}}));
  EXPECT_EQ(c->Get("/healthz")->status, 200);
  EXPECT_EQ(query("SELECT COUNT(*) FROM runs"), std::vector<std::string>{"2"});

  const std::string standings = c->Get("/api.php?type=single")->body;
  shared->postgres->stop();
  struct StartAgain {
    ~StartAgain() { shared->postgres->start(); }
  } start_again;
  // Once the cached body is due for a rebuild, the rebuild fails and the last body is served,
  // marked stale. The loop only waits for the cache to age; it asserts nothing about time.
  auto stale = c->Get("/api.php?type=single");
  for (int i = 0; i < 100 && stale && !stale->has_header(kStaleHeaderName); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stale = c->Get("/api.php?type=single");
  }
  ASSERT_TRUE(stale);
  EXPECT_EQ(stale->status, 200);
  EXPECT_TRUE(stale->has_header(kStaleHeaderName));
  EXPECT_EQ(stale->body, standings);
  auto refused = c->Post("/api.php", submission("Steady CPU", 800, 1, "single"), "application/json");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  // A statement that worked within the last second stands for the health check; none can have
  // worked since the stop, so a second later the check asks the database itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(c->Get("/healthz")->status, 503);
}

INSTANTIATE_TEST_SUITE_P(Backends, LeaderboardApiTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

// ---- behaviour that does not depend on the database --------------------------------------

class ServerOptionsTest : public ::testing::Test {
 protected:
  std::unique_ptr<ServerProcess> start(std::vector<std::string> flags) {
    std::vector<std::string> all{"--cert",     shared->cert.cert.string(),          "--key", shared->cert.key.string(),
                                 "--database", (dir_.path() / "lb.sqlite").string()};
    all.insert(all.end(), flags.begin(), flags.end());
    return std::make_unique<ServerProcess>(all, dir_.path());
  }
  TempDir dir_;
};

TEST_F(ServerOptionsTest, RateLimitAnswers429WithRetryAfterPerClientAddress) {
  auto server = start({"--rate-limit", "3", "--trust-proxy"});
  auto c = https_client(server->port(), shared->cert);
  const auto post_from = [&](const std::string& forwarded_for) {
    httplib::Headers h;
    if (!forwarded_for.empty()) h.emplace("X-Forwarded-For", forwarded_for);
    return c->Post("/api.php", h, submission("Limited CPU", 100, 1, "single"), "application/json");
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(post_from("203.0.113.7")->status, 200);
  auto limited = post_from("203.0.113.7");
  ASSERT_TRUE(limited);
  EXPECT_EQ(limited->status, 429);
  // 3 an hour refill one token every 20 minutes.
  const int retry = std::stoi(limited->get_header_value("Retry-After"));
  EXPECT_GT(retry, 1000);
  EXPECT_LE(retry, 1200);
  EXPECT_FALSE(json::parse(limited->body).value("error", std::string()).empty());
  // Only the rightmost entry counts: what the client put to its left is not trusted.
  EXPECT_EQ(post_from("203.0.113.7, 198.51.100.1")->status, 200);
  EXPECT_EQ(post_from("203.0.113.9, 203.0.113.7")->status, 429);
  // Reading is never limited.
  EXPECT_EQ(c->Get("/api.php?type=single")->status, 200);
  EXPECT_EQ(json::parse(c->Get("/api.php?type=single")->body)["leaderboard"][0]["runs"], 4);
}

TEST_F(ServerOptionsTest, ForwardedForIsIgnoredUnlessTheProxyIsTrusted) {
  auto server = start({"--rate-limit", "1"});
  auto c = https_client(server->port(), shared->cert);
  // Both come from the same connection address; a forged header must not buy a new bucket.
  for (auto [forwarded, status] : {std::pair{"198.51.100.1", 200}, std::pair{"198.51.100.2", 429}}) {
    httplib::Headers h{{"X-Forwarded-For", forwarded}};
    auto res = c->Post("/api.php", h, submission("A", 1, 1, "single"), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, status) << forwarded;
  }
}

TEST_F(ServerOptionsTest, PlainHttpIsRefusedOffLoopbackAndBadFlagsStopAtOnce) {
  const auto db = (dir_.path() / "x.sqlite").string();
  EXPECT_EQ(run_server_expecting_exit({"--listen", "0.0.0.0:0", "--database", db}, dir_.path()), 2);
  EXPECT_EQ(run_server_expecting_exit({"--listen", "[::]:0", "--database", db}, dir_.path()), 2);
  EXPECT_EQ(run_server_expecting_exit({"--listen", "127.0.0.1", "--database", db}, dir_.path()), 2);
  EXPECT_EQ(run_server_expecting_exit({"--cert", shared->cert.cert.string(), "--database", db}, dir_.path()), 2);
  EXPECT_NE(run_server_expecting_exit({"--max-rows", "0", "--database", db}, dir_.path()), 0);
  // A database that cannot be opened is reported at start, not on the first request.
  EXPECT_EQ(
      run_server_expecting_exit({"--listen", "127.0.0.1:0", "--database", "/nonexistent/dir/lb.sqlite"}, dir_.path()),
      1);
  EXPECT_EQ(run_server_expecting_exit({"--listen", "127.0.0.1:0", "--database", "postgresql://nobody@127.0.0.1:1/none"},
                                      dir_.path()),
            1);
}

TEST_F(ServerOptionsTest, PlainHttpOnLoopbackServesTheSameApi) {
  auto server = std::make_unique<ServerProcess>(
      std::vector<std::string>{"--database", (dir_.path() / "plain.sqlite").string(), "--rate-limit", "0"},
      dir_.path());
  EXPECT_FALSE(server->tls());
  httplib::Client c("http://127.0.0.1:" + std::to_string(server->port()));
  auto res = c.Post("/api.php", submission("Plain CPU", 42, 1, "single"), "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, R"({"ok":true})");
  EXPECT_EQ(c.Get("/api.php?type=single")->body,
            R"({"leaderboard":[{"avg_score":42,"counted_runs":1,"cpu":"Plain CPU","max":42,"median":42,"min":42,)"
            R"("p10":42,"p90":42,"runs":1,"threads":[1]}]})");
  EXPECT_EQ(server->stop(), 0);
}

TEST_F(ServerOptionsTest, StopSignalLetsTheRequestInFlightFinish) {
  ServerProcess server({"--database", (dir_.path() / "stop.sqlite").string(), "--rate-limit", "0"}, dir_.path());
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(server.port()));
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const std::string body = submission("Late CPU", 500, 1, "single");
  const std::string head =
      "POST /api.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
      "Connection: close\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n";
  const auto send_all = [fd](const std::string& text) {
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
  };
  send_all(head + body.substr(0, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the worker is now inside the request
  std::thread stopper([&] { EXPECT_EQ(server.stop(), 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  send_all(body.substr(10));
  std::string reply;
  char buf[4096];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
  close(fd);
  stopper.join();
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK") << reply;
  EXPECT_NE(reply.find(R"({"ok":true})"), std::string::npos) << reply;

  // The run it carried was stored before the process ended.
  ServerProcess again({"--database", (dir_.path() / "stop.sqlite").string()}, dir_.path());
  httplib::Client c("http://127.0.0.1:" + std::to_string(again.port()));
  EXPECT_NE(c.Get("/api.php?type=single")->body.find("Late CPU"), std::string::npos);
}

// ---- the connection front: limits hold before the work is done ----------------------------

// A plain TCP connection to the server from `source` (any 127/8 address is this machine).
int connect_from(int port, const char* source = "127.0.0.1") {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  // Only a guard against a hanging test: every read below ends because the server acts.
  timeval guard{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
  return fd;
}

void send_text(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the server may close early; what it answered is still readable
    done += static_cast<std::size_t>(n);
  }
}

// Everything the server sends until it closes the connection.
std::string read_to_close(int fd) {
  std::string reply;
  char buf[4096];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
  return reply;
}

std::string exchange(int port, const std::string& request) {
  const int fd = connect_from(port);
  send_text(fd, request);
  std::string reply = read_to_close(fd);
  close(fd);
  return reply;
}

TEST_F(ServerOptionsTest, OversizedAndMisframedRequestsAreRefusedAndNothingIsStored) {
  ServerProcess server({"--database", (dir_.path() / "front.sqlite").string(), "--rate-limit", "0"}, dir_.path());
  const std::string body = submission("Framed CPU", 100, 1, "single");
  const std::string post = "POST /api.php HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n";
  std::string chunks;
  for (int i = 0; i < 64; ++i) chunks += "400\r\n" + std::string(1024, ' ') + "\r\n";
  std::string many_fields = "GET /api.php?type=single HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 8000; ++i) many_fields += "X-Flood-" + std::to_string(i) + ": " + std::string(100, 'f') + "\r\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // a chunked body past the limit, refused before the end of it arrives
      {post + "Transfer-Encoding: chunked\r\n\r\n" + chunks, "HTTP/1.1 413 "},
      // a declared length past the limit, refused before any of it is sent
      {post + "Content-Length: 209715200\r\n\r\n", "HTTP/1.1 413 "},
      {many_fields + "\r\n", "HTTP/1.1 431 "},
      {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 414 "},
      {post + "Content-Length: " + std::to_string(body.size()) + "\r\nContent-Length: 2\r\n\r\n" + body,
       "HTTP/1.1 400 "},
      // no length at all: refused at once instead of read until the client gives up
      {post + "\r\n" + body, "HTTP/1.1 411 "},
  };
  for (const auto& [request, status] : cases) {
    SCOPED_TRACE(request.substr(0, 100));
    const std::string reply = exchange(server.port(), request);
    EXPECT_EQ(reply.substr(0, status.size()), status) << reply.substr(0, 200);
    EXPECT_NE(reply.find("Connection: close"), std::string::npos);
    EXPECT_NE(reply.find("{\"error\":"), std::string::npos);
  }
  // A small chunked body is as good as one with a length.
  const std::string small = post + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n" + "10\r\n" +
                            body.substr(0, 16) + "\r\n" +
                            [&] {
                              char hex[16];
                              std::snprintf(hex, sizeof hex, "%zx", body.size() - 16);
                              return std::string(hex);
                            }() +
                            "\r\n" + body.substr(16) + "\r\n0\r\n\r\n";
  EXPECT_NE(exchange(server.port(), small).find(R"({"ok":true})"), std::string::npos);
  httplib::Client c("http://127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(
      c.Get("/api.php?type=single")->body,
      R"({"leaderboard":[{"avg_score":100,"counted_runs":1,"cpu":"Framed CPU","max":100,"median":100,"min":100,"p10":100,"p90":100,"runs":1,"threads":[1]}]})");
}

TEST_F(ServerOptionsTest, PipelinedRequestsAreEachAnsweredInOrder) {
  ServerProcess server({"--database", (dir_.path() / "pipe.sqlite").string(), "--rate-limit", "0"}, dir_.path());
  const std::string body = submission("Piped CPU", 321, 1, "single");
  const std::string reply = exchange(server.port(),
                                     "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"
                                     "POST /api.php HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                                     "Content-Length: " +
                                         std::to_string(body.size()) + "\r\n\r\n" + body +
                                         "GET /api.php?type=single HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const auto first = reply.find(R"({"status":"ok"})");
  const auto second = reply.find(R"({"ok":true})");
  const auto third = reply.find(R"("cpu":"Piped CPU")");
  ASSERT_NE(first, std::string::npos) << reply;
  ASSERT_NE(second, std::string::npos) << reply;
  ASSERT_NE(third, std::string::npos) << reply;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
}

TEST_F(ServerOptionsTest, IdleAndSlowConnectionsHoldNoWorkerAndDoNotDelayTheStop) {
  ServerProcess server(
      {"--database", (dir_.path() / "idle.sqlite").string(), "--threads", "2", "--max-connections-per-address", "0"},
      dir_.path());
  std::vector<int> held;
  for (int i = 0; i < 100; ++i) held.push_back(connect_from(server.port()));
  // Slow senders: a request begun and never finished.
  for (int i = 0; i < 20; ++i) {
    held.push_back(connect_from(server.port()));
    send_text(held.back(), "POST /api.php HTTP/1.1\r\nHost: x\r\nContent-Length: 50\r\n\r\n{\"cpu");
  }
  httplib::Client c("http://127.0.0.1:" + std::to_string(server.port()));
  auto res = c.Get("/api.php?type=single");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, 200);
  // A stop does not wait for requests that are not coming.
  EXPECT_EQ(server.stop(), 0);
  for (int fd : held) close(fd);
}

TEST_F(ServerOptionsTest, ASlowSenderIsCutOffAtTheWholeRequestsDeadlineNotOneRenewedByEachByte) {
  ServerProcess server({"--database", (dir_.path() / "slow.sqlite").string(), "--request-timeout", "1"}, dir_.path());
  // At a byte every 10 ms this request would take 30 s to arrive: a deadline renewed by each byte
  // would never end it, the whole request's deadline ends it after about 1 s.
  const std::string request = "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Slow: " + std::string(3000, 's') + "\r\n\r\n";
  const int fd = connect_from(server.port());
  std::string reply;
  std::size_t sent = 0;
  for (char buf[512]; sent < request.size(); ++sent) {
    if (send(fd, &request[sent], 1, MSG_NOSIGNAL) != 1) break;
    const ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0) break;
    if (n > 0) {
      reply.assign(buf, static_cast<std::size_t>(n));
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  reply += read_to_close(fd);
  close(fd);
  EXPECT_LT(sent, request.size());
  EXPECT_EQ(reply.substr(0, 13), "HTTP/1.1 408 ") << reply;
}

TEST_F(ServerOptionsTest, ConnectionsPerAddressAreCappedExceptFromATrustedProxy) {
  for (const bool proxy : {false, true}) {
    SCOPED_TRACE(proxy ? "behind a proxy" : "direct");
    std::vector<std::string> flags{"--database", (dir_.path() / "cap.sqlite").string(), "--max-connections-per-address",
                                   "3"};
    if (proxy) flags.push_back("--trust-proxy");
    ServerProcess server(flags, dir_.path());
    std::vector<int> held;
    for (int i = 0; i < 3; ++i) held.push_back(connect_from(server.port()));
    const std::string get = "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    // The fourth from the same address is closed unanswered; another address is served.
    const int fourth = connect_from(server.port());
    send_text(fourth, get);
    const std::string reply = read_to_close(fourth);
    close(fourth);
    if (proxy)
      EXPECT_NE(reply.find(R"({"status":"ok"})"), std::string::npos) << reply;
    else
      EXPECT_EQ(reply, "");
    const int other = connect_from(server.port(), "127.0.0.2");
    send_text(other, get);
    EXPECT_NE(read_to_close(other).find(R"({"status":"ok"})"), std::string::npos);
    close(other);
    for (int fd : held) close(fd);
  }
}

}  // namespace
