// SQLite backend: one file, WAL mode, prepared statements, schema versioned by PRAGMA user_version.
#include "leaderboard_server/stores/run_store.h"

#include <sqlite3.h>

#include <mutex>
#include <optional>

namespace {

// Each entry moves the schema one version up; entries are never edited once released.
constexpr const char* kMigrations[] = {
    R"sql(
    CREATE TABLE runs (
        id           INTEGER PRIMARY KEY,
        kind         TEXT    NOT NULL CHECK (kind IN ('single', 'multi')),
        cpu_name     TEXT    NOT NULL,
        score        INTEGER NOT NULL,
        threads      INTEGER NOT NULL,
        user_agent   TEXT    NOT NULL,
        submitted_at TEXT    NOT NULL
    );
    CREATE INDEX runs_by_kind ON runs (kind, cpu_name);
    )sql",
    // The sender of each run, as a keyed hash; runs stored before have none.
    R"sql(
    ALTER TABLE runs ADD COLUMN client TEXT NOT NULL DEFAULT '';
    )sql",
    // The one-core SMT board: a third kind. SQLite cannot change a CHECK constraint in place, so
    // the table is copied into one that allows it, keeping every run and its id.
    R"sql(
    CREATE TABLE runs_with_smt (
        id           INTEGER PRIMARY KEY,
        kind         TEXT    NOT NULL CHECK (kind IN ('single', 'smt', 'multi')),
        cpu_name     TEXT    NOT NULL,
        score        INTEGER NOT NULL,
        threads      INTEGER NOT NULL,
        user_agent   TEXT    NOT NULL,
        submitted_at TEXT    NOT NULL,
        client       TEXT    NOT NULL DEFAULT ''
    );
    INSERT INTO runs_with_smt (id, kind, cpu_name, score, threads, user_agent, submitted_at, client)
        SELECT id, kind, cpu_name, score, threads, user_agent, submitted_at, client FROM runs;
    DROP TABLE runs;
    ALTER TABLE runs_with_smt RENAME TO runs;
    CREATE INDEX runs_by_kind ON runs (kind, cpu_name);
    )sql",
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
      throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement however the step ends, so the next use starts clean and no read
// transaction stays open.
struct ResetOnExit {
  sqlite3_stmt* stmt;
  ~ResetOnExit() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
};

class SqliteRunStore final : public IRunStore {
 public:
  explicit SqliteRunStore(const std::string& path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("sqlite: cannot open " + path + ": " + msg);
    }
    try {
      // Another instance or a backup tool may hold the lock briefly; wait instead of failing.
      sqlite3_busy_timeout(db_, 5000);
      exec("PRAGMA journal_mode=WAL");
      // WAL with NORMAL never corrupts the file; a power cut may lose the last commits,
      // which for a leaderboard is a fair price for not syncing on every submission.
      exec("PRAGMA synchronous=NORMAL");
      migrate();
      insert_.emplace(db_,
                      "INSERT INTO runs (kind, cpu_name, score, threads, user_agent, client, submitted_at) "
                      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, strftime('%Y-%m-%dT%H:%M:%fZ', 'now'))");
      select_.emplace(db_,
                      "SELECT cpu_name, score, threads, submitted_at, client FROM runs WHERE kind = ?1 "
                      "ORDER BY cpu_name, id");
      ping_.emplace(db_, "SELECT 1");
    } catch (...) {
      insert_.reset(), select_.reset(), ping_.reset();
      sqlite3_close(db_);
      throw;
    }
  }

  ~SqliteRunStore() override {
    insert_.reset(), select_.reset(), ping_.reset();
    sqlite3_close(db_);
  }

  void add_run(const Submission& run, const std::string& user_agent, const std::string& client) override {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* s = insert_->get();
    ResetOnExit reset{s};
    sqlite3_bind_text(s, 1, run_kind_text(run.kind), -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, run.cpu_name.data(), static_cast<int>(run.cpu_name.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 3, run.score);
    sqlite3_bind_int(s, 4, run.threads);
    sqlite3_bind_text(s, 5, user_agent.data(), static_cast<int>(user_agent.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 6, client.data(), static_cast<int>(client.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("insert");
  }

  std::vector<StoredScore> scores(RunKind kind) override {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* s = select_->get();
    ResetOnExit reset{s};
    sqlite3_bind_text(s, 1, run_kind_text(kind), -1, SQLITE_STATIC);
    std::vector<StoredScore> out;
    int rc = 0;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      const int bytes = sqlite3_column_bytes(s, 0);
      const auto* date = reinterpret_cast<const char*>(sqlite3_column_text(s, 3));
      const auto* client = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
      out.push_back({std::string(text ? text : "", static_cast<std::size_t>(bytes)), sqlite3_column_int(s, 1),
                     sqlite3_column_int(s, 2), date ? date : "", client ? client : ""});
    }
    if (rc != SQLITE_DONE) fail("select");
    return out;
  }

  void ping() override {
    std::lock_guard lock(mutex_);
    ResetOnExit reset{ping_->get()};
    if (sqlite3_step(ping_->get()) != SQLITE_ROW) fail("ping");
  }

 private:
  void exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : sqlite3_errmsg(db_);
      sqlite3_free(err);
      throw StoreError("sqlite: " + msg);
    }
  }

  void migrate() {
    // IMMEDIATE takes the write lock first, so two servers starting on one file migrate once.
    exec("BEGIN IMMEDIATE");
    try {
      int version = 0;
      {
        Statement v(db_, "PRAGMA user_version");
        if (sqlite3_step(v.get()) == SQLITE_ROW) version = sqlite3_column_int(v.get(), 0);
      }
      const int latest = static_cast<int>(std::size(kMigrations));
      if (version > latest)
        throw StoreError("sqlite: database schema version " + std::to_string(version) +
                         " is newer than this server knows (" + std::to_string(latest) + ")");
      for (int v = version; v < latest; ++v) exec(kMigrations[v]);
      exec(("PRAGMA user_version = " + std::to_string(latest)).c_str());
      exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  [[noreturn]] void fail(const char* what) {
    throw StoreError(std::string("sqlite ") + what + ": " + sqlite3_errmsg(db_));
  }

  sqlite3* db_ = nullptr;
  std::mutex mutex_;  // one connection: statements are reused, so calls take turns
  std::optional<Statement> insert_, select_, ping_;
};

}  // namespace

std::unique_ptr<IRunStore> open_sqlite_store(const std::string& path) { return std::make_unique<SqliteRunStore>(path); }
