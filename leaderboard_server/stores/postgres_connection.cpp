#include "leaderboard_server/stores/postgres_connection.h"

namespace postgres {

PreparedStatements prepared;

std::pair<std::string, bool> PreparedStatements::name_on(PGconn* c, const char* sql) {
  std::lock_guard lock(mutex_);
  auto& names = by_connection_[c];
  std::string name = "s";
  name += std::to_string(names.size());
  const auto [it, fresh] = names.try_emplace(sql, std::move(name));
  return {it->second, fresh};
}

void PreparedStatements::forget(PGconn* c, const char* sql) {
  std::lock_guard lock(mutex_);
  by_connection_[c].erase(sql);
}

void PreparedStatements::finish(PGconn* c) {
  {
    std::lock_guard lock(mutex_);
    by_connection_.erase(c);
  }
  PQfinish(c);
}

}  // namespace postgres
