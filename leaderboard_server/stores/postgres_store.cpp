// PostgreSQL backend through libpq: several stateless servers can share one database.
#include "leaderboard_server/stores/run_store.h"

#include <libpq-fe.h>

#include <poll.h>

#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

// Same versioning idea as the SQLite file: a table holds the version, each entry moves it up one.
constexpr const char* kMigrations[] = {
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
};

// Any number, as long as all servers sharing a database agree: it serialises their migrations.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7275100401)";

constexpr std::size_t kPoolSize = 4;

struct Result {
  PGresult* res;
  ~Result() { PQclear(res); }
};

class PostgresRunStore final : public IRunStore {
 public:
  explicit PostgresRunStore(std::string url) : url_(std::move(url)) {
    PGconn* first = connect();
    try {
      migrate(first);
      prepare(first);
    } catch (...) {
      PQfinish(first);
      throw;
    }
    idle_.push_back(first);
  }

  ~PostgresRunStore() override {
    for (PGconn* c : idle_) PQfinish(c);
  }

  void add_run(const Submission& run, const std::string& user_agent, const std::string& client) override {
    const std::string score = std::to_string(run.score), threads = std::to_string(run.threads);
    const char* values[] = {run_kind_text(run.kind), run.cpu_name.c_str(), score.c_str(),
                            threads.c_str(),         user_agent.c_str(),   client.c_str()};
    // Not repeated once sent: the insert may have been committed before the connection broke.
    with_connection(Retry::IfNotSent, [&](PGconn* c) {
      Result r{send_prepared(c, "insert_run", 6, values)};
      if (PQresultStatus(r.res) != PGRES_COMMAND_OK) throw StoreError(error_of(c, "insert"));
    });
  }

  std::vector<StoredScore> scores(RunKind kind) override {
    std::vector<StoredScore> out;
    const char* values[] = {run_kind_text(kind)};
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      Result r{send_prepared(c, "select_scores", 1, values)};
      if (PQresultStatus(r.res) != PGRES_TUPLES_OK) throw StoreError(error_of(c, "select"));
      const int n = PQntuples(r.res);
      out.clear();
      out.reserve(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i) {
        StoredScore s;
        s.cpu_name.assign(PQgetvalue(r.res, i, 0), static_cast<std::size_t>(PQgetlength(r.res, i, 0)));
        const char* score = PQgetvalue(r.res, i, 1);
        std::from_chars(score, score + PQgetlength(r.res, i, 1), s.score);
        const char* threads = PQgetvalue(r.res, i, 2);
        std::from_chars(threads, threads + PQgetlength(r.res, i, 2), s.threads);
        s.submitted_at.assign(PQgetvalue(r.res, i, 3), static_cast<std::size_t>(PQgetlength(r.res, i, 3)));
        s.client.assign(PQgetvalue(r.res, i, 4), static_cast<std::size_t>(PQgetlength(r.res, i, 4)));
        out.push_back(std::move(s));
      }
    });
    return out;
  }

  void ping() override {
    with_connection(Retry::IfConnectionLost, [&](PGconn* c) {
      Result r{PQexec(c, "SELECT 1")};
      if (PQresultStatus(r.res) != PGRES_TUPLES_OK) throw StoreError(error_of(c, "ping"));
    });
  }

 private:
  static std::string error_of(PGconn* c, const char* what) {
    return std::string("postgresql ") + what + ": " + PQerrorMessage(c);
  }

  PGconn* connect() {
    PGconn* c = PQconnectdb(url_.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
      std::string msg = error_of(c, "connect");
      PQfinish(c);
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

  static void exec(PGconn* c, const char* sql) {
    Result r{PQexec(c, sql)};
    const auto status = PQresultStatus(r.res);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw StoreError(error_of(c, "schema"));
  }

  static void migrate(PGconn* c) {
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
      const int latest = static_cast<int>(std::size(kMigrations));
      if (version > latest)
        throw StoreError("postgresql: database schema version " + std::to_string(version) +
                         " is newer than this server knows (" + std::to_string(latest) + ")");
      for (int v = version; v < latest; ++v) exec(c, kMigrations[v]);
      exec(c, "DELETE FROM schema_version");
      exec(c, ("INSERT INTO schema_version VALUES (" + std::to_string(latest) + ")").c_str());
      exec(c, "COMMIT");
    } catch (...) {
      Result r{PQexec(c, "ROLLBACK")};
      throw;
    }
  }

  static void prepare(PGconn* c) {
    const auto prep = [c](const char* name, const char* sql, int params) {
      Result r{PQprepare(c, name, sql, params, nullptr)};
      if (PQresultStatus(r.res) != PGRES_COMMAND_OK) throw StoreError(error_of(c, "prepare"));
    };
    prep("insert_run",
         "INSERT INTO runs (kind, cpu_name, score, threads, user_agent, client) "
         "VALUES ($1, $2, $3::integer, $4::integer, $5, $6)",
         6);
    // The date in the SQLite file's form, so that both stores sort and print it alike.
    prep("select_scores",
         "SELECT cpu_name, score, threads,"
         " to_char(submitted_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), client"
         " FROM runs WHERE kind = $1 ORDER BY cpu_name COLLATE \"C\", id",
         1);
  }

  // The connection broke before the statement left: it cannot have run anywhere.
  struct NotSent {};

  // Sends a prepared statement and waits for its result. Throws NotSent when nothing was sent.
  static PGresult* send_prepared(PGconn* c, const char* name, int count, const char* const* values) {
    if (!PQsendQueryPrepared(c, name, count, values, nullptr, nullptr, 0)) throw NotSent{};
    PGresult* last = nullptr;
    while (PGresult* r = PQgetResult(c)) {
      PQclear(last);
      last = r;
    }
    return last;
  }

  // A pooled connection idle while the database restarted looks fine to libpq until it is used;
  // the server's goodbye (or the end of the stream) is already waiting on its socket, though.
  // An idle connection has nothing to read, so anything readable means it is finished.
  static bool idle_connection_usable(PGconn* c) {
    if (PQstatus(c) != CONNECTION_OK) return false;
    pollfd p{PQsocket(c), POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
  }

  enum class Retry { IfNotSent, IfConnectionLost };

  // Lends a connection to `work`; opens one when none is idle and the pool is not full. A
  // connection that broke is replaced, and the work is done again on a fresh one once when it
  // cannot have taken effect (nothing was sent), or for reads when the connection was lost.
  template <class Work>
  void with_connection(Retry retry, Work&& work) {
    for (int attempt = 0;; ++attempt) {
      PGconn* c = take();
      try {
        if (c && !idle_connection_usable(c)) c = drop(c);
        if (!c) c = open_prepared();
        work(c);
        give_back(c);
        return;
      } catch (const NotSent&) {
        // fall through to the retry below
      } catch (const StoreError&) {
        const bool lost = c && PQstatus(c) != CONNECTION_OK;
        if (!lost || attempt > 0 || retry != Retry::IfConnectionLost) {
          give_back(lost ? drop(c) : c);
          throw;
        }
      } catch (...) {
        give_back(c && PQstatus(c) != CONNECTION_OK ? drop(c) : c);
        throw;
      }
      give_back(drop(c));
      if (attempt > 0) throw StoreError("postgresql: the connection broke twice in a row");
    }
  }

  PGconn* open_prepared() {
    PGconn* c = connect();
    try {
      prepare(c);
    } catch (...) {
      PQfinish(c);
      throw;
    }
    return c;
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
    if (c) PQfinish(c);
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
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<PGconn*> idle_;
  std::size_t open_ = 1;  // connections in existence, idle or lent
};

}  // namespace

std::unique_ptr<IRunStore> open_postgres_store(const std::string& url) {
  return std::make_unique<PostgresRunStore>(url);
}
