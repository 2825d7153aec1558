// PostgreSQL backend through libpq: several stateless servers can share one database.
#include "leaderboard_server/stores/postgres_connection.h"
#include "leaderboard_server/stores/postgres_pipeline.h"
#include "leaderboard_server/stores/postgres_summaries.h"
#include "leaderboard_server/stores/run_store.h"
#include "leaderboard_server/stores/summary_backfill.h"
#include "leaderboard_server/stores/summary_schema.h"

#include <libpq-fe.h>

#include <poll.h>

#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace {

using namespace postgres;

// Same versioning idea as the SQLite file: a table holds the version, each entry moves it up one.
constexpr const char* kPostgresMigrations[] = {
    R"sql(
    CREATE TABLE runs (
        id           BIGSERIAL   PRIMARY KEY,
        kind         TEXT        NOT NULL CHECK (kind IN ('single', 'multi')),
        cpu_name     TEXT        NOT NULL,
        score        INTEGER     NOT NULL,
        threads      INTEGER     NOT NULL,
        user_agent   TEXT        NOT NULL,
        submitted_at TIMESTAMPTZ NOT NULL DEFAULT now()
    );
    CREATE INDEX runs_by_kind ON runs (kind, cpu_name COLLATE "C");
    )sql",
    // The sender of each run, as a keyed hash; runs stored before have none.
    R"sql(
    ALTER TABLE runs ADD COLUMN client TEXT NOT NULL DEFAULT '';
    )sql",
    // The one-core SMT board: a third kind (the constraint keeps the name PostgreSQL gave it).
    R"sql(
    ALTER TABLE runs DROP CONSTRAINT IF EXISTS runs_kind_check;
    ALTER TABLE runs ADD CONSTRAINT runs_kind_check CHECK (kind IN ('single', 'smt', 'multi'));
    )sql",
    kPostgresSummaryTables,
};

// Any number, as long as all servers sharing a database agree: it serialises their migrations.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7275100401)";

// Inserts hold it shared; the summaries' computation holds it alone for a moment to see every run
// stored before a point, and again to add the runs stored after it and declare them ready.
constexpr long long kInsertLock = 7275100402;
// Held by the one instance computing the summaries.
constexpr long long kComputeLock = 7275100403;

constexpr std::size_t kPoolSize = 4;

class PostgresRunStore final : public IRunStore {
 public:
  PostgresRunStore(std::string url, const StoreOptions& options) : url_(std::move(url)), options_(options) {
    PGconn* first = connect();
    try {
      migrate(first);
    } catch (...) {
      finish(first);
      throw;
    }
    idle_.push_back(first);
    ready_ = read_ready();
    if (!ready_ && few_runs_to_summarise()) {
      std::atomic<bool> never{false};
      compute_summaries([](const std::string&) {}, never);
    }
  }

  ~PostgresRunStore() override {
    for (PGconn* c : idle_) finish(c);
    if (pinger_) finish(pinger_);
  }

  std::optional<ProcessorRow> add_run(const Submission& run, const std::string& user_agent,
                                      const std::string& client) override {
    std::optional<ProcessorRow> row;
    const char* kind = run_kind_text(run.kind);
    // Repeated on a fresh connection only when none of it reached the database: once sent, the
    // insert may have been committed before the connection broke.
    with_connection(Retry::IfNotSent, [&](PGconn* c) {
      try {
        // Two round trips: the insert with the summary's statements and reads, then the row
        // computed from them with the commit.
        Pipeline p(c);
        p.add("insert", PGRES_COMMAND_OK, "BEGIN");
        // The insert lock shared, then the processor's: inserts of one processor take turns from
        // here to their commit, so that their ids come in the order their summaries count them
        // (a sender's earliest runs are its lowest ids).
        p.add(
            "insert", PGRES_TUPLES_OK,
            "SELECT pg_advisory_xact_lock_shared($1), pg_advisory_xact_lock(hashtextextended($2 || chr(10) || $3, 0))",
            kInsertLock, kind, run.cpu_name);
        p.add("insert", PGRES_COMMAND_OK,
              "INSERT INTO runs (kind, cpu_name, score, threads, user_agent, client)"
              " VALUES ($1, $2, $3::integer, $4::integer, $5, $6)",
              kind, run.cpu_name, run.score, run.threads, user_agent, client);
        bool ready = ready_;
        bool sent = false;
        if (!ready) {
          p.add("insert", PGRES_TUPLES_OK, "SELECT ready FROM summary_state");
          const std::vector<Result> r = run_unsent(p);
          sent = true;
          ready = PQntuples(r.back().res) == 1 && integer_of(r.back().res, 0, 0) == 1;
        }
        if (ready) {
          queue_summary_update(p, options_.runs_counted_per_client, kind, run.cpu_name, client, run.score, run.threads,
                               "");
          row = row_after_update(sent ? p.run() : run_unsent(p), run.cpu_name);
          queue_row(p, kind, *row);
        }
        p.add("insert", PGRES_COMMAND_OK, "COMMIT");
        p.run();
        if (ready) ready_ = true;
      } catch (const NotSent&) {
        throw;
      } catch (...) {
        Result{PQexec(c, "ROLLBACK")};
        throw;
      }
    });
    return row;
  }

  std::vector<ProcessorRow> processor_rows(RunKind kind) override {
    require_ready();
    std::vector<ProcessorRow> out;
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      Result r{exec_params(c, "select", PGRES_TUPLES_OK,
                           "SELECT cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs"
                           " FROM processor_summaries WHERE kind = $1",
                           run_kind_text(kind))};
      out.clear();
      out.reserve(static_cast<std::size_t>(PQntuples(r.res)));
      for (int i = 0; i < PQntuples(r.res); ++i)
        out.push_back({.cpu = std::string(text_of(r.res, i, 0)),
                       .runs = integer_of(r.res, i, 1),
                       .counted_runs = integer_of(r.res, i, 9),
                       .avg_score = integer_of(r.res, i, 2),
                       .spread = {static_cast<int>(integer_of(r.res, i, 3)), static_cast<int>(integer_of(r.res, i, 4)),
                                  static_cast<int>(integer_of(r.res, i, 5)), static_cast<int>(integer_of(r.res, i, 6)),
                                  static_cast<int>(integer_of(r.res, i, 7))},
                       .threads = parse_thread_list(text_of(r.res, i, 8))});
    });
    return out;
  }

  std::optional<ProcessorSummary> processor(RunKind kind, std::string_view cpu) override {
    require_ready();
    std::optional<ProcessorSummary> out;
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      // One snapshot for the histograms, threads and days.
      exec(c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
      try {
        out = read_summary(c, run_kind_text(kind), cpu, true);
        exec(c, "COMMIT");
      } catch (...) {
        Result{PQexec(c, "ROLLBACK")};
        throw;
      }
    });
    return out;
  }

  std::vector<StoredScore> scores(RunKind kind) override {
    std::vector<StoredScore> out;
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      // The date in the SQLite file's form, so that both stores sort and print it alike.
      Result r{exec_params(c, "select", PGRES_TUPLES_OK,
                           "SELECT cpu_name, score, threads,"
                           " to_char(submitted_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), client"
                           " FROM runs WHERE kind = $1 ORDER BY cpu_name COLLATE \"C\", id",
                           run_kind_text(kind))};
      out.clear();
      for (int i = 0; i < PQntuples(r.res); ++i)
        out.push_back({std::string(text_of(r.res, i, 0)), static_cast<int>(integer_of(r.res, i, 1)),
                       static_cast<int>(integer_of(r.res, i, 2)), std::string(text_of(r.res, i, 3)),
                       std::string(text_of(r.res, i, 4))});
    });
    return out;
  }

  bool summaries_ready() override {
    if (ready_) return true;
    // Another instance may be computing them: look at most once a second.
    const auto now = std::chrono::steady_clock::now();
    {
      std::lock_guard lock(mutex_);
      if (now - ready_checked_ < std::chrono::seconds(1)) return false;
      ready_checked_ = now;
    }
    try {
      if (read_ready()) ready_ = true;
    } catch (const StoreError&) {}
    return ready_;
  }

  void compute_summaries(const std::function<void(const std::string&)>& progress,
                         const std::atomic<bool>& stop) override;

  void ping() override {
    // Under load the statements of the others already show that the database answers, and a
    // round trip of its own would wait behind them for the processors.
    if (Clock::now().time_since_epoch().count() - last_answer_.load() < kRecentAnswer.count()) return;
    // A connection of its own, so that a busy pool never delays the health check.
    std::lock_guard lock(ping_mutex_);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (pinger_ && !idle_connection_usable(pinger_)) pinger_ = drop(pinger_);
      if (!pinger_) pinger_ = connect();
      Result r{PQexec(pinger_, "SELECT 1")};
      if (PQresultStatus(r.res) == PGRES_TUPLES_OK) {
        note_answer();
        return;
      }
      if (PQstatus(pinger_) == CONNECTION_OK || attempt > 0) throw StoreError(error_of(pinger_, "ping"));
      pinger_ = drop(pinger_);
    }
  }

 private:
  void require_ready() {
    if (!summaries_ready()) throw SummariesNotReady();
  }

  bool read_ready() {
    bool ready = false;
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      Result r{exec_params(c, "summary state", PGRES_TUPLES_OK, "SELECT ready FROM summary_state")};
      ready = PQntuples(r.res) == 1 && integer_of(r.res, 0, 0) == 1;
    });
    return ready;
  }

  bool few_runs_to_summarise() {
    long long n = 0;
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      Result r{exec_params(c, "count", PGRES_TUPLES_OK, "SELECT COUNT(*) FROM (SELECT 1 FROM runs LIMIT $1) AS r",
                           options_.summarise_at_open_up_to + 1)};
      n = integer_of(r.res, 0, 0);
    });
    return n <= options_.summarise_at_open_up_to;
  }

  PGconn* connect() {
    PGconn* c = PQconnectdb(url_.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
      std::string msg = error_of(c, "connect");
      finish(c);
      throw StoreError(msg);
    }
    // Names are stored as the UTF-8 bytes the client sent; no conversion on the way.
    PQsetClientEncoding(c, "UTF8");
    // Notices ("relation already exists, skipping" at every start) are not errors; they would
    // only clutter the log.
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);
    return c;
  }

  void migrate(PGconn* c) {
    exec(c, "BEGIN");
    try {
      exec(c, kMigrationLock);
      exec(c, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
      int version = 0;
      {
        Result r{PQexec(c, "SELECT COALESCE(MAX(version), 0) FROM schema_version")};
        if (PQresultStatus(r.res) != PGRES_TUPLES_OK) throw StoreError(error_of(c, "schema"));
        version = std::atoi(PQgetvalue(r.res, 0, 0));
      }
      const int latest = static_cast<int>(std::size(kPostgresMigrations));
      if (version > latest)
        throw StoreError("postgresql: database schema version " + std::to_string(version) +
                         " is newer than this server knows (" + std::to_string(latest) + ")");
      for (int v = version; v < latest; ++v) exec(c, kPostgresMigrations[v]);
      exec(c, "DELETE FROM schema_version");
      exec(c, ("INSERT INTO schema_version VALUES (" + std::to_string(latest) + ")").c_str());
      // Summaries kept for another count of runs per sender are computed again.
      const long long per_client = static_cast<long long>(options_.runs_counted_per_client);
      Result r{exec_params(c, "schema", PGRES_TUPLES_OK, "SELECT runs_counted_per_client FROM summary_state")};
      if (PQntuples(r.res) == 1 && integer_of(r.res, 0, 0) != per_client) {
        for (const char* sql : kSummaryReset) exec(c, sql);
        Result{exec_params(c, "schema", PGRES_COMMAND_OK,
                           "UPDATE summary_state SET ready = 0, runs_counted_per_client = $1", per_client)};
      }
      exec(c, "COMMIT");
    } catch (...) {
      Result r{PQexec(c, "ROLLBACK")};
      throw;
    }
  }

  // The connection broke before the statement left: it cannot have run anywhere.
  struct NotSent {};

  // Runs a pipeline holding the first statements of a transaction: when they could not be sent,
  // nothing of it reached the database.
  static std::vector<Result> run_unsent(Pipeline& p) {
    try {
      return p.run();
    } catch (const Pipeline::NothingSent&) {
      throw NotSent{};
    }
  }

  // A pooled connection idle while the database restarted looks fine to libpq until it is used;
  // the server's goodbye (or the end of the stream) is already waiting on its socket, though.
  // An idle connection has nothing to read, so anything readable means it is finished.
  static bool idle_connection_usable(PGconn* c) {
    if (broken(c)) return false;
    pollfd p{PQsocket(c), POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
  }

  enum class Retry { IfNotSent, IfConnectionLost };

  using Clock = std::chrono::steady_clock;
  // How recent a statement that worked must be to stand for a health check.
  static constexpr Clock::duration kRecentAnswer = std::chrono::seconds(1);
  void note_answer() { last_answer_.store(Clock::now().time_since_epoch().count()); }

  // Lends a connection to `work`; opens one when none is idle and the pool is not full. A
  // connection that broke is replaced, and the work is done again on a fresh one once when it
  // cannot have taken effect (nothing was sent), or for reads when the connection was lost.
  template <class Work>
  void with_connection(Retry retry, Work&& work) {
    for (int attempt = 0;; ++attempt) {
      PGconn* c = take();
      try {
        if (c && !idle_connection_usable(c)) c = drop(c);
        if (!c) c = connect();
        work(c);
        give_back(c);
        note_answer();
        return;
      } catch (const NotSent&) {
        // fall through to the retry below
      } catch (const StoreError&) {
        const bool lost = c && broken(c);
        if (!lost || attempt > 0 || retry != Retry::IfConnectionLost) {
          give_back(lost ? drop(c) : c);
          throw;
        }
      } catch (...) {
        give_back(c && broken(c) ? drop(c) : c);
        throw;
      }
      give_back(drop(c));
      if (attempt > 0) throw StoreError("postgresql: the connection broke twice in a row");
    }
  }

  PGconn* take() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return !idle_.empty() || open_ < kPoolSize; });
    if (!idle_.empty()) {
      PGconn* c = idle_.back();
      idle_.pop_back();
      return c;
    }
    ++open_;
    return nullptr;
  }

  static PGconn* drop(PGconn* c) {
    if (c) finish(c);
    return nullptr;
  }

  // A null connection gives back its place in the pool.
  void give_back(PGconn* c) {
    std::lock_guard lock(mutex_);
    if (c)
      idle_.push_back(c);
    else
      --open_;
    cv_.notify_one();
  }

  std::string url_;
  StoreOptions options_;
  std::mutex mutex_;  // guards the pool and ready_checked_
  std::condition_variable cv_;
  std::vector<PGconn*> idle_;
  std::size_t open_ = 1;  // connections in existence, idle or lent
  std::mutex ping_mutex_;
  PGconn* pinger_ = nullptr;
  std::atomic<bool> ready_{false};
  std::atomic<Clock::rep> last_answer_{Clock::now().time_since_epoch().count() - kRecentAnswer.count()};
  std::chrono::steady_clock::time_point ready_checked_{};
};

// Connections of the computation's own, closed however it ends.
struct OwnConnection {
  PGconn* c;
  ~OwnConnection() { finish(c); }
};

void PostgresRunStore::compute_summaries(const std::function<void(const std::string&)>& progress,
                                         const std::atomic<bool>& stop) {
  if (ready_) return;
  OwnConnection guard{connect()};
  // One instance computes; the others wait for it to finish (or to stop, then one takes over).
  for (bool waiting_said = false;;) {
    Result r{exec_params(guard.c, "summary", PGRES_TUPLES_OK, "SELECT pg_try_advisory_lock($1)", kComputeLock)};
    if (std::string_view(PQgetvalue(r.res, 0, 0)) == "t") break;
    if (!waiting_said) progress("summaries: another instance computes them; waiting");
    waiting_said = true;
    for (int i = 0; i < 10 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (stop) return;
    if (read_ready()) {
      ready_ = true;
      return;
    }
  }
  if (read_ready()) {
    ready_ = true;
    return;
  }
  OwnConnection writer{connect()}, snapshot{connect()};
  exec(writer.c, "BEGIN");
  try {
    for (const char* sql : kSummaryReset) exec(writer.c, sql);
    // Every insert begun before this point has committed once the lock is ours, and every later
    // one takes a higher id: the snapshot holds exactly the runs up to `last`.
    Result{exec_params(snapshot.c, "summary", PGRES_TUPLES_OK, "SELECT pg_advisory_lock($1)", kInsertLock)};
    exec(snapshot.c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    long long last = 0, total = 0;
    {
      Result r{PQexec(snapshot.c, "SELECT COALESCE(MAX(id), 0), COUNT(*) FROM runs")};
      const bool ok = PQresultStatus(r.res) == PGRES_TUPLES_OK;
      Result{exec_params(snapshot.c, "summary", PGRES_TUPLES_OK, "SELECT pg_advisory_unlock($1)", kInsertLock)};
      if (!ok) throw StoreError(error_of(snapshot.c, "summary"));
      last = integer_of(r.res, 0, 0);
      total = integer_of(r.res, 0, 1);
    }
    progress("computing the summaries of " + std::to_string(total) + " stored runs");
    const std::string last_text = std::to_string(last);
    const char* params[] = {last_text.c_str()};
    if (!PQsendQueryParams(snapshot.c,
                           "SELECT kind, cpu_name, client, score, threads,"
                           " to_char(submitted_at AT TIME ZONE 'UTC', 'YYYY-MM-DD') FROM runs WHERE id <= $1"
                           " ORDER BY kind, cpu_name COLLATE \"C\", client COLLATE \"C\", id",
                           1, nullptr, params, nullptr, nullptr, 0) ||
        !PQsetSingleRowMode(snapshot.c))
      throw StoreError(error_of(snapshot.c, "summary"));

    CopyBuffer senders{"COPY summary_senders (kind, cpu_name, client, runs) FROM STDIN"};
    CopyBuffer buckets{"COPY summary_buckets (kind, cpu_name, counted, bucket, runs, sum, lowest, highest) FROM STDIN"};
    CopyBuffer threads{"COPY summary_threads (kind, cpu_name, threads, runs) FROM STDIN"};
    CopyBuffer days{"COPY summary_days (kind, cpu_name, day, runs, sum, lowest, highest) FROM STDIN"};
    CopyBuffer rows{
        "COPY processor_summaries (kind, cpu_name, runs, avg_score, min, p10, median, p90, max, threads,"
        " counted_runs) FROM STDIN"};
    const auto flush = [&] {
      for (CopyBuffer* b : {&senders, &buckets, &threads, &days, &rows}) b->flush(writer.c);
    };
    SummaryBackfill backfill(
        options_.runs_counted_per_client,
        {.sender = [&](std::string_view kind, std::string_view cpu, std::string_view client,
                       std::int64_t n) { senders.add(kind, cpu, client, static_cast<long long>(n)); },
         .processor =
             [&](std::string_view kind, const ProcessorSummary& s) {
               for (int counted = 0; counted < 2; ++counted)
                 for (const HistogramBucket& b : (counted ? s.counted : s.all).buckets())
                   buckets.add(kind, s.cpu, counted, b.index, static_cast<long long>(b.runs),
                               static_cast<long long>(b.sum), b.lowest, b.highest);
               for (const auto& [t, n] : s.threads) threads.add(kind, s.cpu, t, static_cast<long long>(n));
               for (const auto& [day, d] : s.days)
                 days.add(kind, s.cpu, day, static_cast<long long>(d.runs), static_cast<long long>(d.sum), d.lowest,
                          d.highest);
               const ProcessorRow row = processor_row(s);
               rows.add(kind, row.cpu, row.runs, row.avg_score, row.spread.min, row.spread.p10, row.spread.median,
                        row.spread.p90, row.spread.max, thread_list(row.threads), row.counted_runs);
             }});
    long long reported = 0;
    bool stopped = false;
    while (PGresult* r = PQgetResult(snapshot.c)) {
      Result owned{r};
      const auto status = PQresultStatus(r);
      if (status == PGRES_TUPLES_OK) continue;  // the end of the rows
      if (status != PGRES_SINGLE_TUPLE) throw StoreError(error_of(snapshot.c, "summary"));
      if (stop) {
        stopped = true;  // the rest is not read: closing the connection ends the query
        break;
      }
      backfill.add(text_of(r, 0, 0), text_of(r, 0, 1), text_of(r, 0, 2), static_cast<int>(integer_of(r, 0, 3)),
                   static_cast<int>(integer_of(r, 0, 4)), text_of(r, 0, 5));
      if (senders.rows + buckets.rows + days.rows >= 50000) flush();
      if (backfill.runs_seen() - reported >= 1000000) {
        reported = backfill.runs_seen();
        progress("summaries: " + std::to_string(reported) + " of " + std::to_string(total) + " runs");
      }
    }
    if (stopped) {
      Result{PQexec(writer.c, "ROLLBACK")};
      progress("summaries: stopped; they are computed again at the next start");
      return;
    }
    backfill.finish();
    flush();
    exec(snapshot.c, "COMMIT");

    // The runs stored meanwhile, with no insert under way (the lock), and the summaries declared
    // ready in the same transaction.
    Result{exec_params(writer.c, "summary", PGRES_TUPLES_OK, "SELECT pg_advisory_xact_lock($1)", kInsertLock)};
    Result later{exec_params(writer.c, "summary", PGRES_TUPLES_OK,
                             "SELECT kind, cpu_name, client, score, threads,"
                             " to_char(submitted_at AT TIME ZONE 'UTC', 'YYYY-MM-DD') FROM runs WHERE id > $1"
                             " ORDER BY id",
                             last)};
    for (int i = 0; i < PQntuples(later.res); ++i)
      summarise(writer.c, options_.runs_counted_per_client, text_of(later.res, i, 0), text_of(later.res, i, 1),
                text_of(later.res, i, 2), static_cast<int>(integer_of(later.res, i, 3)),
                static_cast<int>(integer_of(later.res, i, 4)), text_of(later.res, i, 5));
    exec(writer.c, "UPDATE summary_state SET ready = 1");
    exec(writer.c, "COMMIT");
    ready_ = true;
    progress("summaries ready: " + std::to_string(total + PQntuples(later.res)) + " runs");
  } catch (...) {
    Result{PQexec(writer.c, "ROLLBACK")};
    throw;
  }
}

}  // namespace

std::unique_ptr<IRunStore> open_postgres_store(const std::string& url, const StoreOptions& options) {
  return std::make_unique<PostgresRunStore>(url, options);
}
