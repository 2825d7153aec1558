#pragma once
// The HTTP face of the leaderboard: routes, checks and the reasons of its refusals, installed on a server.

#include "leaderboard_server/api/leaderboard_cache.h"
#include "leaderboard_server/rules/address_hash.h"
#include "leaderboard_server/rules/rate_limiter.h"
#include "leaderboard_server/rules/submission.h"
#include "leaderboard_server/stores/run_store.h"

#include <httplib.h>

#include <cstddef>

struct ApiOptions {
  unsigned rate_limit_per_hour = 30;
  unsigned submissions_per_hour = 3;                             // per client address, processor name and kind; 0 = off
  std::size_t runs_counted_per_address = kRunsCountedPerClient;  // in a row's average; 0 = all
  std::size_t max_rows = 100;
  int max_score_per_thread = kMaxScorePerThread;  // raised only for tests of small workloads
  bool trust_proxy = false;                       // take the client address from X-Forwarded-For
  bool access_log = true;
  bool https = false;       // replies carry Strict-Transport-Security
  std::string address_key;  // key of the stored address hashes; empty: a random one for this process
};

inline constexpr std::size_t kMaxBodyBytes = 4096;

// The reason of every 503: the API's and the web page's replies alike.
inline constexpr const char* kDatabaseUnavailable = "the leaderboard database is unavailable; try again later";

// How long a client is asked to wait while the summaries are computed after an upgrade.
inline constexpr int kMigratingRetrySeconds = 10;

// 503 {"error":"migrating"} with Retry-After: the boards wait for the summaries of the runs
// stored before an upgrade; /healthz and submissions do not.
void set_migrating_reply(httplib::Response& res);

// Set on a GET reply served from the last standings while the database cannot be reached.
inline constexpr const char* kStaleHeader = "X-Leaderboard-Stale";

class LeaderboardApi {
 public:
  LeaderboardApi(IRunStore& store, ApiOptions options);

  // Registers every route, the error replies and the access log on `server`.
  void install(httplib::Server& server);

  // Address that the rate limit counts against.
  static std::string client_address(const httplib::Request& req, bool trust_proxy);

 private:
  void get_leaderboard(const httplib::Request& req, httplib::Response& res);
  void post_submission(const httplib::Request& req, httplib::Response& res);
  void health(const httplib::Request& req, httplib::Response& res);

  IRunStore& store_;
  ApiOptions options_;
  LeaderboardCache cache_;
  RateLimiter limiter_;
  RateLimiter run_limiter_;  // per address, processor name and kind
  AddressHasher hasher_;
};
