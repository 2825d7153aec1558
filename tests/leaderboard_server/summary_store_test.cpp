// The per-processor summaries in both stores: equal to a recomputation from the runs whatever
// the inserts, computed for a database of the previous version as that version ranked it, and
// exact under concurrent inserts from two instances sharing PostgreSQL.
#include "leaderboard_server/api/board_replies.h"
#include "leaderboard_server/stores/postgres_pipeline.h"
#include "leaderboard_server/stores/run_store.h"
#include "tests/leaderboard_server/server_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <random>
#include <thread>

using nlohmann::json;

namespace {

PostgresCluster& cluster() {
  static PostgresCluster c;  // started on first use, stopped at exit
  return c;
}

class SummaryStoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    pg_ = GetParam() == "postgresql";
    database_ = pg_ ? cluster().create_database() : (dir_.path() / "lb.sqlite").string();
  }

  std::unique_ptr<IRunStore> open(std::size_t per_client, long long at_open = 20000) {
    return open_run_store(database_, {.runs_counted_per_client = per_client, .summarise_at_open_up_to = at_open});
  }

  // Every processor of every kind as the store keeps it and as the runs recompute it.
  static void expect_summaries_match_the_runs(IRunStore& store, std::size_t per_client) {
    for (const RunKind kind : kRunKinds) {
      const std::vector<ProcessorSummary> expected = summarise_runs(store.scores(kind), per_client);
      std::vector<ProcessorRow> rows = store.processor_rows(kind);
      std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.cpu < b.cpu; });
      ASSERT_EQ(rows.size(), expected.size()) << run_kind_text(kind);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], processor_row(expected[i])) << expected[i].cpu;
        const auto kept = store.processor(kind, expected[i].cpu);
        ASSERT_TRUE(kept) << expected[i].cpu;
        EXPECT_EQ(*kept, expected[i]) << expected[i].cpu;
      }
    }
  }

  // Runs from a few senders (and some without one) over a few processors, with repeated senders
  // past the counted limit, spread scores and a few wild ones.
  static void insert_random_runs(IRunStore& store, int count, unsigned seed) {
    std::mt19937 rng(seed);
    const std::vector<std::string> names{"Apex 9", "Basalt 5", "Cinder 3 \xc3\xa9t\xc3\xa9", "Dune 7"};
    const std::vector<std::string> senders{"", "0123456789abcdef0123456789abcdef", "fedcba9876543210fedcba9876543210",
                                           "00000000000000000000000000000001"};
    for (int i = 0; i < count; ++i) {
      const RunKind kind = kRunKinds[rng() % std::size(kRunKinds)];
      const int threads = kind == RunKind::single ? 1 : 4 << (rng() % 3);
      int score = std::uniform_int_distribution<int>(2000, 2300)(rng) * threads;
      if (rng() % 15 == 0) score *= 4;
      store.add_run({.cpu_name = names[rng() % names.size()], .kind = kind, .score = score, .threads = threads},
                    "Strelvik/test", senders[rng() % senders.size()]);
    }
  }

  TempDir dir_;
  bool pg_ = false;
  std::string database_;
};

TEST_P(SummaryStoreTest, SummariesEqualARecomputationFromTheRunsAfterRandomInserts) {
  {
    auto store = open(3);
    ASSERT_TRUE(store->summaries_ready());  // a new database has its (empty) summaries at once
    insert_random_runs(*store, 160, 1);
    expect_summaries_match_the_runs(*store, 3);
  }
  {
    // Another count of runs per sender: computed again at the opening, from the runs.
    auto store = open(0);
    expect_summaries_match_the_runs(*store, 0);
  }
  // Too many runs to summarise at the opening: the boards wait, inserts go on and are added
  // when the computation catches up with them.
  auto store = open(2, 10);
  EXPECT_FALSE(store->summaries_ready());
  EXPECT_THROW(store->processor_rows(RunKind::single), SummariesNotReady);
  EXPECT_THROW(store->processor(RunKind::single, "Apex 9"), SummariesNotReady);
  insert_random_runs(*store, 20, 2);
  std::vector<std::string> progress;
  const std::atomic<bool> go_on{false};
  store->compute_summaries([&](const std::string& line) { progress.push_back(line); }, go_on);
  ASSERT_TRUE(store->summaries_ready());
  EXPECT_FALSE(progress.empty());
  expect_summaries_match_the_runs(*store, 2);
  insert_random_runs(*store, 20, 3);
  expect_summaries_match_the_runs(*store, 2);
  EXPECT_FALSE(store->processor(RunKind::single, "Nobody").has_value());
}

TEST_P(SummaryStoreTest, ADatabaseOfThePreviousVersionGivesTheBoardThatVersionGave) {
  const fs::path golden = STRELVIK_GOLDEN_DIR;
  const std::string runs = read_file(golden / "previous_version_runs.sql");
  if (pg_) {
    const std::string schema =
        "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (2);"
        " CREATE TABLE runs (id BIGSERIAL PRIMARY KEY, kind TEXT NOT NULL CHECK (kind IN ('single', 'multi')),"
        " cpu_name TEXT NOT NULL, score INTEGER NOT NULL, threads INTEGER NOT NULL, user_agent TEXT NOT NULL,"
        " submitted_at TIMESTAMPTZ NOT NULL DEFAULT now(), client TEXT NOT NULL DEFAULT '');"
        " CREATE INDEX runs_by_kind ON runs (kind, cpu_name COLLATE \"C\");";
    ASSERT_EQ(run_program({"psql", "-q", "-v", "ON_ERROR_STOP=1", "-d", database_, "-c", schema + runs},
                          dir_.path() / "psql.log"),
              0)
        << read_file(dir_.path() / "psql.log");
  } else {
    const std::string schema =
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, kind TEXT NOT NULL CHECK (kind IN ('single', 'multi')),"
        " cpu_name TEXT NOT NULL, score INTEGER NOT NULL, threads INTEGER NOT NULL, user_agent TEXT NOT NULL,"
        " submitted_at TEXT NOT NULL, client TEXT NOT NULL DEFAULT '');"
        " CREATE INDEX runs_by_kind ON runs (kind, cpu_name); PRAGMA user_version = 2;";
    sqlite3* db = nullptr;
    sqlite3_open(database_.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, (schema + runs).c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  // Computed in the background, as a large database would be.
  auto store = open(3, 0);
  ASSERT_FALSE(store->summaries_ready());
  const std::atomic<bool> go_on{false};
  store->compute_summaries([](const std::string&) {}, go_on);
  // That version had no SMT board and no counted_runs: each row's is checked against its runs.
  json boards;
  for (const RunKind kind : kRunKinds) {
    const json rows = json::parse(api_reply(build_board(store->processor_rows(kind)), 100))["leaderboard"];
    if (kind == RunKind::smt) {
      EXPECT_TRUE(rows.empty());
      continue;
    }
    const std::vector<StoredScore> runs = store->scores(kind);
    json& board = boards[run_kind_text(kind)] = json::array();
    for (json row : rows) {
      std::vector<StoredScore> mine;
      std::copy_if(runs.begin(), runs.end(), std::back_inserter(mine),
                   [&](const StoredScore& r) { return r.cpu_name == row["cpu"]; });
      EXPECT_EQ(row["counted_runs"], counted_run_count(mine, 3)) << row["cpu"];
      row.erase("counted_runs");
      board.push_back(row);
    }
  }
  EXPECT_EQ(boards, json::parse(read_file(golden / "previous_version_board.json")));
  // The upgrade allowed the third kind too, and summarises it like the others.
  store->add_run({.cpu_name = "Upgraded CPU", .kind = RunKind::smt, .score = 2600, .threads = 2}, "Strelvik/test",
                 "33333333333333333333333333333333");
  const auto smt = store->processor_rows(RunKind::smt);
  ASSERT_EQ(smt.size(), 1u);
  EXPECT_EQ(smt[0].counted_runs, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, SummaryStoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(SummaryStorePostgres, ConcurrentInsertsFromTwoInstancesLoseNothing) {
  const std::string database = cluster().create_database();
  auto a = open_run_store(database, {.runs_counted_per_client = 3});
  auto b = open_run_store(database, {.runs_counted_per_client = 3});
  constexpr int kEach = 60;
  const auto insert = [](IRunStore& store, int thread) {
    for (int i = 0; i < kEach; ++i)
      store.add_run({.cpu_name = "Shared CPU", .kind = RunKind::multi, .score = 5000 + 7 * i + thread, .threads = 8},
                    "Strelvik/test", i % 2 ? "11111111111111111111111111111111" : "22222222222222222222222222222222");
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back([&, t] { insert(t % 2 ? *a : *b, t); });
  for (auto& t : threads) t.join();
  const auto rows = a->processor_rows(RunKind::multi);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].runs, 4 * kEach);
  const auto expected = summarise_runs(a->scores(RunKind::multi), 3);
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_EQ(*b->processor(RunKind::multi, "Shared CPU"), expected[0]);
  EXPECT_EQ(expected[0].counted.runs(), 6);  // each of the two senders' earliest three
  EXPECT_EQ(rows[0], processor_row(expected[0]));
}

// A submission's statements go out together: one that fails is named, the ones after it are
// skipped and prepared again next time, and the connection is usable afterwards.
TEST(SummaryStorePostgres, AFailedStatementAmongOthersIsNamedAndLeavesTheConnectionUsable) {
  PGconn* c = PQconnectdb(cluster().create_database().c_str());
  ASSERT_EQ(PQstatus(c), CONNECTION_OK);
  {
    postgres::Pipeline p(c);
    p.add("first", PGRES_TUPLES_OK, "SELECT $1::integer", 1);
    p.add("second", PGRES_TUPLES_OK, "SELECT no_such_column FROM pg_class");
    p.add("third", PGRES_TUPLES_OK, "SELECT 3");
    try {
      p.run();
      ADD_FAILURE() << "a failed statement went unreported";
    } catch (const StoreError& e) {
      EXPECT_NE(std::string(e.what()).find("postgresql second:"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("no_such_column"), std::string::npos) << e.what();
    }
    p.add("third", PGRES_TUPLES_OK, "SELECT 3");
    p.add("first", PGRES_TUPLES_OK, "SELECT $1::integer", 4);
    const std::vector<postgres::Result> r = p.run();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(postgres::integer_of(r[0].res, 0, 0), 3);
    EXPECT_EQ(postgres::integer_of(r[1].res, 0, 0), 4);
  }
  EXPECT_FALSE(postgres::broken(c));
  postgres::finish(c);
}

}  // namespace
