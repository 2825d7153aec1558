#include "leaderboard_server/api/leaderboard_cache.h"

#include "leaderboard_server/api/board_replies.h"

#include <algorithm>

std::shared_ptr<const std::string> CachedBoard::processor_reply(const std::string& key) const {
  std::lock_guard lock(kept_mutex_);
  const auto it = kept_.find(key);
  return it == kept_.end() ? nullptr : it->second;
}

void CachedBoard::keep_processor_reply(const std::string& key, std::shared_ptr<const std::string> reply) const {
  std::lock_guard lock(kept_mutex_);
  if (kept_bytes_ + reply->size() > kMaxKeptReplyBytes) return;
  kept_bytes_ += reply->size();
  kept_.emplace(key, std::move(reply));
}

LeaderboardCache::LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age)
    : store_(store), max_rows_(max_rows), max_age_(max_age) {}

LeaderboardCache::Slot& LeaderboardCache::slot(RunKind kind) {
  std::size_t i = 0;
  while (i + 1 < slots_.size() && kRunKinds[i] != kind) ++i;
  return slots_[i];
}

std::shared_ptr<const CachedBoard> LeaderboardCache::current(Slot& s, Clock::time_point* built_at) {
  std::lock_guard lock(s.mutex);
  if (built_at) *built_at = s.built_at;
  return s.body;
}

void LeaderboardCache::publish(Slot& s, Board board, Clock::time_point built_at) {
  auto built = std::make_shared<CachedBoard>();
  built->board = std::move(board);
  built->api_reply = api_reply(built->board, max_rows_);
  built->page_reply = page_rows_reply(built->board, "", max_rows_);
  std::lock_guard lock(s.mutex);
  s.body = std::move(built);
  s.built_at = built_at;
}

std::shared_ptr<const std::string> LeaderboardCache::get(RunKind kind, bool* stale) {
  auto b = board(kind, stale);
  return std::shared_ptr<const std::string>(b, &b->api_reply);  // keeps the whole board alive
}

std::shared_ptr<const CachedBoard> LeaderboardCache::board(RunKind kind, bool* stale) {
  Slot& s = slot(kind);
  Clock::time_point built_at;
  auto body = current(s, &built_at);
  // Rebuilt in the second half of its life, so that another instance's runs show within max_age.
  if (body && Clock::now() - built_at < max_age_ / 2) return body;
  if (body) {
    // One reader rebuilds; the others take the board there is rather than wait for it.
    std::unique_lock rebuilding(s.rebuild, std::try_to_lock);
    if (!rebuilding.owns_lock()) return body;
    return rebuild_or_last(s, kind, stale);
  }
  // No board yet: the first readers wait for the first build.
  std::lock_guard rebuilding(s.rebuild);
  if (auto built = current(s)) return built;
  return rebuild_or_last(s, kind, stale);
}

std::shared_ptr<const CachedBoard> LeaderboardCache::rebuild_or_last(Slot& s, RunKind kind, bool* stale) {
  try {
    return rebuild(s, kind);
  } catch (const SummariesNotReady&) {
    throw;
  } catch (const StoreError&) {
    if (stale) {
      if (auto last = current(s)) {
        *stale = true;
        return last;
      }
    }
    throw;
  }
}

std::shared_ptr<const CachedBoard> LeaderboardCache::rebuild(Slot& s, RunKind kind) {
  const auto started = Clock::now();
  publish(s, build_board(store_.processor_rows(kind)), started);
  return current(s);
}

void LeaderboardCache::apply(RunKind kind, const ProcessorRow& row) {
  Slot& s = slot(kind);
  std::lock_guard changing(s.rebuild);
  Clock::time_point built_at;
  const auto body = current(s, &built_at);
  if (!body) return;  // the first read builds it from the store, this run included
  std::vector<ProcessorRow> rows = board_rows(body->board);
  const auto same = std::find_if(rows.begin(), rows.end(), [&](const ProcessorRow& r) { return r.cpu == row.cpu; });
  if (same != rows.end()) {
    // Two runs of one processor stored at once may come back in either order: keep the later row.
    if (same->runs > row.runs) return;
    *same = row;
  } else
    rows.push_back(row);
  publish(s, build_board(std::move(rows)), built_at);
}
