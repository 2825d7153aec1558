#pragma once
// Token bucket per client address: `per_hour` submissions an hour, bursts of up to `per_hour`.
// State lives in this process only, so each server instance behind a load balancer counts alone.

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

// The key a client address is counted under. An IPv6 host usually owns a whole /64, so its
// addresses share one bucket; IPv4 (also IPv4-mapped) addresses count one by one.
std::string rate_limit_key(const std::string& address);

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  // per_hour 0 turns the limit off.
  explicit RateLimiter(unsigned per_hour) : per_hour_(per_hour) {}

  // Takes one token for `client`. Returns 0 when allowed, otherwise the whole seconds until a
  // token is available again (for Retry-After).
  long long acquire(const std::string& client, Clock::time_point now = Clock::now());

  std::size_t tracked_clients() const;

 private:
  struct Bucket {
    double tokens;
    Clock::time_point updated;
  };
  void forget_full_buckets(Clock::time_point now);

  unsigned per_hour_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  Clock::time_point next_sweep_{};
};
