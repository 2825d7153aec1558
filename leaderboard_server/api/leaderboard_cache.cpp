#include "leaderboard_server/api/leaderboard_cache.h"

#include "leaderboard_server/api/board_replies.h"

LeaderboardCache::LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age,
                                   std::size_t runs_per_client)
    : store_(store), max_rows_(max_rows), runs_per_client_(runs_per_client), max_age_(max_age) {}

std::shared_ptr<const CachedBoard> LeaderboardCache::fresh(Slot& s, Clock::time_point now, Clock::duration age_limit) {
  std::lock_guard lock(s.mutex);
  if (s.body && s.built_generation == s.generation.load() && now - s.built_at < age_limit) return s.body;
  return nullptr;
}

LeaderboardCache::Slot& LeaderboardCache::slot(RunKind kind) {
  std::size_t i = 0;
  while (i + 1 < slots_.size() && kRunKinds[i] != kind) ++i;
  return slots_[i];
}

std::shared_ptr<const std::string> LeaderboardCache::get(RunKind kind, bool* stale) {
  auto b = board(kind, stale);
  return std::shared_ptr<const std::string>(b, &b->api_reply);  // keeps the whole board alive
}

std::shared_ptr<const CachedBoard> LeaderboardCache::board(RunKind kind, bool* stale) {
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
    return rebuild_or_last(s, kind, stale);
  }
  std::lock_guard rebuilding(s.rebuild);
  // Built while we waited: judged from when we came, since a rebuild slower than half the
  // lifetime would otherwise make every waiter rebuild again, one after the other.
  if (auto body = fresh(s, now, max_age_)) return body;
  return rebuild_or_last(s, kind, stale);
}

std::shared_ptr<const CachedBoard> LeaderboardCache::rebuild_or_last(Slot& s, RunKind kind, bool* stale) {
  try {
    return rebuild(s, kind);
  } catch (const StoreError&) {
    if (stale) {
      std::lock_guard lock(s.mutex);
      if (s.body) {
        *stale = true;
        return s.body;
      }
    }
    throw;
  }
}

std::shared_ptr<const CachedBoard> LeaderboardCache::rebuild(Slot& s, RunKind kind) {
  // Read the generation before the query: a run stored during the query bumps it, and the
  // body built here is then already outdated and rebuilt on the next request.
  const auto generation = s.generation.load();
  const auto started = Clock::now();
  auto built = std::make_shared<CachedBoard>();
  built->board = build_board(store_.scores(kind), runs_per_client_);
  built->api_reply = api_reply(built->board, max_rows_);
  built->page_reply = page_rows_reply(built->board, "", max_rows_);
  std::shared_ptr<const CachedBoard> body = std::move(built);
  std::lock_guard lock(s.mutex);
  s.body = body;
  s.built_generation = generation;
  s.built_at = started;
  return body;
}

void LeaderboardCache::invalidate(RunKind kind) { slot(kind).generation.fetch_add(1); }
