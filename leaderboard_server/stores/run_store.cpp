#include "leaderboard_server/stores/run_store.h"

std::unique_ptr<IRunStore> open_run_store(const std::string& database, const StoreOptions& options) {
  if (database.starts_with("postgresql://") || database.starts_with("postgres://"))
    return open_postgres_store(database, options);
  return open_sqlite_store(database, options);
}
