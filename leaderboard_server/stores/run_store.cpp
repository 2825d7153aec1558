#include "leaderboard_server/stores/run_store.h"

std::unique_ptr<IRunStore> open_run_store(const std::string& database) {
  if (database.starts_with("postgresql://") || database.starts_with("postgres://"))
    return open_postgres_store(database);
  return open_sqlite_store(database);
}
