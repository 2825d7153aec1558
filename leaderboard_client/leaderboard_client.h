#pragma once
// The online leaderboard: fetches the board of each kind and submits results, each request on a
// thread of its own, and publishes rows and status texts for the window and the runner.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/run_kind.h"
#include "leaderboard_client/comparison_request.h"
#include "leaderboard_client/leaderboard_settings.h"
#include "leaderboard_client/reply_reading.h"

// What a fetch or submission of an SMT run says when the server is of the version before the SMT
// board, which refuses the kind.
inline constexpr const char* kNoSmtBoardText = "This server has no SMT board";

class LeaderboardClient {
 public:
  // Starts a thread running the body, or raises std::system_error when it cannot (tests replace it).
  using ThreadLauncher = std::function<std::thread(std::function<void()>)>;

  // Settings from the environment and the build's address.
  LeaderboardClient();
  explicit LeaderboardClient(LeaderboardSettings settings, ThreadLauncher launcher = {});
  ~LeaderboardClient();  // stop_all
  LeaderboardClient(const LeaderboardClient&) = delete;
  LeaderboardClient& operator=(const LeaderboardClient&) = delete;

  // Start one request thread and return at once; the kind's board lands in rows_slot(kind). A
  // submission while submissions are turned off does nothing at all.
  void fetch(RunKind kind);
  void submit(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads);
  // Places `score` among this processor's runs of `kind` (published in comparisons), then submits
  // the run when `submit` is set: one request thread, so that the run is never part of its own
  // comparison. With submissions off it still compares; without a usable leaderboard it makes no
  // request (a refused address is published as the reason, an unconfigured one not at all).
  void compare_then_submit(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads, bool submit);

  // Joins every request thread, waiting for requests in flight (each ends within its time-outs).
  void stop_all();

  // Copies of the published state, each taken under its lock.
  std::vector<LeaderboardRow> rows(RunKind kind);
  std::string fetch_error_text();
  std::string submit_status_text();
  // The kind's last comparison; nothing before the first or after clear_comparison.
  std::optional<ComparisonOutcome> comparison(RunKind kind);
  // A new run of the kind starts: its old comparison no longer describes the score shown.
  void clear_comparison(RunKind kind);

  // Request threads not yet joined: finished ones are removed when the next request starts.
  std::size_t request_thread_count();
  // Request threads launched since construction, finished or not.
  std::size_t requests_started() const { return requests_started_.load(); }

  const LeaderboardSettings& settings() const { return settings_; }
  bool submissions_enabled() const { return settings_.submissions_enabled; }

  // Published state, read by the window under the named locks; no two are ever held at once.
  std::mutex data_mutex;
  std::vector<LeaderboardRow> single_rows;  // data_mutex
  std::vector<LeaderboardRow> smt_rows;     // data_mutex
  std::vector<LeaderboardRow> multi_rows;   // data_mutex
  // The published rows of a kind's board (single_rows, smt_rows or multi_rows); read under data_mutex.
  std::vector<LeaderboardRow>& rows_slot(RunKind kind);
  // data_mutex: each kind's last comparison; kComparing as its reason while it is fetched.
  std::map<RunKind, ComparisonOutcome> comparisons;
  static constexpr std::string_view kComparing = "Comparing with this processor's runs...";
  std::atomic<std::int32_t> pending{0};  // request bodies begun and not yet ended
  std::string fetch_error;               // status_mutex; emptied by every successful fetch or submission
  std::string submit_status;             // status_mutex; never cleared
  std::mutex status_mutex;

 private:
  struct RequestThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  void fetch_worker(RunKind kind);
  void submit_worker(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads);
  void compare_worker(const std::string& cpu, RunKind kind, std::int32_t score);
  void store_comparison(RunKind kind, ComparisonOutcome outcome);
  // Runs `body` on a new request thread; `on_failure` publishes a launch failure's text instead.
  void start_request(std::function<void()> body, const std::function<void(const std::string&)>& on_failure);
  void store_rows(RunKind kind, std::vector<LeaderboardRow> rows);

  const LeaderboardSettings settings_;
  ThreadLauncher launcher_;
  std::vector<RequestThread> request_threads_;  // threads_mutex_
  std::mutex threads_mutex_;
  std::atomic<std::size_t> requests_started_{0};
};
