#include "leaderboard_cache.h"

#include <nlohmann/json.hpp>

LeaderboardCache::LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age)
    : store_(store), max_rows_(max_rows), max_age_(max_age) {}

std::shared_ptr<const std::string> LeaderboardCache::fresh(Slot& s, Clock::time_point now) {
    std::lock_guard lock(s.mutex);
    if (s.body && s.built_generation == s.generation.load() && now - s.built_at < max_age_) return s.body;
    return nullptr;
}

std::shared_ptr<const std::string> LeaderboardCache::get(const std::string& kind) {
    Slot& s = slot(kind);
    if (auto body = fresh(s, Clock::now())) return body;

    std::lock_guard rebuilding(s.rebuild);
    if (auto body = fresh(s, Clock::now())) return body;  // built while we waited
    // Read the generation before the query: a run stored during the query bumps it, and the
    // body built here is then already stale and rebuilt on the next request.
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
    for (auto& row : rank_runs(store_.scores(kind), max_rows_))
        rows.push_back({{"cpu", std::move(row.cpu)}, {"avg_score", row.avg_score}, {"runs", row.runs}});
    nlohmann::json doc = {{"leaderboard", std::move(rows)}};
    // Stored names were checked as UTF-8; `replace` only guards against rows put in by hand.
    return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
