#include "leaderboard_server/rules/percentiles.h"

#include <algorithm>

int nearest_rank(const std::vector<int>& sorted, int percent) {
  const long long n = static_cast<long long>(sorted.size());
  // In integers: ceil(percent * n / 100) without a rounding error for any count.
  const long long rank = std::clamp((percent * n + 99) / 100, 1LL, n);
  return sorted[static_cast<std::size_t>(rank - 1)];
}

ScoreSpread spread_of(std::vector<int> scores) {
  if (scores.empty()) return {};
  std::sort(scores.begin(), scores.end());
  return {scores.front(), nearest_rank(scores, 10), nearest_rank(scores, 50), nearest_rank(scores, 90), scores.back()};
}
