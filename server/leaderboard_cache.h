#pragma once
// The rendered leaderboard reply of each kind, rebuilt at most once per change or expiry.

#include "server/run_store.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

class LeaderboardCache {
 public:
  using Clock = std::chrono::steady_clock;

  // `max_age` bounds how long another instance's submissions stay invisible here.
  LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age = std::chrono::seconds(2),
                   std::size_t runs_per_client = kRunsCountedPerClient);

  // JSON body for GET /api.php?type=kind (kind is "single" or "multi"). Throws StoreError, unless
  // `stale` is given and a body was built before: then that body is returned and *stale set, so
  // that readers keep the last standings while the database is away.
  std::shared_ptr<const std::string> get(const std::string& kind, bool* stale = nullptr);

  // Called after a run of `kind` was stored here.
  void invalidate(const std::string& kind);

 private:
  struct Slot {
    std::atomic<unsigned long long> generation{0};
    std::mutex mutex;  // guards body, built_generation, built_at
    std::shared_ptr<const std::string> body;
    unsigned long long built_generation = 0;
    Clock::time_point built_at{};
    std::mutex rebuild;  // one rebuild at a time; the others wait for its result
  };
  Slot& slot(const std::string& kind) { return kind == "single" ? single_ : multi_; }
  std::shared_ptr<const std::string> fresh(Slot& s, Clock::time_point now, Clock::duration age_limit);
  std::shared_ptr<const std::string> rebuild(Slot& s, const std::string& kind);  // holds s.rebuild
  std::shared_ptr<const std::string> last_or_throw(Slot& s, bool* stale);        // in a catch block
  std::string build(const std::string& kind);

  IRunStore& store_;
  std::size_t max_rows_, runs_per_client_;
  Clock::duration max_age_;
  Slot single_, multi_;
};
