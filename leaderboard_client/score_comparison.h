#pragma once
// Where a score stands among its processor's runs on the leaderboard: the served distribution
// read and checked, and the score placed in it. The score never leaves the machine; only the
// processor's name and the kind are sent, and the placement happens here.
//
// The distribution the server serves for one processor and kind (a 200 reply; a processor the
// board does not know answers 404 with a JSON reason instead):
//
//   {"kind":"multi","cpu":"Example CPU","runs":40,"median":2470,
//    "buckets":[[2400,2423,3],[2424,2447,5],...]}
//
//   kind     the kind asked for, in run_kind_text's form
//   cpu      the processor's name exactly as asked for
//   runs     every accepted run of that processor and kind, outliers included (at least 1)
//   median   their nearest-rank median as the server knows it (within one bucket of the exact one)
//   buckets  only the buckets holding runs, ascending and not overlapping: [lowest score, highest
//            score, runs], bounds inclusive and from 1 to 2147483647, runs at least 1; the bounds
//            are the bucket's own (the server's log-spaced scale, one point wide below 200, at
//            most 1 % wide above), not those of the runs inside; the runs add up to "runs"
//
// Numbers are JSON integers. Other keys are ignored, so the server may add some.

#include "engine/run_kind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DistributionBucket {
  std::int32_t lower = 0;  // inclusive
  std::int32_t upper = 0;  // inclusive
  std::int64_t runs = 0;
  bool operator==(const DistributionBucket&) const = default;
};

struct ScoreDistribution {
  std::int64_t runs = 0;
  std::int32_t median = 0;
  std::vector<DistributionBucket> buckets;  // ascending
};

// The distribution, or the reason there is none (one line for the status line and the JSON).
struct DistributionReading {
  std::optional<ScoreDistribution> distribution;
  std::string error;
};

// Reads a 200 reply for `kind` and `cpu`. Refuses, with a reason, anything that could place a
// score wrongly: text that is not one JSON object, another kind or processor, a missing or
// non-integer field, no runs, buckets out of order, overlapping or empty, runs that do not add
// up, a median outside the buckets. Never raises.
DistributionReading read_distribution(std::string_view reply, RunKind kind, std::string_view cpu);

// Fewer runs than this give no placement: a handful of runs says little about a processor.
inline constexpr std::int64_t kMinRunsToCompare = 5;

enum class ComparisonVerdict {
  too_few,  // fewer than kMinRunsToCompare runs
  low,      // percentile below 10
  typical,  // percentile from 10 to 90
  high,     // percentile above 90
};

// "too_few", "low", "typical", "high": the runner's JSON.
const char* comparison_verdict_text(ComparisonVerdict verdict);

struct ScoreComparison {
  ComparisonVerdict verdict = ComparisonVerdict::too_few;
  std::int64_t runs = 0;
  std::int32_t median = 0;
  // The share of runs below the score plus half of those equal to it, in whole percent (rounded
  // half up, and the verdict goes by this rounded value, so text and verdict always agree).
  // Nothing for too_few.
  std::optional<int> percentile = std::nullopt;
  // How far below the median the score is, in whole percent of the median; low only.
  std::optional<int> below_median_percent = std::nullopt;
  bool operator==(const ScoreComparison&) const = default;
};

// Places `score` in `distribution`. A bucket holding the score is taken to straddle it: half of
// its runs count as below, half as equal or above. Where buckets are one point wide this is
// exactly "below plus half of those equal"; elsewhere the true share of runs below differs by at
// most half the bucket's runs, so the percentile is right within one bucket. A score between
// buckets or outside them all is placed exactly.
ScoreComparison compare_score(const ScoreDistribution& distribution, std::int32_t score);

// One line for the user, for example
//   "Too few runs of this processor to compare (3)"
//   "Typical for this processor: 47th percentile of 40 runs (median 2470)"
//   "Low for this processor: 4th percentile of 40 runs, 12 % below the median 2470"
//   "High for this processor: 96th percentile of 40 runs (median 2470)"
std::string comparison_text(const ScoreComparison& comparison);
