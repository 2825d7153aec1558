#pragma once
// The standings of each kind and their rendered replies, rebuilt at most once per change or
// expiry.

#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/stores/run_store.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

// One build of a kind's standings, with the replies that need no query rendered once.
struct CachedBoard {
  Board board;
  std::string api_reply;   // GET /api.php: the first max_rows entries
  std::string page_reply;  // the web page's rows without a search filter
};

class LeaderboardCache {
 public:
  using Clock = std::chrono::steady_clock;

  // `max_age` bounds how long another instance's submissions stay invisible here.
  LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age = std::chrono::seconds(2),
                   std::size_t runs_per_client = kRunsCountedPerClient);

  // JSON body for GET /api.php?type=kind. Throws StoreError, unless `stale` is given and a body
  // was built before: then that body is returned and *stale set, so that readers keep the last
  // standings while the database is away.
  std::shared_ptr<const std::string> get(RunKind kind, bool* stale = nullptr);

  // Every processor of that kind and the replies, from the same build as get's; `stale` as for get.
  std::shared_ptr<const CachedBoard> board(RunKind kind, bool* stale = nullptr);

  // How long a build is served: another instance's runs stay invisible here at most this long,
  // and browsers are told to keep the web page's replies no longer.
  Clock::duration max_age() const { return max_age_; }

  // Called after a run of `kind` was stored here.
  void invalidate(RunKind kind);

 private:
  struct Slot {
    std::atomic<unsigned long long> generation{0};
    std::mutex mutex;  // guards body, built_generation, built_at
    std::shared_ptr<const CachedBoard> body;
    unsigned long long built_generation = 0;
    Clock::time_point built_at{};
    std::mutex rebuild;  // one rebuild at a time; the others wait for its result
  };
  Slot& slot(RunKind kind);
  std::shared_ptr<const CachedBoard> fresh(Slot& s, Clock::time_point now, Clock::duration age_limit);
  std::shared_ptr<const CachedBoard> rebuild(Slot& s, RunKind kind);  // holds s.rebuild
  // A rebuild that failed: the last body, when `stale` is given and there is one.
  std::shared_ptr<const CachedBoard> rebuild_or_last(Slot& s, RunKind kind, bool* stale);

  IRunStore& store_;
  std::size_t max_rows_, runs_per_client_;
  Clock::duration max_age_;
  std::array<Slot, std::size(kRunKinds)> slots_;  // in the order of kRunKinds
};
