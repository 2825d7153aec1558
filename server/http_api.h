#pragma once
// The HTTP face of the leaderboard: routes, checks and error replies, installed on a server.

#include "server/leaderboard_cache.h"
#include "server/rate_limiter.h"
#include "server/run_store.h"

#include <httplib.h>

#include <cstddef>

struct ApiOptions {
  unsigned rate_limit_per_hour = 30;
  unsigned submissions_per_hour = 3;  // per client address, processor name and kind; 0 = off
  std::size_t max_rows = 100;
  bool trust_proxy = false;  // take the client address from X-Forwarded-For
  bool access_log = true;
};

inline constexpr std::size_t kMaxBodyBytes = 4096;

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
};

// A reply body of the form {"error": message}.
std::string error_body(const std::string& message);
