#pragma once
// The standings of each kind and their rendered replies, built from the store's per-processor
// summaries. Readers never wait for a rebuild while a board exists: the one reader that finds it
// aging rebuilds it, the others are served the board they find. A run stored here changes its
// row at once, so the sender's next fetch shows it.

#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/stores/run_store.h"

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// One build of a kind's standings, with the replies that need no query rendered once.
struct CachedBoard {
  Board board;
  std::string api_reply;   // GET /api.php: the first max_rows entries
  std::string page_reply;  // the web page's rows without a search filter

  // A reply about one processor (its page, its distribution) read from the store while this
  // build is served, so that a popular processor costs one query per build. Empty when not kept.
  std::shared_ptr<const std::string> processor_reply(const std::string& key) const;
  // Keeps it unless the kept replies already hold kMaxKeptReplyBytes.
  void keep_processor_reply(const std::string& key, std::shared_ptr<const std::string> reply) const;
  static constexpr std::size_t kMaxKeptReplyBytes = 8 << 20;

 private:
  mutable std::mutex kept_mutex_;
  mutable std::unordered_map<std::string, std::shared_ptr<const std::string>> kept_;
  mutable std::size_t kept_bytes_ = 0;
};

class LeaderboardCache {
 public:
  using Clock = std::chrono::steady_clock;

  // `max_age` bounds how long another instance's submissions stay invisible here.
  LeaderboardCache(IRunStore& store, std::size_t max_rows, Clock::duration max_age = std::chrono::seconds(2));

  // JSON body for GET /api.php?type=kind. Throws StoreError (SummariesNotReady while they are
  // computed), unless `stale` is given and a body was built before: then that body is returned
  // and *stale set, so that readers keep the last standings while the database is away.
  std::shared_ptr<const std::string> get(RunKind kind, bool* stale = nullptr);

  // Every processor of that kind and the replies, from the same build as get's; `stale` as for get.
  std::shared_ptr<const CachedBoard> board(RunKind kind, bool* stale = nullptr);

  // How long a build is served: another instance's runs stay invisible here at most this long,
  // and browsers are told to keep the web page's replies no longer.
  Clock::duration max_age() const { return max_age_; }

  // A run of `kind` was stored here and its processor's row is now `row`.
  void apply(RunKind kind, const ProcessorRow& row);

 private:
  struct Slot {
    std::mutex mutex;  // guards body and built_at
    std::shared_ptr<const CachedBoard> body;
    Clock::time_point built_at{};
    // One rebuild or change at a time, so that a rebuild that read the store before a run was
    // stored cannot replace the board that already shows the run.
    std::mutex rebuild;
  };
  Slot& slot(RunKind kind);
  std::shared_ptr<const CachedBoard> current(Slot& s, Clock::time_point* built_at = nullptr);
  void publish(Slot& s, Board board, Clock::time_point built_at);
  std::shared_ptr<const CachedBoard> rebuild(Slot& s, RunKind kind);  // holds s.rebuild
  // A rebuild that failed: the last body, when `stale` is given and there is one.
  std::shared_ptr<const CachedBoard> rebuild_or_last(Slot& s, RunKind kind, bool* stale);

  IRunStore& store_;
  std::size_t max_rows_;
  Clock::duration max_age_;
  std::array<Slot, std::size(kRunKinds)> slots_;  // in the order of kRunKinds
};
