#include "leaderboard_server/rules/rate_limiter.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr double kSecondsPerHour = 3600.0;
// Above this many tracked addresses, buckets that have refilled completely are dropped:
// a full bucket is the same as no bucket, so memory stays bounded by recent senders.
constexpr std::size_t kSweepAbove = 10'000;
}  // namespace

std::string rate_limit_key(const std::string& address) {
  in6_addr a{};
  if (inet_pton(AF_INET6, address.c_str(), &a) != 1) return address;
  if (IN6_IS_ADDR_V4MAPPED(&a)) {
    char v4[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &a.s6_addr[12], v4, sizeof v4) ? v4 : address;
  }
  std::memset(&a.s6_addr[8], 0, 8);
  char text[INET6_ADDRSTRLEN];
  if (!inet_ntop(AF_INET6, &a, text, sizeof text)) return address;
  return std::string(text) + "/64";
}

long long RateLimiter::acquire(const std::string& client, Clock::time_point now) {
  if (per_hour_ == 0) return 0;
  const double capacity = per_hour_;
  const double per_second = capacity / kSecondsPerHour;

  std::lock_guard lock(mutex_);
  if (buckets_.size() > kSweepAbove && now >= next_sweep_) forget_full_buckets(now);
  auto [it, inserted] = buckets_.try_emplace(client, Bucket{capacity, now});
  Bucket& b = it->second;
  if (!inserted) {
    const double elapsed = std::chrono::duration<double>(now - b.updated).count();
    b.tokens = std::min(capacity, b.tokens + std::max(0.0, elapsed) * per_second);
    b.updated = now;
  }
  if (b.tokens >= 1.0) {
    b.tokens -= 1.0;
    return 0;
  }
  return std::max(1LL, static_cast<long long>(std::ceil((1.0 - b.tokens) / per_second)));
}

std::size_t RateLimiter::tracked_clients() const {
  std::lock_guard lock(mutex_);
  return buckets_.size();
}

void RateLimiter::forget_full_buckets(Clock::time_point now) {
  const double capacity = per_hour_;
  const double per_second = capacity / kSecondsPerHour;
  std::erase_if(buckets_, [&](const auto& entry) {
    const double elapsed = std::chrono::duration<double>(now - entry.second.updated).count();
    return entry.second.tokens + elapsed * per_second >= capacity;
  });
  // Sweeping is linear in the map; do it at most once a second even under a flood.
  next_sweep_ = now + std::chrono::seconds(1);
}
