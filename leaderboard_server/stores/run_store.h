#pragma once
// Where accepted runs live, with their per-processor summaries kept in the same transaction as
// each insert. One interface, one file per database; the server picks by --database.

#include "leaderboard_server/rules/processor_summary.h"
#include "leaderboard_server/rules/ranking.h"
#include "leaderboard_server/rules/submission.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised when the database cannot be reached or refuses a statement; the API answers 503.
struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Raised by the summary reads while the summaries of runs stored before them are being computed;
// the API answers 503 "migrating" with Retry-After.
struct SummariesNotReady : std::runtime_error {
  SummariesNotReady() : std::runtime_error("migrating") {}
};

class IRunStore {
 public:
  virtual ~IRunStore() = default;
  // Stores one accepted run with the current time, the client's User-Agent and the keyed hash of
  // its address (AddressHasher), and updates its processor's summary in the same transaction.
  // Returns the processor's row after the insert, or nothing while summaries are being computed.
  virtual std::optional<ProcessorRow> add_run(const Submission& run, const std::string& user_agent,
                                              const std::string& client) = 0;
  // Every processor's row of one kind, from the summaries. Throws SummariesNotReady, StoreError.
  virtual std::vector<ProcessorRow> processor_rows(RunKind kind) = 0;
  // One processor's whole summary, or nothing for a name without runs. Throws as processor_rows.
  virtual std::optional<ProcessorSummary> processor(RunKind kind, std::string_view cpu) = 0;
  // Processor name, score and sender of every stored run of one kind, in byte order of the name,
  // oldest first within a name. Reads every run: for tests and checks, never for a request.
  virtual std::vector<StoredScore> scores(RunKind kind) = 0;

  // Whether the summaries cover every stored run (false after an upgrade until compute_summaries
  // is done, perhaps by another instance).
  virtual bool summaries_ready() = 0;
  // Computes the summaries of the runs stored before they were kept, while inserts go on; calls
  // `progress` with a line now and then. Returns early, leaving them not ready, once `stop` is
  // set; another instance doing it makes this wait for it. Throws StoreError.
  virtual void compute_summaries(const std::function<void(const std::string&)>& progress,
                                 const std::atomic<bool>& stop) = 0;
  // Cheap round trip for the health check, on a connection of its own: never waits for others.
  virtual void ping() = 0;
};

struct StoreOptions {
  // Runs of one sender that count in a processor's average (its earliest); 0 = all. The
  // summaries are kept for one value: opening with another computes them again.
  std::size_t runs_counted_per_client = kRunsCountedPerClient;
  // A database with at most this many runs not yet summarised gets its summaries while it is
  // opened; more are left to compute_summaries, so that the server listens at once.
  long long summarise_at_open_up_to = 20000;
};

// "postgresql://..." or "postgres://..." opens PostgreSQL; anything else is an SQLite file path.
// Creates or migrates the schema before returning. Throws StoreError.
std::unique_ptr<IRunStore> open_run_store(const std::string& database, const StoreOptions& options = {});

std::unique_ptr<IRunStore> open_sqlite_store(const std::string& path, const StoreOptions& options);
std::unique_ptr<IRunStore> open_postgres_store(const std::string& url, const StoreOptions& options);
