#include "server/leaderboard_cache.h"

#include <nlohmann/json.hpp>

LeaderboardCache::LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age,
                                   std::size_t runs_per_client)
    : store_(store), max_rows_(max_rows), runs_per_client_(runs_per_client), max_age_(max_age) {}

std::shared_ptr<const std::string> LeaderboardCache::fresh(Slot& s, Clock::time_point now, Clock::duration age_limit) {
  std::lock_guard lock(s.mutex);
  if (s.body && s.built_generation == s.generation.load() && now - s.built_at < age_limit) return s.body;
  return nullptr;
}

std::shared_ptr<const std::string> LeaderboardCache::last_or_throw(Slot& s, bool* stale) {
  if (stale) {
    std::lock_guard lock(s.mutex);
    if (s.body) {
      *stale = true;
      return s.body;
    }
  }
  throw;
}

std::shared_ptr<const std::string> LeaderboardCache::get(const std::string& kind, bool* stale) {
  Slot& s = slot(kind);
  const auto now = Clock::now();
  if (auto body = fresh(s, now, max_age_ / 2)) return body;

  // In the second half of its life a body is refreshed by one request while the others keep
  // being served from it, so a busy server never makes readers queue behind a rebuild. Only a
  // body that is past max_age, or outdated by a run stored here, makes readers wait: a
  // client's refresh right after its own submission must show that submission.
  if (auto aging = fresh(s, now, max_age_)) {
    std::unique_lock rebuilding(s.rebuild, std::try_to_lock);
    if (!rebuilding.owns_lock()) return aging;
    try {
      return rebuild(s, kind);
    } catch (const StoreError&) {
      return last_or_throw(s, stale);
    }
  }
  std::lock_guard rebuilding(s.rebuild);
  if (auto body = fresh(s, Clock::now(), max_age_ / 2)) return body;  // built while we waited
  try {
    return rebuild(s, kind);
  } catch (const StoreError&) {
    return last_or_throw(s, stale);
  }
}

std::shared_ptr<const std::string> LeaderboardCache::rebuild(Slot& s, const std::string& kind) {
  // Read the generation before the query: a run stored during the query bumps it, and the
  // body built here is then already outdated and rebuilt on the next request.
  const auto generation = s.generation.load();
  const auto started = Clock::now();
  auto body = std::make_shared<const std::string>(build(kind));
  std::lock_guard lock(s.mutex);
  s.body = body;
  s.built_generation = generation;
  s.built_at = started;
  return body;
}

void LeaderboardCache::invalidate(const std::string& kind) { slot(kind).generation.fetch_add(1); }

std::string LeaderboardCache::build(const std::string& kind) {
  nlohmann::json rows = nlohmann::json::array();
  for (auto& row : rank_runs(store_.scores(kind), max_rows_, runs_per_client_))
    rows.push_back({{"cpu", std::move(row.cpu)}, {"avg_score", row.avg_score}, {"runs", row.runs}});
  nlohmann::json doc = {{"leaderboard", std::move(rows)}};
  // Stored names were checked as UTF-8; `replace` only guards against rows put in by hand.
  return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
