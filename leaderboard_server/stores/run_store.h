#pragma once
// Where accepted runs live. One interface, one file per database; the server picks by --database.

#include "leaderboard_server/rules/ranking.h"
#include "leaderboard_server/rules/submission.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Raised when the database cannot be reached or refuses a statement; the API answers 503.
struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class IRunStore {
 public:
  virtual ~IRunStore() = default;
  // Stores one accepted run with the current time, the client's User-Agent and the keyed hash of
  // its address (AddressHasher).
  virtual void add_run(const Submission& run, const std::string& user_agent, const std::string& client) = 0;
  // Processor name, score and sender of every stored run of one kind, in byte order of the name,
  // oldest first within a name.
  virtual std::vector<StoredScore> scores(RunKind kind) = 0;
  // Cheap round trip for the health check.
  virtual void ping() = 0;
};

// "postgresql://..." or "postgres://..." opens PostgreSQL; anything else is an SQLite file path.
// Creates or migrates the schema before returning. Throws StoreError.
std::unique_ptr<IRunStore> open_run_store(const std::string& database);

std::unique_ptr<IRunStore> open_sqlite_store(const std::string& path);
std::unique_ptr<IRunStore> open_postgres_store(const std::string& url);
