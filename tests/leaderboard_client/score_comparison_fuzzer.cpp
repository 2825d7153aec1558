// Any reply text: read_distribution either refuses it with a reason or returns a distribution in
// which every score places between 0 and 100 percent; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <string>

#include "leaderboard_client/score_comparison.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const DistributionReading r = read_distribution(text, RunKind::multi, "X");
  if (!r.distribution) {
    if (r.error.empty()) __builtin_trap();
    return 0;
  }
  const ScoreDistribution& d = *r.distribution;
  for (const std::int32_t score : {1, d.median, d.buckets.front().lower, d.buckets.back().upper, 2'147'483'647}) {
    const ScoreComparison c = compare_score(d, score);
    if (c.percentile && (*c.percentile < 0 || *c.percentile > 100)) __builtin_trap();
    if (comparison_text(c).empty()) __builtin_trap();
  }
  return 0;
}
