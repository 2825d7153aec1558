// SQLite backend: one file, WAL mode, prepared statements, schema versioned by PRAGMA user_version.
// Three connections, so that no call waits behind another kind of call: the writer (inserts and
// the summaries' computation), the reader (boards and processor pages, which WAL lets read while
// the writer writes) and one for the health check alone.
#include "leaderboard_server/stores/run_store.h"
#include "leaderboard_server/stores/sqlite_connection.h"
#include "leaderboard_server/stores/sqlite_summaries.h"
#include "leaderboard_server/stores/summary_backfill.h"
#include "leaderboard_server/stores/summary_schema.h"

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace {

using namespace sqlite;

// Each entry moves the schema one version up; entries are never edited once released.
constexpr const char* kSqliteMigrations[] = {
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
    kSqliteSummaryTables,
};

class SqliteRunStore final : public IRunStore {
 public:
  SqliteRunStore(const std::string& path, const StoreOptions& options) : path_(path), options_(options), writer_(path) {
    writer_.exec("PRAGMA journal_mode=WAL");
    // WAL with NORMAL never corrupts the file; a power cut may lose the last commits,
    // which for a leaderboard is a fair price for not syncing on every submission.
    writer_.exec("PRAGMA synchronous=NORMAL");
    // The WAL is copied back into the file by a thread of its own, not by whichever commit
    // crosses the threshold: on a file of gigabytes that copy (and its fsync) took a submission
    // tens of milliseconds.
    sqlite3_wal_autocheckpoint(writer_.get(), 0);
    migrate();
    insert_.emplace(writer_.get(),
                    "INSERT INTO runs (kind, cpu_name, score, threads, user_agent, client, submitted_at) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, strftime('%Y-%m-%dT%H:%M:%fZ', 'now')) "
                    "RETURNING substr(submitted_at, 1, 10)");
    select_.emplace(writer_.get(),
                    "SELECT cpu_name, score, threads, submitted_at, client FROM runs WHERE kind = ?1 "
                    "ORDER BY cpu_name, id");
    summary_.emplace(writer_.get());
    written_.emplace(writer_.get());
    reader_.emplace(path);
    reads_.emplace(reader_->get());
    pinger_.emplace(path);
    ping_.emplace(pinger_->get(), "SELECT 1");
    ready_ = read_ready();
    if (!ready_ && few_runs_to_summarise()) {
      std::atomic<bool> never{false};
      compute_summaries([](const std::string&) {}, never);
    }
    // Last: a constructor that throws must not leave a running thread behind.
    checkpointer_ = std::thread([this] { checkpoint_now_and_then(); });
  }

  ~SqliteRunStore() override {
    {
      std::lock_guard lock(checkpoint_mutex_);
      closing_ = true;
    }
    checkpoint_wake_.notify_all();
    if (checkpointer_.joinable()) checkpointer_.join();
    // Statements before their connections.
    ping_.reset(), reads_.reset(), written_.reset(), summary_.reset(), select_.reset(), insert_.reset();
  }

  std::optional<ProcessorRow> add_run(const Submission& run, const std::string& user_agent,
                                      const std::string& client) override {
    std::lock_guard lock(write_mutex_);
    writer_.exec("BEGIN IMMEDIATE");
    try {
      std::string day;
      {
        ResetOnExit reset{insert_->get()};
        insert_->bind(run_kind_text(run.kind), run.cpu_name, run.score, run.threads, user_agent, client);
        if (!insert_->step("insert")) throw StoreError("sqlite insert: no date returned");
        day = insert_->text(0);
      }
      std::optional<ProcessorRow> row;
      if (ready_) row = summarise(run, client, day);
      writer_.exec("COMMIT");
      return row;
    } catch (...) {
      writer_.rollback();
      throw;
    }
  }

  std::vector<ProcessorRow> processor_rows(RunKind kind) override {
    require_ready();
    std::lock_guard lock(read_mutex_);
    Statement& s = reads_->rows;
    ResetOnExit reset{s.get()};
    s.bind(run_kind_text(kind));
    std::vector<ProcessorRow> out;
    while (s.step("select")) {
      ProcessorRow r{
          .cpu = std::string(s.text(0)),
          .runs = s.integer(1),
          .counted_runs = s.integer(9),
          .avg_score = s.integer(2),
          .spread = {static_cast<int>(s.integer(3)), static_cast<int>(s.integer(4)), static_cast<int>(s.integer(5)),
                     static_cast<int>(s.integer(6)), static_cast<int>(s.integer(7))},
          .threads = parse_thread_list(s.text(8))};
      out.push_back(std::move(r));
    }
    return out;
  }

  std::optional<ProcessorSummary> processor(RunKind kind, std::string_view cpu) override {
    require_ready();
    std::lock_guard lock(read_mutex_);
    // One read transaction, so that histograms, threads and days are of the same moment.
    reader_->exec("BEGIN");
    try {
      auto s = read_summary(*reads_, run_kind_text(kind), cpu, true);
      reader_->exec("COMMIT");
      return s;
    } catch (...) {
      reader_->rollback();
      throw;
    }
  }

  std::vector<StoredScore> scores(RunKind kind) override {
    std::lock_guard lock(write_mutex_);
    Statement& s = *select_;
    ResetOnExit reset{s.get()};
    s.bind(run_kind_text(kind));
    std::vector<StoredScore> out;
    while (s.step("select"))
      out.push_back({std::string(s.text(0)), static_cast<int>(s.integer(1)), static_cast<int>(s.integer(2)),
                     std::string(s.text(3)), std::string(s.text(4))});
    return out;
  }

  bool summaries_ready() override { return ready_; }

  void compute_summaries(const std::function<void(const std::string&)>& progress,
                         const std::atomic<bool>& stop) override;

  void ping() override {
    std::lock_guard lock(ping_mutex_);
    ResetOnExit reset{ping_->get()};
    if (!ping_->step("ping")) throw StoreError("sqlite ping: no row");
  }

 private:
  // Copies what the WAL holds into the database file twice a second, on a connection of its own;
  // PASSIVE never waits for a reader or the writer, so nobody waits for it.
  void checkpoint_now_and_then() {
    try {
      Connection own(path_);
      std::unique_lock lock(checkpoint_mutex_);
      while (!checkpoint_wake_.wait_for(lock, std::chrono::milliseconds(500), [&] { return closing_; }))
        sqlite3_wal_checkpoint_v2(own.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } catch (const StoreError& e) {
      std::fprintf(stderr, "database checkpoints stopped: %s\n", e.what());
    }
  }

  void migrate() {
    // IMMEDIATE takes the write lock first, so two servers starting on one file migrate once.
    writer_.exec("BEGIN IMMEDIATE");
    try {
      int version = 0;
      {
        Statement v(writer_.get(), "PRAGMA user_version");
        if (v.step("schema")) version = static_cast<int>(v.integer(0));
      }
      const int latest = static_cast<int>(std::size(kSqliteMigrations));
      if (version > latest)
        throw StoreError("sqlite: database schema version " + std::to_string(version) +
                         " is newer than this server knows (" + std::to_string(latest) + ")");
      for (int v = version; v < latest; ++v) writer_.exec(kSqliteMigrations[v]);
      writer_.exec(("PRAGMA user_version = " + std::to_string(latest)).c_str());
      // Summaries kept for another count of runs per sender are computed again.
      {
        Statement state(writer_.get(), "SELECT runs_counted_per_client FROM summary_state");
        if (state.step("schema") && state.integer(0) != static_cast<long long>(options_.runs_counted_per_client)) {
          for (const char* sql : kSummaryReset) writer_.exec(sql);
          Statement set(writer_.get(), "UPDATE summary_state SET ready = 0, runs_counted_per_client = ?1");
          set.bind(static_cast<long long>(options_.runs_counted_per_client)).run("schema");
        }
      }
      writer_.exec("COMMIT");
    } catch (...) {
      writer_.rollback();
      throw;
    }
  }

  bool read_ready() {
    std::lock_guard lock(write_mutex_);
    ResetOnExit reset{summary_->state.get()};
    summary_->state.bind();
    return summary_->state.step("summary state") && summary_->state.integer(0) == 1;
  }

  bool few_runs_to_summarise() {
    Statement count(writer_.get(), "SELECT COUNT(*) FROM (SELECT 1 FROM runs LIMIT ?1)");
    count.bind(options_.summarise_at_open_up_to + 1);
    return count.step("count") && count.integer(0) <= options_.summarise_at_open_up_to;
  }

  void require_ready() {
    if (!ready_) throw SummariesNotReady();
  }

  // Adds one stored run to its processor's summary and returns the processor's new row. Within
  // the insert's transaction, on the writer.
  ProcessorRow summarise(const Submission& run, const std::string& client, std::string_view day) {
    SummaryStatements& s = *summary_;
    const char* kind = run_kind_text(run.kind);
    s.count_run.bind(kind, run.cpu_name).run("summary");
    bool counts = options_.runs_counted_per_client == 0 || client.empty();
    if (!client.empty()) {
      ResetOnExit reset{s.count_sender.get()};
      s.count_sender.bind(kind, run.cpu_name, client);
      if (!s.count_sender.step("summary")) throw StoreError("sqlite summary: no sender count");
      counts = counts || static_cast<std::size_t>(s.count_sender.integer(0)) <= options_.runs_counted_per_client;
    }
    const int bucket = score_bucket(run.score);
    s.add_bucket.bind(kind, run.cpu_name, 0, bucket, 1, run.score, run.score, run.score).run("summary");
    if (counts) s.add_bucket.bind(kind, run.cpu_name, 1, bucket, 1, run.score, run.score, run.score).run("summary");
    s.add_threads.bind(kind, run.cpu_name, run.threads, 1).run("summary");
    s.add_day.bind(kind, run.cpu_name, day, 1, run.score, run.score, run.score).run("summary");
    const auto summary = read_summary(*written_, kind, run.cpu_name, false);
    if (!summary) throw StoreError("sqlite summary: the processor's summary vanished");
    const ProcessorRow row = processor_row(*summary);
    put_row(kind, row);
    return row;
  }

  void put_row(std::string_view kind, const ProcessorRow& row) {
    summary_->put_row
        .bind(kind, row.cpu, row.runs, row.avg_score, row.spread.min, row.spread.p10, row.spread.median, row.spread.p90,
              row.spread.max, thread_list(row.threads), row.counted_runs)
        .run("summary");
  }

  // Writes one finished processor of the backfill (tables emptied before it started).
  void put_summary(std::string_view kind, const ProcessorSummary& s) {
    SummaryStatements& st = *summary_;
    for (int counted = 0; counted < 2; ++counted)
      for (const HistogramBucket& b : (counted ? s.counted : s.all).buckets())
        st.add_bucket.bind(kind, s.cpu, counted, b.index, b.runs, b.sum, b.lowest, b.highest).run("summary");
    for (const auto& [threads, runs] : s.threads) st.add_threads.bind(kind, s.cpu, threads, runs).run("summary");
    for (const auto& [day, d] : s.days)
      st.add_day.bind(kind, s.cpu, day, d.runs, d.sum, d.lowest, d.highest).run("summary");
    put_row(kind, processor_row(s));
  }

  std::string path_;
  StoreOptions options_;
  Connection writer_;
  std::mutex write_mutex_;  // statements are reused, so calls on one connection take turns
  std::optional<Connection> reader_, pinger_;
  std::mutex read_mutex_, ping_mutex_;
  std::optional<Statement> insert_, select_, ping_;
  std::optional<SummaryStatements> summary_;
  std::optional<ReadStatements> written_, reads_;  // on the writer's and the reader's connection
  std::atomic<bool> ready_{false};
  std::mutex checkpoint_mutex_;
  std::condition_variable checkpoint_wake_;
  bool closing_ = false;
  std::thread checkpointer_;
};

void SqliteRunStore::compute_summaries(const std::function<void(const std::string&)>& progress,
                                       const std::atomic<bool>& stop) {
  if (ready_) return;
  // Start from empty tables: a computation cut short by a stop or a crash left a part.
  {
    std::lock_guard lock(write_mutex_);
    writer_.exec("BEGIN IMMEDIATE");
    try {
      for (const char* sql : kSummaryReset) writer_.exec(sql);
      writer_.exec("COMMIT");
    } catch (...) {
      writer_.rollback();
      throw;
    }
  }
  // The runs of one moment, read on a connection of their own while inserts go on; the runs
  // stored after it (ids above `last`) are added one by one at the end.
  Connection snapshot(path_);
  // Sorting ten million runs takes a while before the first row: a stop interrupts it too.
  sqlite3_progress_handler(
      snapshot.get(), 100000, [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
      const_cast<std::atomic<bool>*>(&stop));
  snapshot.exec("BEGIN");
  long long last = 0, total = 0;
  {
    Statement m(snapshot.get(), "SELECT COALESCE(MAX(id), 0), COUNT(*) FROM runs");
    if (m.step("summary")) last = m.integer(0), total = m.integer(1);
  }
  progress("computing the summaries of " + std::to_string(total) + " stored runs");
  Statement runs(snapshot.get(),
                 "SELECT kind, cpu_name, client, score, threads, substr(submitted_at, 1, 10) FROM runs"
                 " ORDER BY kind, cpu_name, client, id");
  runs.bind();

  // Writes go in batches, each its own transaction, so that inserts (which only add runs until
  // the summaries are ready) wait for one batch at most.
  std::unique_lock<std::mutex> lock(write_mutex_, std::defer_lock);
  long long pending = 0, reported = 0;
  const auto begin_batch = [&] {
    if (lock.owns_lock()) return;
    lock.lock();
    writer_.exec("BEGIN IMMEDIATE");
  };
  const auto end_batch = [&] {
    if (!lock.owns_lock()) return;
    writer_.exec("COMMIT");
    lock.unlock();
    pending = 0;
  };
  SummaryBackfill backfill(
      options_.runs_counted_per_client,
      {.sender =
           [&](std::string_view kind, std::string_view cpu, std::string_view client, std::int64_t n) {
             begin_batch();
             summary_->put_sender.bind(kind, cpu, client, n).run("summary");
             ++pending;
           },
       .processor =
           [&](std::string_view kind, const ProcessorSummary& s) {
             begin_batch();
             put_summary(kind, s);
             pending += 1 + static_cast<long long>(s.all.buckets().size() + s.days.size());
           }});
  try {
    while (runs.step("summary")) {
      if (stop) {
        if (lock.owns_lock()) writer_.rollback(), lock.unlock();
        progress("summaries: stopped; they are computed again at the next start");
        return;
      }
      backfill.add(runs.text(0), runs.text(1), runs.text(2), static_cast<int>(runs.integer(3)),
                   static_cast<int>(runs.integer(4)), runs.text(5));
      if (pending >= 20000) end_batch();
      if (backfill.runs_seen() - reported >= 1000000) {
        reported = backfill.runs_seen();
        progress("summaries: " + std::to_string(reported) + " of " + std::to_string(total) + " runs");
      }
    }
    backfill.finish();
    end_batch();
    sqlite3_reset(runs.get());
    snapshot.exec("COMMIT");

    // The runs stored meanwhile, under the write lock, and the summaries declared ready in the
    // same transaction: no insert falls between the two.
    lock.lock();
    writer_.exec("BEGIN IMMEDIATE");
    Statement later(writer_.get(),
                    "SELECT kind, cpu_name, score, threads, client, substr(submitted_at, 1, 10) FROM runs"
                    " WHERE id > ?1 ORDER BY id");
    later.bind(last);
    long long added = 0;
    while (later.step("summary")) {
      const auto kind = parse_run_kind(later.text(0));
      if (!kind) continue;  // a kind this server does not serve stays out of every board
      const Submission run{.cpu_name = std::string(later.text(1)),
                           .kind = *kind,
                           .score = static_cast<int>(later.integer(2)),
                           .threads = static_cast<int>(later.integer(3))};
      summarise(run, std::string(later.text(4)), later.text(5));
      ++added;
    }
    sqlite3_reset(later.get());
    writer_.exec("UPDATE summary_state SET ready = 1");
    writer_.exec("COMMIT");
    ready_ = true;
    lock.unlock();
    progress("summaries ready: " + std::to_string(total + added) + " runs");
  } catch (...) {
    if (lock.owns_lock()) writer_.rollback();
    snapshot.rollback();
    throw;
  }
}

}  // namespace

std::unique_ptr<IRunStore> open_sqlite_store(const std::string& path, const StoreOptions& options) {
  return std::make_unique<SqliteRunStore>(path, options);
}
